#pragma once

// Everything a command asks of the user: message boxes and file dialogs.
// The window answers with real dialogs; tests and abmtool with a script.

#include <optional>
#include <string>
#include <vector>

namespace abm {

enum class MessageKind { warning, error, information, confirmation };
enum class MessageButton { no, ok, cancel };
enum class MessageAnswer { none, ok, cancel, no };
enum class SaveAnswer { save, discard, cancel };

// A filter in the form "Text|Patterns|Text|Patterns…", patterns separated by ";".
struct FileDialogRequest {
    std::string filter;
    std::string initialDir;
};

class UserPrompts {
public:
    virtual ~UserPrompts() = default;
    // A modal box with the buttons in the order given; the button pressed.
    virtual MessageAnswer showMessage(const std::string& text, MessageKind type,
                                      const std::vector<MessageButton>& buttons) = 0;
    // Several files at once; an empty list when the user cancels.
    virtual std::vector<std::string> askOpenFiles(const FileDialogRequest& request) = 0;
    // Asks before overwriting; nothing when the user cancels.
    virtual std::optional<std::string> askSaveFile(const FileDialogRequest& request) = 0;
    // Whether to save what would otherwise be lost, with the front end's own
    // Save, Discard and Cancel; where nobody can answer, nothing is lost.
    virtual SaveAnswer askToSave(const std::string& /*question*/) { return SaveAnswer::cancel; }
    // A file name as it stands inside a message's text: as it is, unless the
    // front end shows names in a way of its own.
    virtual std::string nameInText(const std::string& name) const { return name; }
};

// The filter string split into its entries, for dialogs that show them.
struct FilterEntry {
    std::string text;
    std::vector<std::string> patterns;
};
std::vector<FilterEntry> parseFilter(const std::string& filter);

// An error's text as the standard error box shows it: a full stop appended
// when the last character's code is above that of ".".
std::string errorBoxText(const std::string& message);
// The standard error box's text for an error: the program's text for it as
// above, then, on a line of its own, the file it concerns where that text
// does not name it ("Файл: " and the name, isolated as isolatedName does).
std::string errorBoxText(const std::exception& error);

}  // namespace abm
