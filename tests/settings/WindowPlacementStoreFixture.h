#pragma once

// The placement store's tests share a settings file in a test folder and
// whole runs of the program against a scripted window.

#include "settings/WindowSettingsStore.h"
#include "settings/IniFile.h"
#include "ScopedEnv.h"
#include "ScriptedWindow.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <functional>
#include <memory>

namespace abm::test {

inline std::string text(const std::string& path)
{
    const std::vector<uint8_t> bytes = abm::test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

inline std::string numbers(int a, int b, int c, int d)
{
    return std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c) + "," + std::to_string(d);
}

inline std::unique_ptr<WindowSettingsStore> newStore(ScriptedWindow& window, std::vector<std::string>* errors = nullptr)
{
    auto store = std::make_unique<WindowSettingsStore>(window);
    store->setProgramFile("/usr/bin/abmmaker");
    if (errors)
        store->setOnError([errors](const std::exception& e) { errors->push_back(e.what()); });
    return store;
}

// One run of the program: the window is built with its store, configured,
// shown, used, closed and destroyed.
struct Session {
    explicit Session(const std::function<void(ScriptedWindow&)>& configure = {})
    {
        store.setProgramFile("/usr/bin/abmmaker");
        store.setOnError([this](const std::exception& e) { errors.push_back(e.what()); });
        if (configure)
            configure(window);
        store.windowBuilt();
        window.store = &store;
    }
    void show() { window.show(); }
    void end()
    {
        if (window.close())
            window.destroy();
    }

    ScriptedWindow window;
    WindowSettingsStore store{window};
    std::vector<std::string> errors;
};

class WindowPlacementStoreTest : public ::testing::Test {
protected:
    WindowPlacementStoreTest() { env.set("XDG_CONFIG_HOME", dir / "config"); }
    std::string iniPath() const { return dir / "config/abmmaker.INI"; }
    std::string key(const std::string& key) const
    {
        return IniFile("abmmaker.INI").readString("TMForm", key, "<none>");
    }
    void setKey(const std::string& key, const std::string& value)
    {
        IniFile("abmmaker.INI").writeString("TMForm", key, value);
    }
    // A first run that leaves the window as `use` puts it.
    void firstRun(const std::function<void(ScriptedWindow&)>& use,
                  const std::function<void(ScriptedWindow&)>& configure = {})
    {
        Session s(configure);
        s.show();
        use(s.window);
        s.end();
        ASSERT_TRUE(s.errors.empty());
    }

    TempDir dir;
    ScopedEnv env;
};

}  // namespace abm::test
