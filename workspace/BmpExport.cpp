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

void exportBmp(FrameStrip& strip, ISettingsStore& settings)
{
    // A BMP file 0 pixels wide or high is one no reader opens.
    if (!strip.FramesHavePixels(strip.Count()))
        return;
    TFileDialogRequest request;
    request.Filter = "*.bmp|*.bmp|Все файлы (*.*)|*.*";
    request.InitialDir = settings.ReadSetting("SaveBmp", "");
    const std::optional<std::string> chosen = strip.Prompts().askSaveFile(request);
    if (!chosen)
        return;
    const std::string prefix = folderPart(*chosen) + baseName(*chosen);
    for (int i = 0; i < strip.Count(); ++i) {
        // Each frame file is replaced whole or not at all.
        const std::vector<uint8_t> bytes = strip.Thumbnail(i).Picture.SaveToBytes();
        WriteFileAtomically(prefix + std::to_string(i) + ".bmp", bytes.data(), bytes.size(), false);
    }
    settings.WriteSetting("SaveBmp", folderPart(*chosen));
}

}  // namespace abm
