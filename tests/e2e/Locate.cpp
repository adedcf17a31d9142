// Finds a colour in a screenshot: e2e_locate SHOT.png RRGGBB prints the
// bounding box "left top width height" of the pixels of exactly that colour,
// or nothing (exit status 1) when there is none.

#include <QGuiApplication>
#include <QImage>

#include <climits>
#include <cstdio>

int main(int argc, char* argv[])
{
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SHOT.png RRGGBB\n", argv[0]);
        return 2;
    }
    const QImage shot = QImage(QString::fromLocal8Bit(argv[1])).convertToFormat(QImage::Format_RGB32);
    bool ok = false;
    const QRgb wanted = QString::fromLatin1(argv[2]).toUInt(&ok, 16) | 0xFF000000u;
    if (shot.isNull() || !ok)
        return 2;
    int left = INT_MAX, top = INT_MAX, right = -1, bottom = -1;
    for (int y = 0; y < shot.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(shot.constScanLine(y));
        for (int x = 0; x < shot.width(); ++x) {
            if (row[x] != wanted)
                continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0)
        return 1;
    std::printf("%d %d %d %d\n", left, top, right - left + 1, bottom - top + 1);
    return 0;
}
