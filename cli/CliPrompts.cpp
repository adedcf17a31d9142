#include "CliPrompts.h"

#include "NameText.h"

#include <ostream>

namespace abm {

MessageAnswer CliPrompts::showMessage(const std::string& text, MessageKind type, const std::vector<MessageButton>&)
{
    // Nothing is confirmed on the command line: every command runs as asked.
    if (type == MessageKind::confirmation)
        return MessageAnswer::ok;
    if (type == MessageKind::warning || type == MessageKind::error)
        failed = true;
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
