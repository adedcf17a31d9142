#pragma once

// Saves a window's position, size and state into the settings file when it
// closes and restores them when it is next shown. The window calls
// restoreOnShow() before it shows, saveOnClose() once it has agreed to close
// and saveOnDestroy() when it is destroyed.

#include "settings/IniFile.h"
#include "settings/PlacementWindow.h"

#include <exception>
#include <functional>
#include <string>

namespace abm {

// The settings file's one section, for the placement and the remembered
// folders alike: the name it has always had.
inline constexpr const char* kSettingsSection = "TMForm";

// Written as "FormVersion"; a stored version below it blocks the restore,
// so "FormVersion=-1" in the file turns the restore off.
inline constexpr int kPlacementVersion = 0;

class WindowPlacementStore {
public:
    explicit WindowPlacementStore(PlacementWindow& window);
    virtual ~WindowPlacementStore();
    WindowPlacementStore(const WindowPlacementStore&) = delete;
    WindowPlacementStore& operator=(const WindowPlacementStore&) = delete;

    // The program file the settings file is named after (defaultIniFileName);
    // empty means the running one.
    void setProgramFile(std::string path) { programFile_ = std::move(path); }

    // Receives errors raised by the three calls below; the window goes on
    // opening or closing. Without a receiver they are written to standard
    // error.
    void setOnError(std::function<void(const std::exception&)> onError) { onError_ = std::move(onError); }

    // Called once the window is built: the state it has then is the one an
    // unknown stored show command gives back.
    void windowBuilt() { defaultState_ = window_.placementState(); }
    // Restores the position, the size and the state.
    void restoreOnShow();
    // Saves, unless the window system's window is gone.
    void saveOnClose();
    // Saves with Visible=1 what no close saved.
    void saveOnDestroy();

protected:
    // The settings file for one operation.
    IniFile openIniFile() const;

private:
    void reportError(const std::exception& error) const;

    void saveWindowPlacement();
    void restoreWindowPlacement();
    void restorePosition(const IniFile& ini);
    void restoreState(const IniFile& ini);
    void updateMaxPosition();
    std::string screenSuffix() const;

    PlacementWindow& window_;
    std::string programFile_;
    std::function<void(const std::exception&)> onError_;

    WindowState defaultState_ = WindowState::normal;

    bool restored_ = false;
    bool saved_ = false;
    bool destroying_ = false;
};

}  // namespace abm
