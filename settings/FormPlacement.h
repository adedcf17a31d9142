#pragma once

// Saves a window's position, size and state into the settings file when it
// closes and restores them when it is next shown. Attached to a window, it
// hooks the window's show, close-query and destroy events and chains to the
// handlers the window had.

#include "settings/IniFile.h"
#include "settings/PlacementWindow.h"

#include <exception>
#include <functional>
#include <string>

namespace abm {

enum TPlacementOption : unsigned {
    fpState = 1,     // normal, minimised or maximised
    fpPosition = 2,  // position and size
};

class TFormPlacement {
public:
    explicit TFormPlacement(IPlacementWindow& window);
    virtual ~TFormPlacement();
    TFormPlacement(const TFormPlacement&) = delete;
    TFormPlacement& operator=(const TFormPlacement&) = delete;

    // Off: the hooks neither restore nor save.
    bool Active() const { return active_; }
    void SetActive(bool active) { active_ = active; }
    // Written as "FormVersion"; a stored version below it blocks the restore.
    int Version() const { return version_; }
    void SetVersion(int version) { version_ = version; }
    unsigned Options() const { return options_; }
    void SetOptions(unsigned options) { options_ = options; }

    // The settings file's name; empty gives the program file's name with
    // ".INI" (DefaultIniFileName).
    std::string IniFileName() const;
    void SetIniFileName(std::string name) { iniFileName_ = std::move(name); }
    // The section; empty gives the window's class name.
    std::string IniSection() const;
    void SetIniSection(std::string section) { iniSection_ = std::move(section); }
    // The program file the default name is made from; empty means the
    // running one.
    void SetProgramFile(std::string path) { programFile_ = std::move(path); }

    // Receives errors raised inside the hooks; the window goes on opening or
    // closing. Without a receiver they are written to standard error.
    // Errors of the window's own handlers, which the hooks chain to, pass
    // through to the window.
    void SetOnError(std::function<void(const std::exception&)> onError) { onError_ = std::move(onError); }

    // Called once the window is built: keeps the window's own show,
    // close-query and destroy handlers and installs the store's hooks.
    void AttachToWindow();

    void SaveWindowPlacement();
    void RestoreWindowPlacement();

    bool Restored() const { return restored_; }
    bool Saved() const { return saved_; }
    bool Destroying() const { return destroying_; }

protected:
    IPlacementWindow& Window() const { return window_; }
    // The settings file for one operation.
    TIniFile OpenIniFile() const { return TIniFile(IniFileName()); }

private:
    void restoreOnShow();
    void saveOnCloseQuery(bool& canClose);
    void saveOnDestroy();
    void ReportError(const std::exception& error) const;

    void RestorePosition(const TIniFile& ini, const std::string& section);
    void RestoreState(const TIniFile& ini, const std::string& section);
    void UpdateMaxPosition();
    std::string ScreenSuffix() const;

    IPlacementWindow& window_;
    bool active_ = true;
    int version_ = 0;
    unsigned options_ = fpState | fpPosition;
    std::string iniFileName_;
    std::string iniSection_;
    std::string programFile_;
    std::function<void(const std::exception&)> onError_;

    TFormEvents* events_ = nullptr;  // set while attached
    TFormEvents savedEvents_;
    TWindowState defaultState_ = TWindowState::wsNormal;

    bool restored_ = false;
    bool saved_ = false;
    bool destroying_ = false;
};

}  // namespace abm
