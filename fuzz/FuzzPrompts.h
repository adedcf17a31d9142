#pragma once

#include "workspace/FrameOptions.h"
#include "workspace/UserPrompts.h"

#include <cstdint>

namespace abm::fuzz {

// Answers every box with OK and every dialog with nothing.
class SilentPrompts : public UserPrompts {
public:
    MessageAnswer showMessage(const std::string&, MessageKind, const std::vector<MessageButton>&) override
    {
        return MessageAnswer::ok;
    }
    std::vector<std::string> askOpenFiles(const FileDialogRequest&) override { return {}; }
    std::optional<std::string> askSaveFile(const FileDialogRequest&) override { return std::nullopt; }
};

// Frame options from two input bytes: the check boxes from the low bits of
// `flags`, the width and height texts from `sizes` by three bits each.
inline FrameOptions frameOptions(uint8_t flags, uint8_t more, const char* const (&sizes)[8])
{
    FrameOptions options;
    options.autoSize = flags & 1;
    options.stretch = flags & 2;
    options.transparentGif = flags & 4;
    options.width = FrameDimension::fromText(sizes[(flags >> 3) & 7]);
    options.height = FrameDimension::fromText(sizes[(more >> 2) & 7]);
    return options;
}

}  // namespace abm::fuzz
