#pragma once

// The main window's logic without the window: the strip, its commands and
// the preview player, wired to the three interfaces a front end supplies.
// The desktop window and abmtool both drive this one object.

#include "FrameStrip.h"
#include "PreviewPlayer.h"
#include "StripCommands.h"

#include <string>
#include <vector>

namespace abm {

class Workspace {
public:
    Workspace(const FrameOptions& options, UserPrompts& prompts, SettingsStore& settings)
        : strip(options), commands(strip, prompts, settings)
    {
    }

    FrameStrip strip;
    StripCommands commands;
    PreviewPlayer player;

    // The toolkit-free step of the window's creation: the file named on
    // the command line imported.
    void start(const std::vector<std::string>& arguments) { commands.importCommandLine(arguments); }
    // Returns the animatedIcons picture that becomes the application icon.
    int tick(int iconCount) { return player.tick(strip, iconCount); }
};

}  // namespace abm
