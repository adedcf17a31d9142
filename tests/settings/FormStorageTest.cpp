#include "settings/FormStorage.h"
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

std::string Text(const std::string& path)
{
    const std::vector<uint8_t> bytes = abm::test::ReadFile(path);
    return std::string(bytes.begin(), bytes.end());
}

class FormStorageTest : public ::testing::Test {
protected:
    FormStorageTest()
    {
        env.Set("XDG_CONFIG_HOME", dir / "config");
        storage.SetProgramFile("/usr/bin/abmmaker");
    }
    std::string IniPath() const { return dir / "config/abmmaker.INI"; }

    TempDir dir;
    ScopedEnv env;
    ScriptedWindow window;
    TFormStorage storage{window};
};

TEST_F(FormStorageTest, FirstWriteCreatesTheFileWithTheWindowsSection)
{
    ISettingsStore& settings = storage;
    EXPECT_EQ(settings.ReadSetting("LoadImg", ""), "");
    settings.WriteSetting("LoadImg", "/home/u/Pictures/");
    settings.WriteSetting("SaveBmp", "/home/u/out/");
    EXPECT_EQ(Text(IniPath()), "[TMForm]\r\nLoadImg=/home/u/Pictures/\r\nSaveBmp=/home/u/out/\r\n");
    EXPECT_EQ(settings.ReadSetting("LoadImg", ""), "/home/u/Pictures/");
    EXPECT_EQ(settings.ReadSetting("SavePath", "none"), "none");
}

TEST_F(FormStorageTest, ValuesReadBackUnchangedThroughTheQuotingRule)
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
        storage.WriteSetting("SavePath", c.value);
        EXPECT_EQ(Text(IniPath()), "[TMForm]\r\nSavePath=" + c.stored + "\r\n") << c.value;
        EXPECT_EQ(storage.ReadSetting("SavePath", "<default>"), c.value);
    }
}

TEST_F(FormStorageTest, UnwritableFolderRaisesWithTheFileNameAsUsed)
{
    abm::test::WriteFile(dir / "plain", {'x'});
    env.Set("XDG_CONFIG_HOME", dir / "plain/config");
    try {
        storage.WriteSetting("SavePath", "/x/");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::SettingsWrite);
        EXPECT_STREQ(e.what(), "Unable to write to abmmaker.INI");
    }
    EXPECT_EQ(storage.ReadSetting("SavePath", "d"), "d");
}

TEST_F(FormStorageTest, FileIsNamedAfterTheProgramFile)
{
    struct Case {
        const char* program;
        const char* ini;
    };
    const Case cases[] = {
        {"/usr/bin/abmmaker", "abmmaker.INI"},
        {"/opt/x/anim.exe", "anim.INI"},
        {"/opt/x.y/my.prog.bin", "my.prog.INI"},
        {"/opt/dir.d/tool", "tool.INI"},
        {"relative/abmmaker", "abmmaker.INI"},
        {"abmmaker", "abmmaker.INI"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DefaultIniFileName(c.program), c.ini) << c.program;
        TFormStorage s(window);
        s.SetProgramFile(c.program);
        EXPECT_EQ(s.IniFileName(), c.ini);
        s.WriteSetting("LoadImg", "/x/");
        EXPECT_TRUE(std::filesystem::exists(dir / ("config/" + std::string(c.ini)))) << c.program;
    }
    TFormStorage named(window);
    named.SetIniFileName("other.INI");
    EXPECT_EQ(named.IniFileName(), "other.INI");
}

TEST_F(FormStorageTest, RunningProgramGivesItsOwnName)
{
    const std::string program = ProgramFilePath();
    EXPECT_EQ(program.front(), '/');
    EXPECT_TRUE(std::filesystem::equivalent(program, "/proc/self/exe"));
    TFormStorage s(window);
    EXPECT_EQ(s.IniFileName(), std::filesystem::path(program).stem().string() + ".INI");
}

TEST_F(FormStorageTest, ReplacedProgramFileKeepsItsSettingsName)
{
    EXPECT_EQ(ProgramPathFromExeLink("/usr/bin/abmmaker (deleted)"), "/usr/bin/abmmaker");
    EXPECT_EQ(ProgramPathFromExeLink("/usr/bin/abmmaker"), "/usr/bin/abmmaker");
    EXPECT_EQ(ProgramPathFromExeLink(" (deleted)"), " (deleted)");
}

TEST_F(FormStorageTest, SectionFollowsTheWindowUnlessSet)
{
    EXPECT_EQ(storage.IniSection(), "TMForm");
    storage.SetIniSection("Other");
    storage.WriteSetting("LoadImg", "/x/");
    EXPECT_EQ(Text(IniPath()), "[Other]\r\nLoadImg=/x/\r\n");
}

}  // namespace
