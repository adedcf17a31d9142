#pragma once

// The questions the workspace asks, answered from the command line: the save
// "dialog" returns OUT, the open "dialog" the inputs, and every message box
// goes to standard error prefixed with "abmtool: ".

#include "workspace/UserPrompts.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace abm {

class CliPrompts : public UserPrompts {
public:
    explicit CliPrompts(std::ostream& err) : err_(err) {}

    std::string saveName;
    // Set once a warning or error box was shown.
    bool failed = false;

    MessageAnswer showMessage(const std::string& text, MessageKind type,
                              const std::vector<MessageButton>& buttons) override;
    std::vector<std::string> askOpenFiles(const FileDialogRequest& request) override;
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override;

    // "abmtool: " + text, a box's CR LF shown as one line break and every
    // other control character escaped (EscapedText).
    void report(const std::string& text);

private:
    std::ostream& err_;
};

}  // namespace abm
