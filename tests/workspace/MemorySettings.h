#pragma once

// An SettingsStore in memory; writes can be made to fail.

#include "base/Error.h"
#include "settings/SettingsStore.h"

#include <map>
#include <string>

namespace abm::test {

class MemorySettings : public SettingsStore {
public:
    std::map<std::string, std::string> values;
    bool failWrites = false;

    std::string readSetting(const std::string& name, const std::string& defaultValue) override
    {
        auto it = values.find(name);
        return it == values.end() ? defaultValue : it->second;
    }
    void writeSetting(const std::string& name, const std::string& value) override
    {
        if (failWrites)
            throw Error(ErrorKind::SettingsWrite, "abmmaker.INI");
        values[name] = value;
    }
};

}  // namespace abm::test
