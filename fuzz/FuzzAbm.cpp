// ABM: the reader into a strip, with its messages answered by a script.

#include "FuzzFile.h"
#include "FuzzPrompts.h"
#include "workspace/AbmFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    abm::FrameOptionValues options;
    abm::fuzz::SilentPrompts prompts;
    abm::FrameStrip strip(options, prompts);
    abm::readAbmFile(strip, abm::fuzz::scratchFile(data, size, ".abm"));
    if (static_cast<size_t>(strip.count()) != strip.sourceBitmaps().size())
        __builtin_trap();
    return 0;
}
