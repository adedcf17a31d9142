#pragma once

// The commands' questions answered with real dialogs: message boxes with
// exactly the given buttons in the given order, and Qt's own file dialogs
// showing each filter entry's text and nothing else.

#include "workspace/UserPrompts.h"

#include <QStringList>

class QWidget;

namespace abm {

class DialogPrompts : public UserPrompts {
public:
    explicit DialogPrompts(QWidget* owner) : owner_(owner) {}

    MessageAnswer showMessage(const std::string& text, MessageKind type,
                              const std::vector<MessageButton>& buttons) override;
    std::vector<std::string> askOpenFiles(const FileDialogRequest& request) override;
    std::optional<std::string> askSaveFile(const FileDialogRequest& request) override;
    // Qt's own Save, Discard and Cancel, in the language of the translations
    // loaded; Enter saves, Esc cancels.
    SaveAnswer askToSave(const std::string& question) override;
    // Escaped and isolated (isolatedName), so that no name reorders the text around it.
    std::string nameInText(const std::string& name) const override;

    // "Text|p1;p2|…" as Qt name filters "Text (p1 p2)". The patterns match
    // without regard to case, as they were written for such file systems.
    static QStringList nameFilters(const std::string& filter);
    // The box's title for each kind of message.
    static QString caption(MessageKind type);

private:
    QWidget* owner_;
};

}  // namespace abm
