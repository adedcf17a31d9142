#include "BmpExport.h"

#include "base/PathNames.h"
#include "base/AtomicWrite.h"

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

void exportBmp(FrameStrip& strip, SettingsStore& settings)
{
    // A BMP file 0 pixels wide or high is one no reader opens.
    if (!strip.framesHavePixels(strip.count()))
        return;
    FileDialogRequest request;
    request.filter = "*.bmp|*.bmp|Все файлы (*.*)|*.*";
    request.initialDir = settings.readSetting("SaveBmp", "");
    const std::optional<std::string> chosen = strip.prompts().askSaveFile(request);
    if (!chosen)
        return;
    const std::string prefix = folderPart(*chosen) + baseName(*chosen);
    for (int i = 0; i < strip.count(); ++i) {
        // Each frame file is replaced whole or not at all.
        const std::vector<uint8_t> bytes = strip.thumbnail(i).picture.saveToBytes();
        writeFileAtomically(prefix + std::to_string(i) + ".bmp", bytes.data(), bytes.size(), false);
    }
    settings.writeSetting("SaveBmp", folderPart(*chosen));
}

}  // namespace abm
