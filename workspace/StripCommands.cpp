#include "StripCommands.h"

#include "AbmFile.h"
#include "BmpExport.h"
#include "base/AtomicWrite.h"
#include "base/ByteStream.h"
#include "base/NameText.h"
#include "base/PathNames.h"

#include <algorithm>

namespace abm {

namespace {

// The names a replace question lists; the rest are counted.
constexpr size_t kNamesListed = 3;

bool overPhoneSize(int width, int height)
{
    return width > kPhoneFrameWidth || height > kPhoneFrameHeight;
}

void warn(UserPrompts& prompts, const std::string& text)
{
    prompts.showMessage(text, MessageKind::warning, {MessageButton::cancel});
}

}  // namespace

int frameOverPhoneSize(const FrameStrip& strip)
{
    for (int i = 0; i < std::min(strip.count(), kMaxAbmFrames); ++i) {
        const Frame& f = strip.frame(i);
        if (overPhoneSize(f.width, f.height) || overPhoneSize(f.picture.width(), f.picture.height()))
            return i;
    }
    return -1;
}

int frameOfOtherSize(const FrameStrip& strip)
{
    if (strip.count() < 2)
        return -1;
    const Raster& first = strip.frame(0).picture;
    for (int i = 1; i < std::min(strip.count(), kMaxAbmFrames); ++i) {
        const Raster& picture = strip.frame(i).picture;
        if (picture.width() != first.width() || picture.height() != first.height())
            return i;
    }
    return -1;
}

int frameWithoutPixels(const FrameStrip& strip, int first)
{
    for (int i = 0; i < std::min(first, strip.count()); ++i) {
        const Frame& f = strip.frame(i);
        if (f.width == 0 || f.height == 0 || f.picture.width() == 0 || f.picture.height() == 0)
            return i;
    }
    return -1;
}

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
    const bool wasEmpty = strip_.empty();
    for (const std::string& file : files) {
        const ImportResult result = importFile(file, frameCap);
        if (onImported)
            onImported(file, result);
    }
    if (!files.empty())
        settings_.writeSetting("LoadImg", folderPart(files.front()));
    noteOpened(files, wasEmpty);
}

void StripCommands::importCommandLine(const std::vector<std::string>& arguments)
{
    std::vector<std::string> files;
    for (const std::string& argument : arguments)
        if (!argument.empty() && fileExists(argument))
            files.push_back(argument);
    if (const std::string joined = commandLineFileName(arguments); files.empty() && fileExists(joined))
        files.push_back(joined);
    const bool wasEmpty = strip_.empty();
    for (const std::string& file : files)
        importFile(file);
    noteOpened(files, wasEmpty);
}

void StripCommands::noteOpened(const std::vector<std::string>& files, bool wasEmpty)
{
    if (wasEmpty && files.size() == 1 && pictureTypeByExtension(files.front()) == PictureType::Abm && !strip_.empty())
        markFile(FileMark::Kind::abmOpened, files.front(), strip_.count());
}

void StripCommands::markFile(FileMark::Kind kind, const std::string& fileName, int frames)
{
    display_.lastFileMark = {kind, fileName, frames};
    ++display_.fileMarks;
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

bool StripCommands::abmFramesFit() const
{
    if (!framesHavePixels(kMaxAbmFrames))
        return false;
    if (frameOverPhoneSize(strip_) >= 0) {
        warn(prompts_, kFramesTooLargeText);
        return false;
    }
    if (frameOfOtherSize(strip_) >= 0) {
        warn(prompts_, kFramesOfOtherSizesText);
        return false;
    }
    return true;
}

void StripCommands::saveAbm()
{
    if (strip_.empty() || !abmFramesFit())
        return;
    FileDialogRequest request;
    request.filter = "*.abm|*.abm|Все файлы (*.*)|*.*";
    request.initialDir = settings_.readSetting("SavePath", "");
    const std::optional<std::string> chosen = prompts_.askSaveFile(request);
    if (!chosen)
        return;
    const std::string target = replaceExtension(*chosen, ".abm");
    if (target != *chosen && !confirmReplacing({target}))
        return;
    const std::vector<uint8_t> bytes = abmFileBytes(strip_);
    // Built whole in memory, then written beside the target and renamed over
    // it: a failed write never destroys an existing animation.
    writeFileAtomically(target, bytes.data(), bytes.size());
    settings_.writeSetting("SavePath", folderPart(*chosen));
    markFile(FileMark::Kind::abmSaved, target, std::min(strip_.count(), kMaxAbmFrames));
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
    const std::string prefix = bmpFramePrefix(*chosen);
    if (!confirmReplacing(bmpFrameNames(prefix, strip_.count())))
        return;
    writeBmpFrames(strip_, prefix);
    settings_.writeSetting("SaveBmp", folderPart(*chosen));
    markFile(FileMark::Kind::bmpExported, *chosen, strip_.count());
}

bool StripCommands::confirmReplacing(const std::vector<std::string>& names) const
{
    std::vector<std::string> existing;
    for (const std::string& name : names)
        if (nameTaken(name))
            existing.push_back(name);
    if (existing.empty())
        return true;
    std::vector<std::string> shown;
    for (const std::string& name : existing)
        shown.push_back(prompts_.nameInText(fileNamePart(name)));
    const std::string list =
        listedNames(shown, kNamesListed, [](size_t rest) { return " и ещё " + std::to_string(rest); });
    const std::string text = existing.size() == 1 ? "Файл " + list + " уже существует. Заменить?"
                                                  : "Файлы " + list + " уже существуют. Заменить?";
    return prompts_.showMessage(text, MessageKind::confirmation, {MessageButton::ok, MessageButton::cancel}) ==
           MessageAnswer::ok;
}

void StripCommands::clear()
{
    if (prompts_.showMessage("Очистить?", MessageKind::confirmation, {MessageButton::no, MessageButton::ok}) !=
        MessageAnswer::ok)
        return;
    strip_.clear();
    showCount();
}

void StripCommands::deleteFrames(const std::vector<int>& indexes)
{
    if (indexes.empty())
        return;
    const uint64_t asked = strip_.generation();
    if (prompts_.showMessage("Удалить?", MessageKind::confirmation, {MessageButton::ok, MessageButton::cancel}) !=
            MessageAnswer::ok ||
        strip_.generation() != asked || indexes.front() < 0 || indexes.back() >= strip_.count())
        return;
    rebuild([&] { strip_.remove(indexes); });
}

void StripCommands::stripRestored()
{
    showCount();
    fitStrip();
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
    if (frameWithoutPixels(strip_, first) < 0)
        return true;
    warn(prompts_, kFramesWithoutPixelsText);
    return false;
}

}  // namespace abm
