#include "ImageLists.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

#include <cmath>

namespace abm {

namespace {

constexpr double kScales[] = {1.0, 1.25, 1.5, 2.0, 3.0};

QPixmap render(QSvgRenderer& renderer, QSize pixels, double scale)
{
    QPixmap pixmap(pixels);
    if (pixmap.isNull())
        return pixmap;
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)));
    }
    pixmap.setDevicePixelRatio(scale);
    return pixmap;
}

}  // namespace

QIcon svgIcon(const QString& resource, QSize size, std::initializer_list<int> smaller)
{
    QSvgRenderer renderer(resource);
    QIcon icon;
    if (!renderer.isValid())
        return icon;
    // A size Qt cannot make is left out: the window starts with the sizes
    // it has rather than not at all.
    const auto add = [&icon](const QPixmap& pixmap) {
        if (!pixmap.isNull())
            icon.addPixmap(pixmap);
    };
    for (const int side : smaller)
        add(render(renderer, QSize(side, side), 1.0));
    for (const double scale : kScales) {
        const QSize pixels(static_cast<int>(std::lround(size.width() * scale)),
                           static_cast<int>(std::lround(size.height() * scale)));
        add(render(renderer, pixels, scale));
    }
    return icon;
}

std::vector<QIcon> loadCommandIcons()
{
    // In the order of CommandIcon.
    static const char* const names[] = {"save-abm", "delete", "save-bmp", "open", "options", "clear"};
    std::vector<QIcon> icons;
    for (const char* name : names)
        icons.push_back(svgIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(name)), QSize(24, 24)));
    return icons;
}

std::vector<QIcon> loadAnimatedIcons()
{
    std::vector<QIcon> icons;
    for (int i = 0; i < 8; ++i)
        icons.push_back(svgIcon(QStringLiteral(":/icons/animated-icon-%1.svg").arg(i), QSize(48, 48), {16, 24, 32}));
    return icons;
}

QIcon mainIcon()
{
    return svgIcon(QStringLiteral(":/icons/abmmaker.svg"), QSize(48, 48), {16, 24, 32});
}

}  // namespace abm
