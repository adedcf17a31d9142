#include "StripCommands.h"

#include "AbmFile.h"
#include "BmpExport.h"
#include "base/AtomicWrite.h"
#include "base/PathNames.h"

#include <algorithm>

namespace abm {

void StripCommands::openPictures()
{
    FileDialogRequest request;
    request.filter = kOpenDialogFilter;
    request.initialDir = settings_.readSetting("LoadImg", "");
    const std::vector<std::string> files = prompts_.askOpenFiles(request);
    if (files.empty())
        return;
    importFiles(files);
}

void StripCommands::importFiles(const std::vector<std::string>& files, const ImportListener& onImported, int frameCap)
{
    for (const std::string& file : files) {
        const ImportResult result = importFile(file, frameCap);
        if (onImported)
            onImported(file, result);
    }
    if (!files.empty())
        settings_.writeSetting("LoadImg", folderPart(files.front()));
}

void StripCommands::importCommandLine(const std::vector<std::string>& arguments)
{
    if (arguments.empty())
        return;
    const std::string fileName = commandLineFileName(arguments);
    if (fileExists(fileName))
        importFile(fileName);
}

ImportResult StripCommands::importFile(const std::string& fileName, int frameCap)
{
    const ImportResult result = abm::importFile(strip_, prompts_, fileName, frameCap);
    if (!result.leftOut) {
        showCount();
        fitStrip();
    }
    if (result.transparencyCovered)
        ++display_.transparencyNotices;
    return result;
}

void StripCommands::saveAbm()
{
    if (strip_.empty())
        return;
    const int n = std::min(strip_.count(), kMaxAbmFrames);
    if (!framesHavePixels(n))
        return;
    for (int i = 0; i < n; ++i) {
        const Frame& f = strip_.frame(i);
        if (f.width > kPhoneFrameWidth || f.height > kPhoneFrameHeight) {
            prompts_.showMessage("Сохранение невозможно. \r\nСлишком большой размер картинок !!!", MessageKind::warning,
                                 {MessageButton::cancel});
            return;
        }
    }
    FileDialogRequest request;
    request.filter = "*.abm|*.abm|Все файлы (*.*)|*.*";
    request.initialDir = settings_.readSetting("SavePath", "");
    const std::optional<std::string> chosen = prompts_.askSaveFile(request);
    if (!chosen)
        return;
    const std::vector<uint8_t> bytes = abmFileBytes(strip_);
    // Built whole in memory, then written beside the target and renamed over
    // it: a failed write never destroys an existing animation.
    writeFileAtomically(replaceExtension(*chosen, ".abm"), bytes.data(), bytes.size());
    settings_.writeSetting("SavePath", folderPart(*chosen));
}

void StripCommands::exportBmp()
{
    // A BMP file 0 pixels wide or high is one no reader opens.
    if (!framesHavePixels(strip_.count()))
        return;
    FileDialogRequest request;
    request.filter = "*.bmp|*.bmp|Все файлы (*.*)|*.*";
    request.initialDir = settings_.readSetting("SaveBmp", "");
    const std::optional<std::string> chosen = prompts_.askSaveFile(request);
    if (!chosen)
        return;
    writeBmpFrames(strip_, folderPart(*chosen) + baseName(*chosen));
    settings_.writeSetting("SaveBmp", folderPart(*chosen));
}

void StripCommands::clear()
{
    if (prompts_.showMessage("Очистить?", MessageKind::confirmation, {MessageButton::no, MessageButton::ok}) !=
        MessageAnswer::ok)
        return;
    strip_.clear();
    showCount();
}

void StripCommands::deleteFrame(int index)
{
    const uint64_t asked = strip_.generation();
    if (prompts_.showMessage("Удалить?", MessageKind::confirmation, {MessageButton::ok, MessageButton::cancel}) !=
            MessageAnswer::ok ||
        strip_.generation() != asked || index < 0 || index >= strip_.count())
        return;
    rebuild([&] { strip_.remove(index); });
}

void StripCommands::moveFrame(int from, int to)
{
    if (from < 0 || from >= strip_.count() || to < 0 || to >= strip_.count())
        return;
    rebuild([&] { strip_.move(from, to); });
}

void StripCommands::applyOptions(const FrameOptions& options)
{
    strip_.setOptions(options);
    rebuild([&] { strip_.renormalize(); });
}

template <class Change>
void StripCommands::rebuild(Change change)
{
    try {
        change();
    } catch (...) {
        showCount();
        throw;
    }
    showCount();
    fitStrip();
}

void StripCommands::fitStrip()
{
    if (!strip_.empty())
        display_.stripHeight = StripLayout::stripHeight(strip_.frame(0).height);
}

bool StripCommands::framesHavePixels(int first) const
{
    for (int i = 0; i < std::min(first, strip_.count()); ++i) {
        const Frame& f = strip_.frame(i);
        if (f.width == 0 || f.height == 0 || f.picture.width() == 0 || f.picture.height() == 0) {
            prompts_.showMessage("Сохранение невозможно. \r\nНулевой размер картинок !!!", MessageKind::warning,
                                 {MessageButton::cancel});
            return false;
        }
    }
    return true;
}

}  // namespace abm
