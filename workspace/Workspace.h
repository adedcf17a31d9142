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
    Workspace(IFrameOptions& options, IUserPrompts& prompts, ISettingsStore& settings)
        : Strip(options, prompts), settings_(settings)
    {
    }

    FrameStrip Strip;
    PreviewPlayer Player;
    ISettingsStore& Settings() const { return settings_; }

    // The toolkit-free steps of the window's creation: positions reset and
    // the file named on the command line imported.
    void FormCreate(const std::vector<std::string>& arguments);
    void FormDestroy() { Strip.FormDestroy(); }

    void OpenGifAExecute() { abm::OpenGifAExecute(Strip, settings_); }
    void SaveBmpAExecute() { abm::SaveBmpAExecute(Strip, settings_); }
    void SaveToFileAExecute() { abm::SaveToFileAExecute(Strip, settings_); }
    void ClearAExecute() { Strip.ClearAExecute(); }
    void DeleteAExecute() { Strip.DeleteAExecute(); }
    // Returns the ImList picture that becomes the application icon.
    int TimerTimer(int iconCount) { return Player.TimerTimer(Strip, iconCount); }

private:
    ISettingsStore& settings_;
};

}  // namespace abm
