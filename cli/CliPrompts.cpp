#include "CliPrompts.h"

#include <ostream>

namespace abm {

TModalResult CliPrompts::MessageDlg(const std::string& text, TMsgDlgType type, const std::vector<TMsgDlgBtn>&)
{
    // Nothing is confirmed on the command line: every command runs as asked.
    if (type == TMsgDlgType::mtConfirmation)
        return TModalResult::mrOk;
    if (type == TMsgDlgType::mtWarning || type == TMsgDlgType::mtError)
        Failed = true;
    Report(text);
    return TModalResult::mrCancel;
}

std::vector<std::string> CliPrompts::OpenDialog(const TFileDialogRequest&)
{
    return OpenNames;
}

std::optional<std::string> CliPrompts::SaveDialog(const TFileDialogRequest&)
{
    if (SaveName.empty())
        return std::nullopt;
    return SaveName;
}

void CliPrompts::Report(const std::string& text)
{
    std::string shown;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        shown += text[i];
    }
    err_ << "abmtool: " << shown << '\n';
}

}  // namespace abm
