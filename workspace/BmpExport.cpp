#include "BmpExport.h"

#include "base/PathNames.h"
#include "base/AtomicWrite.h"
#include "codecs/bmp/BmpCodec.h"

namespace abm {

std::string baseName(const std::string& path)
{
    const std::string name = fileNamePart(path);
    const std::string ext = extensionPart(name);
    if (ext.empty())
        return name;
    const size_t p = name.find(ext);
    return p == std::string::npos ? name : name.substr(0, p);
}

void writeBmpFrames(const FrameStrip& strip, const std::string& prefix)
{
    for (int i = 0; i < strip.count(); ++i) {
        // Each frame file is replaced whole or not at all.
        const std::vector<uint8_t> bytes = encodeBmp(strip.frame(i).picture);
        writeFileAtomically(prefix + std::to_string(i) + ".bmp", bytes.data(), bytes.size(), false);
    }
}

}  // namespace abm
