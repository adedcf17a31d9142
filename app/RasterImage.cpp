#include "RasterImage.h"

#include "base/Error.h"

#include <QPainter>

namespace abm {

namespace {

static_assert(Q_BYTE_ORDER == Q_LITTLE_ENDIAN, "frames hold little-endian 16-bit pixels, as QImage on this host");

void paint16(QPainter& painter, const Raster& raster, QPoint origin, const QRect& part)
{
    // QImage wants its rows 32-bit aligned, so the wrap starts at an even
    // column; the rows are stored bottom-up, so it starts at the part's
    // bottom row and the painter turns it over.
    const int first = part.left() & ~1;
    const uchar* bottom = raster.row(part.bottom()) + static_cast<size_t>(first) * 2;
    const QImage rows(bottom, part.right() + 1 - first, part.height(), raster.stride(), QImage::Format_RGB16);
    if (rows.isNull())
        throw Error(ErrorKind::OutOfMemory);
    painter.save();
    painter.translate(origin.x() + first, origin.y() + part.bottom() + 1);
    painter.scale(1, -1);
    painter.drawImage(QPoint(part.left() - first, 0), rows, QRect(part.left() - first, 0, part.width(), part.height()));
    painter.restore();
}

void paintConverted(QPainter& painter, const Raster& raster, QPoint origin, const QRect& part)
{
    QImage image = newImage(part.size(), QImage::Format_RGB32);
    for (int y = 0; y < part.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < part.width(); ++x) {
            const Color c = raster.pixel(part.left() + x, part.top() + y);
            row[x] = qRgb(redOf(c), greenOf(c), blueOf(c));
        }
    }
    painter.drawImage(origin + part.topLeft(), image);
}

}  // namespace

void paintRaster(QPainter& painter, const Raster& raster, QPoint origin, const QRect& exposed)
{
    const QRect part = exposed.translated(-origin) & QRect(0, 0, raster.width(), raster.height());
    // A raster without pixel memory of its own size has nothing to wrap.
    const PixelBuffer& image = raster.image();
    if (part.isEmpty() || image.bits.size() < image.stride * static_cast<size_t>(image.height))
        return;
    if (raster.pixelFormat() == PixelFormat::Rgb565)
        paint16(painter, raster, origin, part);
    else
        paintConverted(painter, raster, origin, part);
}

QImage newImage(QSize size, QImage::Format format)
{
    QImage image(size, format);
    if (image.isNull())
        throw Error(ErrorKind::OutOfMemory);
    return image;
}

}  // namespace abm
