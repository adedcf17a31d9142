#pragma once

#include "settings/SettingsStore.h"

#include <string>

namespace abm {

// abmtool remembers nothing between runs.
class NoSettings : public SettingsStore {
public:
    std::string readSetting(const std::string&, const std::string& defaultValue) override { return defaultValue; }
    void writeSetting(const std::string&, const std::string&) override {}
};

}  // namespace abm
