// ABM: the reader into a strip, with its messages answered by a script.

#include "FuzzFile.h"
#include "FuzzPrompts.h"
#include "workspace/AbmFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::LimitForFuzzing();
    abm::TFrameOptionValues options;
    abm::fuzz::SilentPrompts prompts;
    abm::FrameStrip strip(options, prompts);
    abm::ReadAbmFile(strip, abm::fuzz::ScratchFile(data, size, ".abm"));
    if (static_cast<size_t>(strip.Count()) != strip.SourceBitmaps().size())
        __builtin_trap();
    return 0;
}
