#include "ImportBudget.h"

#include "base/Error.h"

#include <algorithm>

namespace abm {

namespace {

int64_t cappedRasterBytes(int64_t width, int64_t height, int bitsPerPixel)
{
    if (width <= 0 || height <= 0 || width * height > rasterPixelLimit())
        return 0;
    return rasterBytes(width, height, bitsPerPixel);
}

}  // namespace

int framesLeft(const FrameStrip& strip, int frameCap)
{
    return std::max(0, frameCap - strip.count());
}

int64_t frameRasterBytes(const FrameStrip& strip, int64_t width, int64_t height)
{
    const FrameOptions& options = strip.options();
    if (!options.autoSize) {
        width = options.width.valueOr(0);
        height = options.height.valueOr(0);
    } else if (options.stretch && !strip.empty()) {
        width = strip.frame(0).source.width();
        height = strip.frame(0).source.height();
    }
    return cappedRasterBytes(width, height, 16);
}

int64_t frameBytes(const FrameStrip& strip, int64_t width, int64_t height, int bitsPerPixel)
{
    return cappedRasterBytes(width, height, bitsPerPixel) + frameRasterBytes(strip, width, height);
}

}  // namespace abm
