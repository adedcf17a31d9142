#include "ImportBudget.h"

#include "base/Error.h"
#include "base/Numbers.h"

#include <algorithm>

namespace abm {

namespace {

int64_t CappedRasterBytes(int64_t width, int64_t height, int bitsPerPixel)
{
    if (width <= 0 || height <= 0 || width * height > RasterPixelLimit())
        return 0;
    return RasterBytes(width, height, bitsPerPixel);
}

}  // namespace

int FramesLeft(const FrameStrip& strip, int frameCap)
{
    return std::max(0, frameCap - strip.Count());
}

int64_t FrameRasterBytes(const FrameStrip& strip, int64_t width, int64_t height)
{
    const IFrameOptions& options = strip.Options();
    if (!options.AutoSize()) {
        width = parseIntOr(options.widthText(), 0);
        height = parseIntOr(options.heightText(), 0);
    } else if (options.Stretch() && !strip.SourceBitmaps().empty()) {
        width = strip.SourceBitmaps().front()->Width();
        height = strip.SourceBitmaps().front()->Height();
    }
    return CappedRasterBytes(width, height, 16);
}

int64_t FrameBytes(const FrameStrip& strip, int64_t width, int64_t height, int bitsPerPixel)
{
    return CappedRasterBytes(width, height, bitsPerPixel) + FrameRasterBytes(strip, width, height);
}

}  // namespace abm
