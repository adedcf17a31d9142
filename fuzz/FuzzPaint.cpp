// The window's painting of a frame: BMP bytes become a frame as the strip
// makes one, whose rows are painted into a small canvas at an offset, as a
// thumbnail scrolled part-way shows them; so are the picture as loaded (in
// its own pixel format) and the preview of the frame. The last three bytes,
// still part of the picture, choose the frame options and the offset. A
// painted pixel that is not the frame's colour, or paint outside the frame,
// is a finding.

#include "FuzzPrompts.h"
#include "app/RasterImage.h"
#include "codecs/bmp/BmpCodec.h"
#include "workspace/FrameOptions.h"
#include "workspace/FrameStrip.h"
#include "workspace/PreviewPlayer.h"

#include <QPainter>

#include <cstddef>
#include <cstdint>
#include <exception>

namespace {

constexpr QRgb kUntouched = 0xFF123456;

QRgb expand565(uint16_t v)
{
    const int r = v >> 11, g = (v >> 5) & 0x3F, b = v & 0x1F;
    return qRgb((r << 3) | (r >> 2), (g << 2) | (g >> 4), (b << 3) | (b >> 2));
}

// Paints `raster` with its corner at `origin` into a fresh canvas; checks
// that nothing but the raster was painted, and a 16-bit raster's colours.
void paintAndCheck(QImage& canvas, const abm::Raster& raster, QPoint origin)
{
    const bool exact = raster.pixelFormat() == abm::PixelFormat::Rgb565;
    canvas.fill(kUntouched);
    {
        QPainter painter(&canvas);
        abm::paintRaster(painter, raster, origin, canvas.rect());
    }
    const QRect frame(origin, QSize(raster.width(), raster.height()));
    for (int y = 0; y < canvas.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(canvas.constScanLine(y));
        for (int x = 0; x < canvas.width(); ++x) {
            if (!frame.contains(x, y)) {
                if (row[x] != kUntouched)
                    __builtin_trap();
            } else if (exact) {
                const uint8_t* pixel = raster.row(y - origin.y()) + 2 * (x - origin.x());
                if (row[x] != expand565(static_cast<uint16_t>(pixel[0] | pixel[1] << 8)))
                    __builtin_trap();
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // What is painted depends on the frame's shape against the canvas, not
    // on its size: small frames keep the runs quick.
    abm::setRasterPixelLimit(int64_t{1} << 13);
    if (size < 3)
        return 0;
    const uint8_t flags = data[size - 1], place = data[size - 2], more = data[size - 3];
    static const char* const sizes[] = {"64", "48", "1", "0", "90", "", "x", "16"};
    const abm::FrameOptions options = abm::fuzz::frameOptions(flags, more, sizes);
    abm::fuzz::SilentPrompts prompts;
    abm::FrameStrip strip(options);
    abm::Raster picture;
    try {
        picture = abm::decodeBmp(data, size);
        strip.append(picture);
    } catch (const std::exception&) {
    }

    static QImage canvas = abm::newImage(QSize(64, 48), QImage::Format_RGB32);
    // The offset walks over the frame in sixteenths, from its corner on.
    const auto offset = [place](const abm::Raster& raster) {
        return QPoint(16 - raster.width() * (place & 15) / 16, 12 - raster.height() * (place >> 4) / 16);
    };
    try {
        paintAndCheck(canvas, picture, offset(picture));
        if (strip.count() > 0) {
            const abm::Raster& frame = strip.frame(0).picture;
            paintAndCheck(canvas, frame, offset(frame));
            abm::PreviewPlayer player;
            player.tick(strip, 8);
            paintAndCheck(canvas, player.preview(), QPoint(3, 5));
        }
    } catch (const std::exception&) {
    }
    return 0;
}
