#include "ImageLists.h"

#include <QPixmap>

#include <cmath>

namespace abm {

namespace {

constexpr double kScales[] = {1.0, 1.25, 1.5, 2.0, 3.0};

}  // namespace

QIcon pictureIcon(const QString& name, int side, std::initializer_list<int> smaller)
{
    QIcon icon;
    // A size that is missing or cannot be loaded is left out: the window
    // starts with the sizes it has rather than not at all.
    const auto add = [&icon, &name](int pixels, double scale) {
        QPixmap pixmap(QStringLiteral(":/icons/%1-%2.png").arg(name).arg(pixels));
        if (pixmap.isNull())
            return;
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    };
    for (const int pixels : smaller)
        add(pixels, 1.0);
    for (const double scale : kScales)
        add(static_cast<int>(std::lround(side * scale)), scale);
    return icon;
}

std::vector<QIcon> loadCommandIcons()
{
    // In the order of CommandIcon.
    static const char* const names[] = {"save-abm", "delete", "save-bmp", "open", "options", "clear"};
    std::vector<QIcon> icons;
    for (const char* name : names)
        icons.push_back(pictureIcon(QLatin1String(name), 24));
    return icons;
}

std::vector<QIcon> loadAnimatedIcons()
{
    std::vector<QIcon> icons;
    for (int i = 0; i < 8; ++i)
        icons.push_back(pictureIcon(QStringLiteral("animated-icon-%1").arg(i), 48, {16, 24, 32}));
    return icons;
}

QIcon mainIcon()
{
    return pictureIcon(QStringLiteral("abmmaker"), 48, {16, 24, 32});
}

}  // namespace abm
