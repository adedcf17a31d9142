#include "BmpExport.h"

#include "base/AtomicWrite.h"
#include "base/PathNames.h"
#include "codecs/bmp/BmpCodec.h"

namespace abm {

namespace {

constexpr std::string_view kBmpExtension = ".bmp";

}  // namespace

std::string bmpFramePrefix(const std::string& chosen)
{
    const std::string name = fileNamePart(chosen);
    const size_t keep = chosen.size() - kBmpExtension.size();
    if (name.size() >= kBmpExtension.size() && equalsIgnoringCase(std::string_view(chosen).substr(keep), kBmpExtension))
        return chosen.substr(0, keep);
    return chosen;
}

std::vector<std::string> bmpFrameNames(const std::string& prefix, int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(prefix + std::to_string(i) + std::string(kBmpExtension));
    return names;
}

void writeBmpFrames(const FrameStrip& strip, const std::string& prefix)
{
    const std::vector<std::string> names = bmpFrameNames(prefix, strip.count());
    for (int i = 0; i < strip.count(); ++i) {
        // Each frame file is replaced whole or not at all.
        const std::vector<uint8_t> bytes = encodeBmp(strip.frame(i).picture);
        writeFileAtomically(names[static_cast<size_t>(i)], bytes.data(), bytes.size(), false);
    }
}

}  // namespace abm
