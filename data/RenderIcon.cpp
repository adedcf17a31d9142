// Renders an SVG file into a square PNG: abm_render_icon IN.svg SIZE OUT.png

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s IN.svg SIZE OUT.png\n", argv[0]);
        return 2;
    }
    bool ok = false;
    const int size = QString::fromLocal8Bit(argv[2]).toInt(&ok);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!ok || size <= 0 || size > 1024 || !renderer.isValid()) {
        std::fprintf(stderr, "%s: cannot render %s at %s\n", argv[0], argv[1], argv[2]);
        return 1;
    }
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        renderer.render(&painter, QRectF(0, 0, size, size));
    }
    if (!image.save(QString::fromLocal8Bit(argv[3]), "PNG")) {
        std::fprintf(stderr, "%s: cannot write %s\n", argv[0], argv[3]);
        return 1;
    }
    return 0;
}
