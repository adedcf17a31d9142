// BMP: load, convert to 16 bits, save to memory.

#include "FuzzFile.h"
#include "codecs/bmp/BmpCodec.h"
#include "base/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    try {
        abm::Raster b = abm::decodeBmp(data, size);
        b.setPixelFormat(abm::PixelFormat::Rgb565);
        abm::MemoryStream out;
        abm::writeBmp(b, out);
    } catch (const std::exception&) {
    }
    return 0;
}
