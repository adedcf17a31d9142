#pragma once

#include "workspace/UserPrompts.h"

namespace abm::fuzz {

// Answers every box with OK and every dialog with nothing.
class SilentPrompts : public IUserPrompts {
public:
    TModalResult MessageDlg(const std::string&, TMsgDlgType, const std::vector<TMsgDlgBtn>&) override
    {
        return TModalResult::mrOk;
    }
    std::vector<std::string> OpenDialog(const TFileDialogRequest&) override { return {}; }
    std::optional<std::string> SaveDialog(const TFileDialogRequest&) override { return std::nullopt; }
};

}  // namespace abm::fuzz
