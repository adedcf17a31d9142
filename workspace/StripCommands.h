#pragma once

// The commands on the strip, apart from any window: each asks the user what
// it needs through UserPrompts, remembers folders in the settings store and
// changes the strip. The window, abmtool and the tests all run these.

#include "FrameStrip.h"
#include "ImageImport.h"
#include "StripLayout.h"
#include "UserPrompts.h"
#include "settings/SettingsStore.h"

#include <optional>
#include <string>
#include <vector>

namespace abm {

// A file the strip was last made equal to.
struct FileMark {
    enum class Kind { abmSaved, bmpExported, abmOpened };
    Kind kind = Kind::abmSaved;
    std::string fileName;  // the file written or read (a BMP export: the name chosen)
    int frames = 0;        // the frames it holds
};

// What a window shows besides the frames, as the commands leave it; the
// window reads it after every command.
struct StripDisplay {
    // The count shown after every import that returned, clear and rebuild
    // (a failed rebuild too); none before the first.
    std::optional<int> frameCount;
    // Fitted to the first frame after every import and successful rebuild
    // that leave frames; in between, where the user put the strip's edge.
    int stripHeight = StripLayout::kInitialStripHeight;
    // One more for every GIF import that covered transparent pixels (the
    // transparent option off): the window says so once per import.
    int transparencyNotices = 0;
    // One more each time the strip and a file became the same: an ABM save,
    // a BMP export, an ABM file opened alone into an empty strip; the window
    // then has no unsaved changes, and says what was saved.
    int fileMarks = 0;
    FileMark lastFileMark;
};

// The saves' refusals (warning boxes with the single button Cancel).
constexpr const char* kFramesTooLargeText = "Сохранение невозможно. \r\nСлишком большой размер картинок !!!";
constexpr const char* kFramesWithoutPixelsText = "Сохранение невозможно. \r\nНулевой размер картинок !!!";
constexpr const char* kFramesOfOtherSizesText = "Сохранение невозможно. \r\nКадры разного размера !!!\r\n"
                                                "Подгоните кадры командой «Правка» → «Подогнать под телефон» (Ctrl+T)";

class StripCommands {
public:
    StripCommands(FrameStrip& strip, UserPrompts& prompts, SettingsStore& settings)
        : strip_(strip), prompts_(prompts), settings_(settings)
    {
    }

    const StripDisplay& display() const { return display_; }
    // The user moved the strip's edge; that holds until the next fit.
    void setStripHeight(int height) { display_.stripHeight = height; }

    bool canSave() const { return !strip_.empty(); }

    void openPictures();
    // The open command after its dialog: imports the files in order and
    // remembers the first one's folder under "LoadImg". `onImported` hears
    // of every file that returned; an error that travels ends the whole run.
    // Files that find the strip at `frameCap` frames are left out unread.
    void importFiles(const std::vector<std::string>& files, const ImportListener& onImported = {},
                     int frameCap = kNoFrameCap);
    // Imports every file the command line names, in order, as a drop would
    // (a name that is no regular file is passed over); "LoadImg" is not
    // touched. When none is a file but all of them joined with blanks name
    // one (a path the shell split), that file.
    void importCommandLine(const std::vector<std::string>& arguments);
    // One file by its extension; frames past `frameCap` are not imported.
    ImportResult importFile(const std::string& fileName, int frameCap = kNoFrameCap);
    void saveAbm();
    void exportBmp();
    void clear();
    // Asks first ("Удалить?"), then deletes the frames at `indexes`
    // (ascending) in one rebuild; nothing is asked for none, and nothing
    // happens if the strip changed under the box.
    void deleteFrames(const std::vector<int>& indexes);
    void deleteFrame(int index) { deleteFrames({index}); }
    void moveFrame(int from, int to);
    // The options closed with OK: every frame is made anew under them (all
    // or nothing); they hold for the next imports either way.
    void applyOptions(const FrameOptions& options);
    // The options that make a frame the phone shows of any picture, applied.
    void fitToPhone() { applyOptions(fittedToPhone(strip_.options())); }
    // The history set the strip back or forth: the count shows again and
    // the strip fits its first frame.
    void stripRestored();
    // A save refuses frames without pixels (an empty BMP file imports as a
    // 0 × 0 frame, the options may ask for width or height 0): no reader
    // takes a file of them. Warns and answers false when one of the first
    // `first` frames has none.
    bool framesHavePixels(int first) const;
    // The ABM save's refusals, each with its warning, before anything is
    // asked: a frame without pixels, larger than 128 × 97, or of another
    // size than the first (frameOverPhoneSize, frameOfOtherSize).
    bool abmFramesFit() const;

private:
    // A rebuild shows the count whether it succeeds or not, and fits the
    // strip when it does.
    template <class Change>
    void rebuild(Change change);
    void showCount() { display_.frameCount = strip_.count(); }
    // Asks before a save replaces files other than the one chosen in the
    // dialog, which asked about that one only; true when none exists or the
    // user agrees.
    bool confirmReplacing(const std::vector<std::string>& names) const;
    void fitStrip();
    void markFile(FileMark::Kind kind, const std::string& fileName, int frames);
    // After an open of `files` into a strip that was empty or not.
    void noteOpened(const std::vector<std::string>& files, bool wasEmpty);

    FrameStrip& strip_;
    UserPrompts& prompts_;
    SettingsStore& settings_;
    StripDisplay display_;
};

// Of the frames an ABM file holds (the first four), the first larger than
// the phone's 128 × 97, in its picture or the size it shows at; -1 if none.
int frameOverPhoneSize(const FrameStrip& strip);
// Of them, the first whose picture is not the size of the first frame's
// (each keeps its own under auto-size without stretching), which the file,
// sized by the first, cannot hold as shown; -1 if none.
int frameOfOtherSize(const FrameStrip& strip);
// Of the first `first` frames, the first without pixels; -1 if none.
int frameWithoutPixels(const FrameStrip& strip, int first);

}  // namespace abm
