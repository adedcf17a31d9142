#pragma once

#include "workspace/FrameOptions.h"
#include "workspace/UserPrompts.h"

#include <cstdint>

namespace abm::fuzz {

// Answers every box with OK and every dialog with nothing.
class SilentPrompts : public IUserPrompts {
public:
    TModalResult showMessage(const std::string&, TMsgDlgType, const std::vector<TMsgDlgBtn>&) override
    {
        return TModalResult::mrOk;
    }
    std::vector<std::string> askOpenFiles(const TFileDialogRequest&) override { return {}; }
    std::optional<std::string> askSaveFile(const TFileDialogRequest&) override { return std::nullopt; }
};

// Frame options from two input bytes: the check boxes from the low bits of
// `flags`, the width and height texts from `sizes` by three bits each.
inline TFrameOptionValues frameOptions(uint8_t flags, uint8_t more, const char* const (&sizes)[8])
{
    TFrameOptionValues options;
    options.autoSizeOn = flags & 1;
    options.stretchOn = flags & 2;
    options.transparentOn = flags & 4;
    options.width = sizes[(flags >> 3) & 7];
    options.height = sizes[(more >> 2) & 7];
    return options;
}

}  // namespace abm::fuzz
