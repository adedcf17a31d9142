#include "PngWriter.h"

#include "codecs/raster/Canvas.h"
#include "codecs/raster/Errors.h"

#include <png.h>

#include <algorithm>
#include <utility>

namespace abm {

std::vector<uint8_t> EncodePng(const TBitmap& bitmap)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    TBitmap bgr(bitmap);
    bgr.SetPixelFormat(pf24bit);
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = std::as_const(bgr).ScanLine(y);
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
        throw Exception(std::string("PNG error: ") + image.message);
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgb.data(), 0, nullptr))
        throw Exception(std::string("PNG error: ") + image.message);
    out.resize(size);
    return out;
}

TBitmap FitInto(const TBitmap& bitmap, int size)
{
    const int w = bitmap.Width(), h = bitmap.Height();
    TBitmap source(bitmap);
    source.SetPixelFormat(pf24bit);
    if (w == 0 || h == 0)
        return source;
    const int64_t longer = std::max(w, h);
    const int tw = std::max<int>(1, static_cast<int>(int64_t{w} * size / longer));
    const int th = std::max<int>(1, static_cast<int>(int64_t{h} * size / longer));
    TBitmap out;
    out.SetPixelFormat(pf24bit);
    out.SetSize(tw, th);
    if (tw >= w || th >= h) {
        out.Canvas().StretchDraw(Rect(0, 0, tw, th), &source);
        return out;
    }
    // Shrinking: each target pixel is the mean of the source box it covers.
    for (int ty = 0; ty < th; ++ty) {
        const int y0 = static_cast<int>(int64_t{ty} * h / th), y1 = std::max(y0 + 1, static_cast<int>(int64_t{ty + 1} * h / th));
        uint8_t* out_row = out.ScanLine(ty);
        for (int tx = 0; tx < tw; ++tx) {
            const int x0 = static_cast<int>(int64_t{tx} * w / tw), x1 = std::max(x0 + 1, static_cast<int>(int64_t{tx + 1} * w / tw));
            uint64_t sum[3] = {0, 0, 0};
            for (int y = y0; y < y1; ++y) {
                const uint8_t* row = std::as_const(source).ScanLine(y);
                for (int x = x0; x < x1; ++x)
                    for (int c = 0; c < 3; ++c)
                        sum[c] += row[3 * x + c];
            }
            const uint64_t n = static_cast<uint64_t>(y1 - y0) * (x1 - x0);
            for (int c = 0; c < 3; ++c)
                out_row[3 * tx + c] = static_cast<uint8_t>((sum[c] + n / 2) / n);
        }
    }
    return out;
}

}  // namespace abm
