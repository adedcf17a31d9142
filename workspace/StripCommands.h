#pragma once

// The commands on the strip, apart from any window: each asks the user what
// it needs through UserPrompts, remembers folders in the settings store and
// changes the strip. The window, abmtool and the tests all run these.

#include "FrameStrip.h"
#include "ImageImport.h"
#include "UserPrompts.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <string>
#include <vector>

namespace abm {

class StripCommands {
public:
    StripCommands(FrameStrip& strip, UserPrompts& prompts, SettingsStore& settings)
        : strip_(strip), prompts_(prompts), settings_(settings)
    {
    }

    // What a window shows besides the frames follows these: the frame count
    // after every import, clear and rebuild, the strip's height after every
    // import and successful rebuild.
    std::function<void()> onCountShown;
    std::function<void()> onStripFitted;
    // A GIF came in with its transparent pixels covered (the transparent
    // option off) where they would have shown what lies beneath.
    std::function<void()> onTransparencyCovered;

    bool canSave() const { return !strip_.empty(); }

    void openPictures();
    // The open command after its dialog: imports the files in order and
    // remembers the first one's folder under "LoadImg". `onImported` hears
    // of every file that returned; an error that travels ends the whole run.
    // Files that find the strip at `frameCap` frames are left out unread.
    void importFiles(const std::vector<std::string>& files, const ImportListener& onImported = {},
                     int frameCap = kNoFrameCap);
    // Imports the file the command line names, if it exists as a regular file.
    void importCommandLine(const std::vector<std::string>& arguments);
    // One file by its extension; frames past `frameCap` are not imported.
    ImportResult importFile(const std::string& fileName, int frameCap = kNoFrameCap);
    void saveAbm();
    void exportBmp();
    void clear();
    // Asks first; nothing happens if the strip changed under the box.
    void deleteFrame(int index);
    void moveFrame(int from, int to);
    // The options changed: every frame is made anew (all or nothing).
    void applyOptions();
    // A save refuses frames without pixels (an empty BMP file imports as a
    // 0 × 0 frame, the options may ask for width or height 0): no reader
    // takes a file of them. Warns and answers false when one of the first
    // `first` frames has none.
    bool framesHavePixels(int first) const;

private:
    // A rebuild shows the count whether it succeeds or not, and fits the
    // strip when it does.
    template <class Change>
    void rebuild(Change change);
    void shown(const std::function<void()>& notice) const
    {
        if (notice)
            notice();
    }

    FrameStrip& strip_;
    UserPrompts& prompts_;
    SettingsStore& settings_;
};

}  // namespace abm
