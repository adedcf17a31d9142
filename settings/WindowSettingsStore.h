#pragma once

// The main window's settings component: the window placement of
// WindowPlacementStore plus the named strings the commands remember (the folders
// "LoadImg", "SaveBmp" and "SavePath"), all in the window's section.

#include "settings/WindowPlacementStore.h"
#include "settings/SettingsStore.h"

namespace abm {

class WindowSettingsStore : public WindowPlacementStore, public SettingsStore {
public:
    using WindowPlacementStore::WindowPlacementStore;

    // The stored value, or `defaultValue` when the file, section or key is missing.
    std::string readSetting(const std::string& name, const std::string& defaultValue) override;
    // Raises Error SettingsWrite when the file cannot be written.
    void writeSetting(const std::string& name, const std::string& value) override;
};

}  // namespace abm
