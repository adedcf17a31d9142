#include "CliPrompts.h"

#include "base/NameText.h"
#include "base/Error.h"
#include "workspace/AbmFile.h"
#include "workspace/StripCommands.h"

#include <ostream>

namespace abm {

namespace {

// The window's boxes that abmtool says in its own words. The ABM reader's
// end in the file's name.
struct WindowBox {
    std::string text;
    Finding finding;
    bool namesFile;
};

const std::vector<WindowBox>& windowBoxes()
{
    static const std::vector<WindowBox> boxes = {
        {kFramesTooLargeText, Finding::FrameTooLarge, false},
        {kFramesWithoutPixelsText, Finding::FrameWithoutPixels, false},
        {kFramesOfOtherSizesText, Finding::FramesOfOtherSizes, false},
        {abmVerdictMessage(AbmVerdict::BadFormat, ""), Finding::AbmBadFormat, true},
        {abmVerdictMessage(AbmVerdict::CannotOpen, ""), Finding::AbmCannotOpen, true},
    };
    return boxes;
}

}  // namespace

MessageAnswer CliPrompts::showMessage(const std::string& text, MessageKind type, const std::vector<MessageButton>&)
{
    // Nothing is confirmed on the command line: every command runs as asked.
    if (type == MessageKind::confirmation)
        return MessageAnswer::ok;
    const bool refuses = type == MessageKind::warning || type == MessageKind::error;
    for (const WindowBox& box : windowBoxes()) {
        if (box.namesFile ? text.rfind(box.text, 0) == 0 : text == box.text) {
            if (box.namesFile) {
                error(text.substr(box.text.size()), englishText(box.finding));
            } else {
                refusal = box.finding;
                failed = failed || refuses;
            }
            return MessageAnswer::cancel;
        }
    }
    failed = failed || refuses;
    report(text);
    return MessageAnswer::cancel;
}

std::vector<std::string> CliPrompts::askOpenFiles(const FileDialogRequest&)
{
    return {};
}

std::optional<std::string> CliPrompts::askSaveFile(const FileDialogRequest&)
{
    if (saveName.empty())
        return std::nullopt;
    return saveName;
}

void CliPrompts::error(const std::string& file, const std::string& text)
{
    failed = true;
    report(file.empty() ? text : file + ": " + text);
}

void CliPrompts::error(const std::string& file, const std::exception& e)
{
    const auto* own = dynamic_cast<const Error*>(&e);
    memoryRefused = memoryRefused || dynamic_cast<const MemoryLimitExceeded*>(&e);
    const bool namesFile = own && !own->name().empty() &&
                           (dynamic_cast<const FileError*>(own) || dynamic_cast<const MemoryLimitExceeded*>(own));
    error(namesFile ? own->name() : file, describe(e, englishText));
}

void CliPrompts::warning(const std::string& file, const std::string& text)
{
    if (strict_)
        return error(file, text);
    if (!quiet())
        report((file.empty() ? "" : file + ": ") + "warning: " + text);
}

void CliPrompts::note(const std::string& file, const std::string& text)
{
    if (verbosity_ == Verbosity::verbose)
        report(file + ": " + text);
}

void CliPrompts::report(const std::string& text)
{
    // A box's own line break stays one; any other control character, such
    // as one inside a file name, is escaped.
    std::string shown;
    for (size_t start = 0;;) {
        const size_t end = text.find("\r\n", start);
        shown += escapedText(std::string_view(text).substr(start, end - start));
        if (end == std::string::npos)
            break;
        shown += '\n';
        start = end + 2;
    }
    err_ << "abmtool: " << shown << '\n';
}

}  // namespace abm
