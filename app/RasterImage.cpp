#include "RasterImage.h"

#include <cstring>

namespace abm {

QImage RasterToQImage(const TBitmap& raster)
{
    const int width = raster.Width();
    const int height = raster.Height();
    if (width <= 0 || height <= 0)
        return {};
    if (raster.PixelFormat() == pf16bit) {
        QImage image(width, height, QImage::Format_RGB16);
        for (int y = 0; y < height; ++y) {
            // The pixels are little-endian 16-bit values, as QImage's on this host.
            static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "frames are stored little-endian");
            std::memcpy(image.scanLine(y), raster.ScanLine(y), static_cast<size_t>(width) * 2);
        }
        return image;
    }
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const TColor c = raster.Pixel(x, y);
            row[x] = qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
        }
    }
    return image;
}

}  // namespace abm
