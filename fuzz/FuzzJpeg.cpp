// JPEG: load and decode.

#include "FuzzFile.h"
#include "codecs/jpeg/JpegImage.h"
#include "base/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    try {
        abm::MemoryStream stream(std::vector<uint8_t>(data, data + size));
        abm::JpegImage jpeg;
        jpeg.loadFromStream(stream);
        abm::Raster raster;
        jpeg.assignTo(raster);
    } catch (const std::exception&) {
    }
    return 0;
}
