// JPEG: load and decode.

#include "FuzzFile.h"
#include "codecs/jpeg/JPEGImage.h"
#include "base/ByteStream.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    try {
        abm::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
        abm::TJPEGImage jpeg;
        jpeg.loadFromStream(stream);
        abm::TBitmap raster;
        jpeg.assignTo(raster);
    } catch (const std::exception&) {
    }
    return 0;
}
