#pragma once

// The main window's logic without the window: the strip, the preview player
// and the commands, wired to the three interfaces a front end supplies. The
// desktop window and abmtool both drive this one object.

#include "AbmFile.h"
#include "BmpExport.h"
#include "FrameStrip.h"
#include "ImageImport.h"
#include "PreviewPlayer.h"

#include <string>
#include <vector>

namespace abm {

class Workspace {
public:
    Workspace(FrameOptions& options, UserPrompts& prompts, SettingsStore& settings)
        : strip(options, prompts), settings_(settings)
    {
    }

    FrameStrip strip;
    PreviewPlayer player;
    SettingsStore& settings() const { return settings_; }

    // The toolkit-free steps of the window's creation: positions reset and
    // the file named on the command line imported.
    void start(const std::vector<std::string>& arguments);
    void releaseSources() { strip.releaseSources(); }

    void openPictures() { abm::openPictures(strip, settings_); }
    void exportBmp() { abm::exportBmp(strip, settings_); }
    void saveAbm() { abm::saveAbm(strip, settings_); }
    void clearStrip() { strip.clearStrip(); }
    void deleteFrame() { strip.deleteFrame(); }
    // Returns the animatedIcons picture that becomes the application icon.
    int tick(int iconCount) { return player.tick(strip, iconCount); }

private:
    SettingsStore& settings_;
};

}  // namespace abm
