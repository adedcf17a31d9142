#pragma once

// The remembered named strings (folders of the last open, export and save)
// as the commands see them. The settings file implements it; tests and
// abmtool substitute their own.

#include <string>

namespace abm {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::string readSetting(const std::string& name, const std::string& defaultValue) = 0;
    virtual void writeSetting(const std::string& name, const std::string& value) = 0;
};

}  // namespace abm
