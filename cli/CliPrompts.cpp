#include "CliPrompts.h"

#include "NameText.h"

#include <ostream>

namespace abm {

TModalResult CliPrompts::showMessage(const std::string& text, TMsgDlgType type, const std::vector<TMsgDlgBtn>&)
{
    // Nothing is confirmed on the command line: every command runs as asked.
    if (type == TMsgDlgType::mtConfirmation)
        return TModalResult::mrOk;
    if (type == TMsgDlgType::mtWarning || type == TMsgDlgType::mtError)
        failed = true;
    report(text);
    return TModalResult::mrCancel;
}

std::vector<std::string> CliPrompts::askOpenFiles(const TFileDialogRequest&)
{
    return {};
}

std::optional<std::string> CliPrompts::askSaveFile(const TFileDialogRequest&)
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
