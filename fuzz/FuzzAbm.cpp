// ABM: the codec straight from memory. What it accepts writes back to the
// same pixel bytes; what it refuses gives no frame.

#include "FuzzFile.h"
#include "codecs/abm/AbmCodec.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    const abm::AbmDecoded decoded = abm::decodeAbm(data, size);
    if (decoded.check.verdict != abm::AbmVerdict::Accepted) {
        if (!decoded.frames.empty())
            __builtin_trap();
        return 0;
    }
    std::vector<const abm::Raster*> frames;
    for (const abm::Raster& frame : decoded.frames)
        frames.push_back(&frame);
    const std::vector<uint8_t> bytes = abm::encodeAbm(frames);
    if (!bytes.empty() && (bytes.size() > size || !std::equal(bytes.begin() + abm::AbmHeader::kSize, bytes.end(),
                                                              data + abm::AbmHeader::kSize)))
        __builtin_trap();
    return 0;
}
