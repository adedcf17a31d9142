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

enum PlacementOption : unsigned {
    fpState = 1,     // normal, minimised or maximised
    fpPosition = 2,  // position and size
};

class WindowPlacementStore {
public:
    explicit WindowPlacementStore(PlacementWindow& window);
    virtual ~WindowPlacementStore();
    WindowPlacementStore(const WindowPlacementStore&) = delete;
    WindowPlacementStore& operator=(const WindowPlacementStore&) = delete;

    // Off: the hooks neither restore nor save.
    bool active() const { return active_; }
    void setActive(bool active) { active_ = active; }
    // Written as "FormVersion"; a stored version below it blocks the restore.
    int version() const { return version_; }
    void setVersion(int version) { version_ = version; }
    unsigned options() const { return options_; }
    void setOptions(unsigned options) { options_ = options; }

    // The settings file's name; empty gives the program file's name with
    // ".INI" (defaultIniFileName).
    std::string iniFileName() const;
    void setIniFileName(std::string name) { iniFileName_ = std::move(name); }
    // The section; empty gives the window's class name.
    std::string iniSection() const;
    void setIniSection(std::string section) { iniSection_ = std::move(section); }
    // The program file the default name is made from; empty means the
    // running one.
    void setProgramFile(std::string path) { programFile_ = std::move(path); }

    // Receives errors raised by the three calls below; the window goes on
    // opening or closing. Without a receiver they are written to standard
    // error.
    void setOnError(std::function<void(const std::exception&)> onError) { onError_ = std::move(onError); }

    // Called once the window is built: the state it has then is the one an
    // unknown stored show command gives back.
    void windowBuilt() { defaultState_ = window_.placementState(); }
    // Restores, unless inactive.
    void restoreOnShow();
    // Saves, unless inactive or the window system's window is gone.
    void saveOnClose();
    // Saves with Visible=1 what no close saved, unless inactive.
    void saveOnDestroy();

    void saveWindowPlacement();
    void restoreWindowPlacement();

    bool restored() const { return restored_; }
    bool saved() const { return saved_; }
    bool destroying() const { return destroying_; }

protected:
    PlacementWindow& window() const { return window_; }
    // The settings file for one operation.
    IniFile openIniFile() const { return IniFile(iniFileName()); }

private:
    void reportError(const std::exception& error) const;

    void restorePosition(const IniFile& ini, const std::string& section);
    void restoreState(const IniFile& ini, const std::string& section);
    void updateMaxPosition();
    std::string screenSuffix() const;

    PlacementWindow& window_;
    bool active_ = true;
    int version_ = 0;
    unsigned options_ = fpState | fpPosition;
    std::string iniFileName_;
    std::string iniSection_;
    std::string programFile_;
    std::function<void(const std::exception&)> onError_;

    WindowState defaultState_ = WindowState::normal;

    bool restored_ = false;
    bool saved_ = false;
    bool destroying_ = false;
};

}  // namespace abm
