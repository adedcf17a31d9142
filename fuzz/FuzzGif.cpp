// GIF: load from memory, make every sub-image's raster and mask, and draw
// each one transparently and opaquely into a 16-bit raster.

#include "FuzzFile.h"
#include "codecs/gif/GIFImage.h"
#include "codecs/gif/GIFSubImage.h"
#include "codecs/raster/Canvas.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::LimitForFuzzing();
    abm::TGIFImage gif;
    try {
        gif.LoadFromMemory(data, size);
    } catch (const std::exception&) {
    }
    abm::TBitmap target;
    target.SetPixelFormat(abm::pf16bit);
    target.SetSize(64, 48);
    for (int i = 0; i < gif.Count(); ++i) {
        try {
            abm::TGIFSubImage& sub = gif.Images(i);
            if (!sub.Bitmap())
                continue;
            sub.Mask();
            // Drawing the first few covers drawing; the rest would only cost time.
            if (i < 16) {
                sub.Draw(target.Canvas(), abm::Rect(0, 0, 64, 48), true, false);
                sub.Draw(target.Canvas(), abm::Rect(0, 0, 64, 48), false, false);
            }
        } catch (const std::exception&) {
        }
    }
    return 0;
}
