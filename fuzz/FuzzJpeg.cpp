// JPEG: load and decode.

#include "codecs/jpeg/JPEGImage.h"
#include "codecs/raster/Stream.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    try {
        abm::TMemoryStream stream(std::vector<uint8_t>(data, data + size));
        abm::TJPEGImage jpeg;
        jpeg.LoadFromStream(stream);
        if (int64_t{jpeg.Width()} * jpeg.Height() > (int64_t{1} << 18))
            return 0;  // valid but slow; the hostile tests cover the cap
        abm::TBitmap raster;
        jpeg.AssignTo(raster);
    } catch (const std::exception&) {
    }
    return 0;
}
