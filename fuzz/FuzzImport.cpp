// The whole import of one file into a strip. The last two input bytes choose
// the extension and the frame options; the rest is the file.

#include "FuzzFile.h"
#include "FuzzPrompts.h"
#include "workspace/ImageImport.h"
#include "workspace/AbmFile.h"

#include <cstddef>
#include <cstdint>
#include <exception>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    abm::fuzz::limitForFuzzing();
    if (size < 2)
        return 0;
    const uint8_t kind = data[size - 2], flags = data[size - 1];
    size -= 2;
    static const char* const extensions[] = {".gif", ".bmp", ".jpg", ".abm"};
    static const char* const sizes[] = {"128", "97", "1", "0", "300", "", "x", "16"};
    const abm::FrameOptions options = abm::fuzz::frameOptions(flags, kind, sizes);
    abm::fuzz::SilentPrompts prompts;
    abm::FrameStrip strip(options);
    try {
        abm::importFile(strip, prompts, abm::fuzz::scratchFile(data, size, extensions[kind & 3]));
    } catch (const std::exception&) {
    }
    try {
        (void)abm::abmFileBytes(strip);
    } catch (const std::exception&) {
    }
    return 0;
}
