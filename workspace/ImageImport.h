#pragma once

// Pictures into frames: the open command, the import of one file chosen by
// its extension, and the file named on the command line.

#include "FrameStrip.h"
#include "ImportBudget.h"
#include "settings/SettingsStore.h"

#include <functional>
#include <string>
#include <vector>

namespace abm {

// The open dialog's filter: "Text|Patterns|…".
extern const char* const kOpenDialogFilter;

// What an import did, for callers that report more than the window does.
struct ImportResult {
    int framesAdded = 0;
    bool dropped = false;  // the importer refused the file without a message
    bool leftOut = false;  // not imported: the strip already held the frames the cap allows
};

void openPictures(FrameStrip& strip, SettingsStore& settings);

// The open command after its dialog: imports the files in order, remembers
// the first one's folder under "LoadImg" and updates the command states,
// also when an error ends the run.
// `onImported` hears of every file that returned; an error that travels
// ends the whole run, as it ends the command. Files that find the strip at
// `frameCap` frames are left out unread.
using ImportListener = std::function<void(const std::string& fileName, const ImportResult& result)>;
void importFiles(FrameStrip& strip, SettingsStore& settings, const std::vector<std::string>& files,
                 const ImportListener& onImported = {}, int frameCap = kNoFrameCap);

// Imports one file by its extension (".JPG", ".BMP", ".GIF", ".ABM", after
// upper-casing and trimming), then shows the frame count and fits the strip.
// Frames past `frameCap` in the strip are not imported.
//
// A picture the memory budget cannot take fails with MemoryLimitExceeded
// naming the file, from every importer, mostly before anything is decoded;
// frames the file had appended are removed again, so that it adds nothing.
ImportResult importFile(FrameStrip& strip, const std::string& fileName, int frameCap = kNoFrameCap);

// The importers importFile chooses among; abmtool chooses by the file's content.
enum class PictureType { None, Jpeg, Bmp, Gif, Abm };
PictureType pictureTypeByExtension(const std::string& fileName);
// importFile with the importer already chosen.
ImportResult importFileAs(FrameStrip& strip, const std::string& fileName, PictureType type,
                          int frameCap = kNoFrameCap);

ImportResult importGif(FrameStrip& strip, const std::string& fileName, int frameCap = kNoFrameCap);
ImportResult importBmp(FrameStrip& strip, const std::string& fileName);
ImportResult importJpeg(FrameStrip& strip, const std::string& fileName);

// The arguments after the program name, joined with blanks up to the first
// empty one, and trimmed: a path the shell split at its blanks, rejoined.
std::string commandLineFileName(const std::vector<std::string>& arguments);
// Imports that file if it exists as a regular file, then updates the command
// states (also when the import ends in an error).
void commandLineImport(FrameStrip& strip, const std::vector<std::string>& arguments);

}  // namespace abm
