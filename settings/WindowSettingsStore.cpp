#include "WindowSettingsStore.h"

namespace abm {

std::string WindowSettingsStore::readSetting(const std::string& name, const std::string& defaultValue)
{
    return openIniFile().readString(kSettingsSection, name, defaultValue);
}

void WindowSettingsStore::writeSetting(const std::string& name, const std::string& value)
{
    // Reading strips one pair of matching quotation marks; a value that has
    // such a pair of its own gets an extra pair so that it comes back as is.
    std::string stored = value;
    if (!value.empty() && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        stored = "\"" + value + "\"";
    openIniFile().writeString(kSettingsSection, name, stored);
}

}  // namespace abm
