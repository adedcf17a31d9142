#pragma once

// Pictures into frames: the import of one file, its importer chosen by its
// content or, where that says nothing, by its extension.

#include "FrameStrip.h"
#include "ImportBudget.h"
#include "base/ByteStream.h"
#include "UserPrompts.h"

#include <exception>
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
    // A GIF drawn without its transparency had later images with transparent
    // pixels: it shows otherwise with the transparent option ticked.
    bool transparencyCovered = false;
    // When dropped: the error the importer refused the file for.
    std::exception_ptr why;
};

// Hears of every file an import run got through.
using ImportListener = std::function<void(const std::string& fileName, const ImportResult& result)>;

// Imports one file by its content (sniffPicture), else by its extension
// (".jpg", ".jpeg", ".jpe", ".jfif", ".bmp", ".gif", ".abm" in any case,
// blanks around it ignored); an ABM file's errors go to `prompts`, and so does
// the reader's "cannot open" message for a file no importer takes or that its
// importer drops. Frames past `frameCap` in the strip are not imported.
//
// A picture the memory budget cannot take fails with MemoryLimitExceeded
// naming the file, from every importer, mostly before anything is decoded;
// frames the file had appended are removed again, so that it adds nothing.
// Every other error that leaves an importer names the file too
// (throwNamingFile).
ImportResult importFile(FrameStrip& strip, UserPrompts& prompts, const std::string& fileName,
                        int frameCap = kNoFrameCap);

// The importers importFile chooses among.
enum class PictureType { None, Jpeg, Bmp, Gif, Abm };
PictureType pictureTypeByExtension(const std::string& fileName);
// importFile with the importer already chosen, without its message.
ImportResult importFileAs(FrameStrip& strip, UserPrompts& prompts, const InputFile& input, PictureType type,
                          int frameCap = kNoFrameCap);

ImportResult importGif(FrameStrip& strip, const InputFile& input, int frameCap = kNoFrameCap);
ImportResult importBmp(FrameStrip& strip, const InputFile& input);
ImportResult importJpeg(FrameStrip& strip, const InputFile& input);

// The arguments after the program name, joined with blanks up to the first
// empty one, and trimmed: a path the shell split at its blanks, rejoined.
std::string commandLineFileName(const std::vector<std::string>& arguments);
}  // namespace abm
