#include "PngWriter.h"

#include "ThumbnailScaler.h"
#include "base/Error.h"

#include <png.h>

#include <algorithm>
#include <utility>

namespace abm {

std::vector<uint8_t> encodePng(const Raster& bitmap)
{
    const int w = bitmap.width(), h = bitmap.height();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    Raster bgr(bitmap);
    bgr.setPixelFormat(PixelFormat::Bgr888);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = std::as_const(bgr).row(y);
        uint8_t* out = rgb.data() + static_cast<size_t>(y) * w * 3;
        for (int x = 0; x < w; ++x) {
            out[3 * x] = row[3 * x + 2];
            out[3 * x + 1] = row[3 * x + 1];
            out[3 * x + 2] = row[3 * x];
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGB;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr))
        throw Error(ErrorKind::Png, image.message);
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr))
        throw Error(ErrorKind::Png, image.message);
    out.resize(size);
    return out;
}

Raster fitInto(const Raster& bitmap, int size)
{
    if (bitmap.empty()) {
        Raster source(bitmap);
        source.setPixelFormat(PixelFormat::Bgr888);
        return source;
    }
    ThumbnailScaler scaler(bitmap.width(), bitmap.height(), size);
    for (const int y : scaler.sourceRows())
        scaler.addRow(y, bitmap.row(y), bitmap.layout(), bitmap.palette());
    return scaler.result();
}

}  // namespace abm
