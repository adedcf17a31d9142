#include "settings/IniFile.h"
#include "base/UserFolders.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <random>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace abm;
using abm::test::kindOfError;
using abm::test::ScopedEnv;
using abm::test::TempDir;
using namespace std::string_literals;

namespace {

std::string text(const std::string& path)
{
    const std::vector<uint8_t> bytes = abm::test::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void put(const std::string& path, const std::string& text)
{
    abm::test::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

class IniFileTest : public ::testing::Test {
protected:
    IniFileTest() { env.set("XDG_CONFIG_HOME", dir / "config"); }
    std::string iniPath() const { return dir / "config/abmmaker.INI"; }
    void given(const std::string& text)
    {
        std::filesystem::create_directories(dir / "config");
        put(iniPath(), text);
    }
    std::string read(const std::string& key, const std::string& def = "<default>") const
    {
        return IniFile("abmmaker.INI").readString("TMForm", key, def);
    }
    void write(const std::string& key, const std::string& value)
    {
        IniFile("abmmaker.INI").writeString("TMForm", key, value);
    }

    TempDir dir;
    ScopedEnv env;
};

TEST_F(IniFileTest, BareNameLivesInTheConfigFolderWhichIsCreatedOnFirstWrite)
{
    EXPECT_FALSE(std::filesystem::exists(dir / "config"));
    EXPECT_EQ(read("LoadImg"), "<default>");
    EXPECT_FALSE(std::filesystem::exists(dir / "config")) << "reading must not create anything";

    write("LoadImg", "/home/u/Pictures/");
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nLoadImg=/home/u/Pictures/\r\n");
    EXPECT_EQ(std::filesystem::status(dir / "config").permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_all);
}

TEST_F(IniFileTest, ConfigFolderFallsBackToDotConfigUnderHome)
{
    struct Case {
        const char* xdgConfigHome;  // nullptr: unset
    };
    for (const Case& c : {Case{nullptr}, Case{""}, Case{"relative/config"}}) {
        TempDir home;
        ScopedEnv local;
        local.set("HOME", home.path().string());
        if (c.xdgConfigHome)
            local.set("XDG_CONFIG_HOME", c.xdgConfigHome);
        else
            local.unset("XDG_CONFIG_HOME");
        EXPECT_EQ(configHome(), home / ".config");
        IniFile("anim.INI").writeString("TMForm", "SaveBmp", "/x/");
        EXPECT_EQ(text(home / ".config/anim.INI"), "[TMForm]\r\nSaveBmp=/x/\r\n")
            << "XDG_CONFIG_HOME=" << (c.xdgConfigHome ? c.xdgConfigHome : "(unset)");
    }
}

TEST_F(IniFileTest, NameWithFolderIsUsedAsGiven)
{
    const std::string path = dir / "elsewhere.ini";
    IniFile ini(path);
    EXPECT_EQ(ini.path(), path);
    ini.writeString("S", "K", "v");
    EXPECT_EQ(text(path), "[S]\r\nK=v\r\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "config"));
}

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(read("LoadImg", "fallback"), "fallback");
    given("[Other]\r\nLoadImg=/other/\r\n");
    EXPECT_EQ(read("LoadImg", "fallback"), "fallback");
    given("[TMForm]\r\nSaveBmp=/b/\r\n");
    EXPECT_EQ(read("LoadImg", "fallback"), "fallback");
    EXPECT_EQ(read("SaveBmp", "fallback"), "/b/");
}

TEST_F(IniFileTest, ReadingDropsBlanksAndOnePairOfMatchingQuotes)
{
    struct Case {
        const char* line;
        const char* value;
    };
    const Case cases[] = {
        {"K=plain", "plain"},
        {"K=  padded \t", "padded"},
        {"  K  =  spaced key", "spaced key"},
        {"K=\"double\"", "double"},
        {"K='single'", "single"},
        {"K= \"  inner blanks  \" ", "  inner blanks  "},
        {"K=\"\"nested\"\"", "\"nested\""},
        {"K=\"mixed'", "\"mixed'"},
        {"K='mixed\"", "'mixed\""},
        {"K=\"", "\""},
        {"K=\"\"\"", "\""},
        {"K=\"\"", ""},
        {"K=", ""},
        {"K=a=b", "a=b"},
        {"K=C:\\Pictures\\", "C:\\Pictures\\"},
        {"K=/home/u/Картинки/", "/home/u/Картинки/"},
    };
    for (const Case& c : cases) {
        given(std::string("[TMForm]\r\n") + c.line + "\r\n");
        EXPECT_EQ(read("K"), c.value) << c.line;
    }
}

TEST_F(IniFileTest, SectionAndKeyNamesMatchWhateverTheirCase)
{
    given("[tmform]\r\nloadimg=/a/\r\nSAVEBMP=/b/\r\n");
    EXPECT_EQ(read("LoadImg"), "/a/");
    EXPECT_EQ(read("SaveBmp"), "/b/");
    EXPECT_EQ(IniFile("abmmaker.INI").readString("TMFORM", "LOADIMG", ""), "/a/");

    write("LoadImg", "/c/");
    EXPECT_EQ(text(iniPath()), "[tmform]\r\nLoadImg=/c/\r\nSAVEBMP=/b/\r\n");
}

TEST_F(IniFileTest, ExistingKeyIsReplacedInPlaceAndNewKeyAppendedAtTheEndOfItsSection)
{
    given("[TMForm]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nC=3\r\n");
    write("B", "5");
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nA=1\r\nB=5\r\n\r\n[Other]\r\nC=3\r\n");
    write("D", "4");
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nA=1\r\nB=5\r\nD=4\r\n\r\n[Other]\r\nC=3\r\n");
    IniFile("abmmaker.INI").writeString("Other", "E", "6");
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nA=1\r\nB=5\r\nD=4\r\n\r\n[Other]\r\nC=3\r\nE=6\r\n");
    IniFile("abmmaker.INI").writeString("Third", "F", "7");
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nA=1\r\nB=5\r\nD=4\r\n\r\n[Other]\r\nC=3\r\nE=6\r\n[Third]\r\nF=7\r\n");
    EXPECT_EQ(read("D"), "4");
}

TEST_F(IniFileTest, SeveralKeysInOneRewriteLandAsIfWrittenInTurn)
{
    struct Case {
        std::string given;
        std::vector<std::pair<std::string, std::string>> values;
        std::string expected;
    };
    const Case cases[] = {
        {"", {{"A", "1"}, {"B", "2"}}, "[TMForm]\r\nA=1\r\nB=2\r\n"},
        {"[TMForm]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nC=3\r\n",
         {{"b", "5"}, {"D", "4"}, {"E", "6"}},
         "[TMForm]\r\nA=1\r\nb=5\r\nD=4\r\nE=6\r\n\r\n[Other]\r\nC=3\r\n"},
        {"[Other]\r\nC=3\r\n", {{"A", "1"}, {"A", "2"}, {"C", "x\ny"}}, "[Other]\r\nC=3\r\n[TMForm]\r\nA=2\r\nC=x\r\n"},
    };
    for (const Case& c : cases) {
        given(c.given);
        IniFile("abmmaker.INI").writeStrings("TMForm", c.values);
        EXPECT_EQ(text(iniPath()), c.expected) << c.given;
    }
}

TEST_F(IniFileTest, EmptySectionGetsItsFirstKeyRightAfterTheHeader)
{
    given("[TMForm]\r\n\r\n[Other]\r\nC=3\r\n");
    write("A", "1");
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nA=1\r\n\r\n[Other]\r\nC=3\r\n");
}

TEST_F(IniFileTest, CommentsAndOtherLinesSurviveARewriteByteForByte)
{
    given("; written by hand\r\n[TMForm]\r\n# not a key\r\nA=1 ; stays part of the value\r\n");
    write("B", "2");
    EXPECT_EQ(text(iniPath()),
              "; written by hand\r\n[TMForm]\r\n# not a key\r\nA=1 ; stays part of the value\r\nB=2\r\n");
    EXPECT_EQ(read("A"), "1 ; stays part of the value");
}

TEST_F(IniFileTest, ValueHoldingALineBreakCannotAddLinesOfItsOwn)
{
    struct Case {
        std::string value;
        const char* kept;
    };
    const Case cases[] = {
        {"/a\n[Evil]\nX=1", "/a"},
        {"/b\r\nY=2", "/b"},
        {"/c\rZ=3", "/c"},
        {"/d\0/e"s, "/d"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(iniPath());
        write("LoadImg", c.value);
        EXPECT_EQ(text(iniPath()), std::string("[TMForm]\r\nLoadImg=") + c.kept + "\r\n");
        EXPECT_EQ(read("LoadImg"), c.kept);
    }
}

TEST_F(IniFileTest, ReadsAtMost2047BytesWithoutSplittingACharacter)
{
    struct Case {
        std::string value;
        std::string expected;
    };
    const std::string a2046(2046, 'a');
    const Case cases[] = {
        {std::string(2047, 'x'), std::string(2047, 'x')},
        {std::string(5000, 'y'), std::string(2047, 'y')},
        {"\"" + std::string(3000, 'z') + "\"", std::string(2047, 'z')},
        {a2046 + "Я", a2046},                  // two-byte character across the limit
        {a2046 + "\xE2\x82\xAC", a2046},       // three bytes
        {a2046 + "\xFF\xFF", a2046 + "\xFF"},  // not UTF-8: plain bytes
    };
    for (const Case& c : cases) {
        given("[TMForm]\r\nK=" + c.value + "\r\nNext=1\r\n");
        EXPECT_EQ(read("K"), c.expected) << c.value.size() << " bytes";
        EXPECT_EQ(read("Next"), "1");
    }
    EXPECT_EQ(read("Missing", std::string(3000, 'd')), std::string(2047, 'd'));
}

TEST_F(IniFileTest, IntegersAreDecimalOrHexAfter0x)
{
    struct Case {
        const char* text;
        int expected;
    };
    const Case cases[] = {
        {"96", 96}, {"-1", -1},  {" 42 ", 42},  {"0x60", 96},        {"0X1f", 31}, {"'7'", 7},
        {"", -5},   {"abc", -5}, {"12abc", -5}, {"99999999999", -5}, {"0x", -5},   {"1.5", -5},
    };
    for (const Case& c : cases) {
        given(std::string("[TMForm]\r\nN=") + c.text + "\r\n");
        EXPECT_EQ(IniFile("abmmaker.INI").readInteger("TMForm", "N", -5), c.expected) << c.text;
    }
    IniFile ini("abmmaker.INI");
    ini.writeInteger("TMForm", "N", -123);
    ini.writeBool("TMForm", "T", true);
    ini.writeBool("TMForm", "F", false);
    EXPECT_EQ(text(iniPath()), "[TMForm]\r\nN=-123\r\nT=1\r\nF=0\r\n");
}

// Files nobody here wrote: each must read without harm, and a write must
// leave a file that reads back what was written.
TEST_F(IniFileTest, HostileFilesReadSensiblyAndSurviveAWrite)
{
    struct Case {
        const char* what;
        std::string text;
        std::string loadImg;  // what reading LoadImg gives ("<default>" when absent)
    };
    const std::string longLine(1 << 20, 'L');
    const Case cases[] = {
        {"LF-only lines", "[TMForm]\nLoadImg=/lf/\nSaveBmp=/b/\n", "/lf/"},
        {"CR-only lines", "[TMForm]\rLoadImg=/cr/\r", "/cr/"},
        {"no trailing newline", "[TMForm]\r\nLoadImg=/end/", "/end/"},
        {"byte-order mark", "\xEF\xBB\xBF[TMForm]\r\nLoadImg=/bom/\r\n", "/bom/"},
        {"NUL inside the value", "[TMForm]\r\nLoadImg=/nu\0l/\r\n"s, "/nu"},
        {"NUL in another line", "[TMForm]\r\nX\0Y=1\r\nLoadImg=/ok/\r\n"s, "/ok/"},
        {"NUL in the section name", "[TM\0Form]\r\nLoadImg=/no/\r\n"s, "<default>"},
        {"duplicate keys: the first counts", "[TMForm]\r\nLoadImg=/first/\r\nLoadImg=/second/\r\n", "/first/"},
        {"duplicate sections: the first counts", "[TMForm]\r\nA=1\r\n[TMForm]\r\nLoadImg=/late/\r\n", "<default>"},
        {"key before any section", "LoadImg=/outside/\r\n[TMForm]\r\n", "<default>"},
        {"section without closing bracket", "[TMForm\r\nLoadImg=/open/\r\n", "<default>"},
        {"line without equals sign", "[TMForm]\r\nLoadImg\r\nLoadImg=/eq/\r\n", "/eq/"},
        {"empty key name", "[TMForm]\r\n=orphan\r\nLoadImg=/k/\r\n", "/k/"},
        {"very long line before the key", "[TMForm]\r\nJunk=" + longLine + "\r\nLoadImg=/after/\r\n", "/after/"},
        {"very long key line", "[TMForm]\r\nLoadImg=" + longLine + "\r\n", std::string(2047, 'L')},
        {"only line ends", "\r\n\n\r\r\n", "<default>"},
        {"empty file", "", "<default>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        given(c.text);
        EXPECT_EQ(read("LoadImg"), c.loadImg);
        write("SavePath", "/written/");
        EXPECT_EQ(read("SavePath"), "/written/");
        EXPECT_EQ(read("LoadImg"), c.loadImg) << "the write changed another key";
        const std::string after = text(iniPath());
        EXPECT_EQ(after.find('\n'), after.find("\r\n") + 1) << "line ends are CR LF after a rewrite";
    }
}

TEST_F(IniFileTest, ByteOrderMarkIsKeptOnRewrite)
{
    given("\xEF\xBB\xBF[TMForm]\nLoadImg=/bom/\n");
    write("SavePath", "/s/");
    EXPECT_EQ(text(iniPath()), "\xEF\xBB\xBF[TMForm]\r\nLoadImg=/bom/\r\nSavePath=/s/\r\n");
}

TEST_F(IniFileTest, RandomBytesNeverBreakReadingOrWriting)
{
    std::mt19937 random(20240229);
    for (int round = 0; round < 200; ++round) {
        std::string text(random() % 400, '\0');
        for (char& c : text) {
            const char alphabet[] = "[]=\r\n \t\"'TMFormLoadImg\0\xEF\xBB\xBF\xFF";
            c = alphabet[random() % (sizeof alphabet - 1)];
        }
        given(text);
        (void)read("LoadImg");
        write("LoadImg", "/r/");
        ASSERT_EQ(read("LoadImg"), "/r/") << "round " << round;
    }
}

TEST_F(IniFileTest, HugeFileReadsAsEmptyAndIsNotRewritten)
{
    std::string text = "[TMForm]\r\nLoadImg=/big/\r\n";
    text.resize(static_cast<size_t>(kMaxConfigFileBytes) + 1, ' ');
    given(text);
    EXPECT_EQ(read("LoadImg"), "<default>");
    try {
        write("SavePath", "/x/");
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::SettingsWrite);
        EXPECT_STREQ(e.what(), "Unable to write to abmmaker.INI.\nFile too large");
    }
    EXPECT_EQ(std::filesystem::file_size(iniPath()), text.size());

    text.resize(static_cast<size_t>(kMaxConfigFileBytes));
    given(text);
    EXPECT_EQ(read("LoadImg"), "/big/") << "a file right at the limit is still read";
}

TEST_F(IniFileTest, WriteFailuresNameTheFileAsUsedWithTheReasonAndLeaveNoTrace)
{
    struct Case {
        const char* what;
        std::function<std::string()> prepare;  // returns the name to use
        std::string message;
    };
    const Case cases[] = {
        {"config folder below a regular file",
         [&] {
             put(dir / "plain", "x");
             env.set("XDG_CONFIG_HOME", dir / "plain/config");
             return std::string("abmmaker.INI");
         },
         "Unable to write to abmmaker.INI.\nNot a directory"},
        {"settings file is a folder",
         [&] {
             env.set("XDG_CONFIG_HOME", dir / "config");
             std::filesystem::create_directories(dir / "config/abmmaker.INI");
             return std::string("abmmaker.INI");
         },
         "Unable to write to abmmaker.INI.\nIs a directory"},
        {"folder of an explicit name is missing", [&] { return dir / "missing/anim.INI"; },
         "Unable to write to " + (dir / "missing/anim.INI") + ".\nNo such file or directory"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string name = c.prepare();
        IniFile ini(name);
        try {
            ini.writeString("TMForm", "LoadImg", "/x/");
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::SettingsWrite);
            EXPECT_EQ(e.what(), c.message);
        }
        EXPECT_EQ(ini.readString("TMForm", "LoadImg", "none"), "none") << "reading never fails";
    }
}

TEST_F(IniFileTest, WritesLeaveNoTemporaryFilesAndKeepALinkedFileLinkedAndPrivate)
{
    std::filesystem::create_directories(dir / "config");
    std::filesystem::create_directories(dir / "dotfiles");
    put(dir / "dotfiles/abmmaker.INI", "[TMForm]\r\nLoadImg=/a/\r\n");
    const auto privateMode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
    std::filesystem::permissions(dir / "dotfiles/abmmaker.INI", privateMode);
    std::filesystem::create_symlink("../dotfiles/abmmaker.INI", iniPath());
    for (int i = 0; i < 5; ++i)
        write("SavePath", "/s" + std::to_string(i) + "/");
    EXPECT_TRUE(std::filesystem::is_symlink(iniPath()));
    EXPECT_EQ(text(dir / "dotfiles/abmmaker.INI"), "[TMForm]\r\nLoadImg=/a/\r\nSavePath=/s4/\r\n");
    EXPECT_EQ(std::filesystem::status(dir / "dotfiles/abmmaker.INI").permissions(), privateMode);
    for (const char* folder : {"config", "dotfiles"}) {
        int entries = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir / folder))
            ++entries;
        EXPECT_EQ(entries, 1) << folder;
    }
}

// Reading never waits on a pipe; a write goes into a pipe or a device that
// has the settings' name (a link to /dev/null keeps nothing), as if the
// file were empty, and leaves it a pipe or a link.
TEST_F(IniFileTest, PipeOrDeviceUnderTheSettingsNameIsWrittenInto)
{
    std::filesystem::create_directories(dir / "config");
    ASSERT_EQ(::mkfifo(iniPath().c_str(), 0600), 0);
    EXPECT_EQ(read("LoadImg"), "<default>");
    // Open at both ends here, the pipe keeps the write for us to read.
    const int pipe = ::open(iniPath().c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(pipe, 0);
    write("LoadImg", "/x/");
    std::string received(64, '\0');
    received.resize(static_cast<size_t>(std::max<ssize_t>(0, ::read(pipe, received.data(), received.size()))));
    ::close(pipe);
    EXPECT_EQ(received, "[TMForm]\r\nLoadImg=/x/\r\n");
    EXPECT_TRUE(std::filesystem::is_fifo(iniPath()));

    std::filesystem::remove(iniPath());
    const std::string null = characterDevice(dir, "null");
    std::filesystem::create_symlink(null, iniPath());
    write("LoadImg", "/x/");
    EXPECT_EQ(read("LoadImg"), "<default>");
    EXPECT_TRUE(std::filesystem::is_symlink(iniPath()));
    EXPECT_TRUE(std::filesystem::is_character_file(null));
}

}  // namespace
