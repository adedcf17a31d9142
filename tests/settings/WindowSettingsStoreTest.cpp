#include "settings/WindowSettingsStore.h"
#include "base/ProgramFile.h"
#include "ScopedEnv.h"
#include "ScriptedWindow.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace abm;
using abm::test::ScopedEnv;
using abm::test::ScriptedWindow;
using abm::test::TempDir;

namespace {

std::string text(const std::string& path)
{
    const std::vector<uint8_t> bytes = abm::test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class WindowSettingsStoreTest : public ::testing::Test {
protected:
    WindowSettingsStoreTest()
    {
        env.set("XDG_CONFIG_HOME", dir / "config");
        storage.setProgramFile("/usr/bin/abmmaker");
    }
    std::string iniPath() const { return dir / "config/abmmaker.INI"; }

    TempDir dir;
    ScopedEnv env;
    ScriptedWindow window;
    WindowSettingsStore storage{window};
};

TEST_F(WindowSettingsStoreTest, FirstWriteCreatesTheFileWithTheWindowsSection)
{
    SettingsStore& settings = storage;
    EXPECT_EQ(settings.readSetting("LoadImg", ""), "");
    settings.writeSetting("LoadImg", "/home/u/Pictures/");
    settings.writeSetting("SaveBmp", "/home/u/out/");
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nLoadImg=/home/u/Pictures/\r\nSaveBmp=/home/u/out/\r\n");
    EXPECT_EQ(settings.readSetting("LoadImg", ""), "/home/u/Pictures/");
    EXPECT_EQ(settings.readSetting("SavePath", "none"), "none");
}

TEST_F(WindowSettingsStoreTest, ValuesReadBackUnchangedThroughTheQuotingRule)
{
    struct Case {
        std::string value;
        std::string stored;  // the line's value in the file
    };
    const Case cases[] = {
        {"C:\\Pictures\\", "C:\\Pictures\\"},
        {"/home/u/my pictures/", "/home/u/my pictures/"},
        {"\"quoted\"", "\"\"quoted\"\""},
        {"'single'", "\"'single'\""},
        {"\"", "\"\"\""},
        {"'", "\"'\""},
        {"\"\"", "\"\"\"\""},
        {"\"half", "\"half"},
        {"half'", "half'"},
        {"\"mixed'", "\"mixed'"},
        {"", ""},
        {"/home/u/Картинки/", "/home/u/Картинки/"},
    };
    for (const Case& c : cases) {
        storage.writeSetting("SavePath", c.value);
        EXPECT_EQ(text(iniPath()), "[TMForm]\r\nSavePath=" + c.stored + "\r\n") << c.value;
        EXPECT_EQ(storage.readSetting("SavePath", "<default>"), c.value);
    }
}

TEST_F(WindowSettingsStoreTest, UnwritableFolderRaisesWithTheFileNameAsUsed)
{
    abm::test::writeFile(dir / "plain", {'x'});
    env.set("XDG_CONFIG_HOME", dir / "plain/config");
    try {
        storage.writeSetting("SavePath", "/x/");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::SettingsWrite);
        EXPECT_STREQ(e.what(), "Unable to write to abmmaker.INI.\nNot a directory");
    }
    EXPECT_EQ(storage.readSetting("SavePath", "d"), "d");
}

TEST_F(WindowSettingsStoreTest, FileIsNamedAfterTheProgramFile)
{
    struct Case {
        const char* program;
        const char* ini;
    };
    const Case cases[] = {
        {"/usr/bin/abmmaker", "abmmaker.INI"},   {"/opt/x/anim.exe", "anim.INI"},
        {"/opt/x.y/my.prog.bin", "my.prog.INI"}, {"/opt/dir.d/tool", "tool.INI"},
        {"relative/abmmaker", "abmmaker.INI"},   {"abmmaker", "abmmaker.INI"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(defaultIniFileName(c.program), c.ini) << c.program;
        WindowSettingsStore s(window);
        s.setProgramFile(c.program);
        s.writeSetting("LoadImg", "/x/");
        EXPECT_TRUE(std::filesystem::exists(dir / ("config/" + std::string(c.ini)))) << c.program;
    }
}

TEST_F(WindowSettingsStoreTest, RunningProgramGivesItsOwnName)
{
    const std::string program = programFilePath();
    EXPECT_EQ(program.front(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(program, "/proc/self/exe"));
    WindowSettingsStore s(window);
    s.writeSetting("LoadImg", "/x/");
    EXPECT_TRUE(std::filesystem::exists(dir / ("config/" + std::filesystem::path(program).stem().string() + ".INI")));
}

TEST_F(WindowSettingsStoreTest, ReplacedProgramFileKeepsItsSettingsName)
{
    EXPECT_EQ(programPathFromExeLink("/usr/bin/abmmaker (deleted)"), "/usr/bin/abmmaker");
    EXPECT_EQ(programPathFromExeLink("/usr/bin/abmmaker"), "/usr/bin/abmmaker");
    EXPECT_EQ(programPathFromExeLink(" (deleted)"), " (deleted)");
}

}  // namespace
