#pragma once

// The animation loop extension ("NETSCAPE2.0" or "ANIMEXTS1.0"): sub-block 1
// holds the loop count, sub-block 2 a buffer size. Read and kept; the import
// does not loop.

#include "GifApplicationExtension.h"

namespace abm {

class GifLoopExtension : public GifApplicationExtension {
public:
    uint16_t loops = 0;  // 0: for ever
    uint32_t bufferSize = 0;

protected:
    void readData(GifReader& reader) override;
};

}  // namespace abm
