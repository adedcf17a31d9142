// BMP: load, convert to 16 bits, save to memory.

#include "codecs/raster/Bitmap.h"
#include "codecs/raster/Stream.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        abm::TBitmap b;
        b.LoadFromMemory(data, size);
        if (int64_t{b.Width()} * b.Height() > (int64_t{1} << 18))
            return 0;  // valid but slow; the hostile tests cover the cap
        b.SetPixelFormat(abm::pf16bit);
        abm::TMemoryStream out;
        b.SaveToStream(out);
    } catch (const std::exception&) {
    }
    return 0;
}
