// BMP: load, convert to 16 bits, save to memory.

#include "FuzzFile.h"
#include "codecs/raster/Bitmap.h"
#include "base/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::LimitForFuzzing();
    try {
        abm::TBitmap b;
        b.LoadFromMemory(data, size);
        b.SetPixelFormat(abm::pf16bit);
        abm::TMemoryStream out;
        b.SaveToStream(out);
    } catch (const std::exception&) {
    }
    return 0;
}
