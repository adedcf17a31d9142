#include "desktop/FileAssociation.h"
#include "ScopedEnv.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace abm;
using abm::test::ScopedEnv;
using abm::test::TempDir;

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

std::string replaced(std::string text, const std::string& what, const std::string& with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
    return text;
}

struct Output {
    int status = -1;
    std::string out;
};

// Runs a desktop tool without a shell and collects what it prints.
Output runTool(const std::vector<std::string>& argv)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    ::posix_spawn_file_actions_init(&actions);
    ::posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    ::posix_spawn_file_actions_addclose(&actions, fds[0]);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    ::posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    Output result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, static_cast<size_t>(n));
    ::close(fds[0]);
    if (rc != 0) {
        ADD_FAILURE() << argv[0] << " is not installed";
        return result;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class FileAssociationTest : public ::testing::Test {
protected:
    FileAssociationTest()
    {
        env.set("XDG_DATA_HOME", data);
        env.set("XDG_CONFIG_HOME", config);
        // xdg-mime picks its method by the desktop session; the plain XDG one is under test.
        for (const char* name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID", "MATE_DESKTOP_SESSION_ID", "XDG_MENU_PREFIX"})
            env.unset(name);
    }
    // The options dialog's button: ".abm" as "abmfile" for the program.
    void click(const std::string& program) { associateFileType(".abm", "abmfile", "", "", program); }
    std::string mimePackage() const { return data + "/mime/packages/abmfile.xml"; }
    std::string desktopEntry() const { return data + "/applications/abmfile.desktop"; }
    std::string mimeAppsList() const { return config + "/mimeapps.list"; }

    // An executable that writes its arguments, one a line, to `argsFile`.
    std::string makeProgram(const std::string& folder)
    {
        std::filesystem::create_directories(folder);
        const std::string program = folder + "/abmmaker";
        put(program, "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + argsFile + "'\n");
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        return program;
    }

    TempDir dir;
    ScopedEnv env;
    const std::string data = dir / "data";
    const std::string config = dir / "config";
    const std::string argsFile = dir / "args.txt";
};

TEST_F(FileAssociationTest, ClickWritesTheTypeTheOpenActionAndTheDefault)
{
    click("/usr/bin/abmmaker");
    EXPECT_EQ(text(mimePackage()), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                   "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                                   "  <mime-type type=\"application/x-abmfile\">\n"
                                   "    <glob pattern=\"*.abm\"/>\n"
                                   "  </mime-type>\n"
                                   "</mime-info>\n");
    EXPECT_EQ(text(desktopEntry()), "[Desktop Entry]\n"
                                    "Type=Application\n"
                                    "Name=abmmaker\n"
                                    "Exec=/usr/bin/abmmaker %F\n"
                                    "MimeType=application/x-abmfile;\n"
                                    "NoDisplay=true\n"
                                    "Terminal=false\n");
    EXPECT_EQ(text(mimeAppsList()), "[Default Applications]\napplication/x-abmfile=abmfile.desktop;\n");
    EXPECT_NE(text(data + "/mime/globs2").find("application/x-abmfile:*.abm"), std::string::npos)
        << "the MIME cache was refreshed";
    EXPECT_NE(text(data + "/applications/mimeinfo.cache").find("application/x-abmfile=abmfile.desktop;"),
              std::string::npos)
        << "the desktop cache was refreshed";
}

TEST_F(FileAssociationTest, ClickingAgainWritesTheSame)
{
    click("/usr/bin/abmmaker");
    const std::string files[] = {mimePackage(), desktopEntry(), mimeAppsList()};
    std::vector<std::string> first;
    for (const std::string& f : files)
        first.push_back(text(f));
    click("/usr/bin/abmmaker");
    for (size_t i = 0; i < first.size(); ++i)
        EXPECT_EQ(text(files[i]), first[i]) << files[i];
}

TEST_F(FileAssociationTest, DesktopToolsFindTheTypeAndItsDefaultApplication)
{
    const std::string program = makeProgram(dir / "bin");
    click(program);
    put(dir / "x.abm", "not really an animation");
    const Output type = runTool({"xdg-mime", "query", "filetype", dir / "x.abm"});
    EXPECT_EQ(type.status, 0);
    EXPECT_EQ(type.out, "application/x-abmfile\n");
    const Output app = runTool({"xdg-mime", "query", "default", "application/x-abmfile"});
    EXPECT_EQ(app.status, 0);
    EXPECT_EQ(app.out, "abmfile.desktop\n");
    EXPECT_EQ(runTool({"desktop-file-validate", desktopEntry()}).status, 0);
}

// Opening a file from the desktop starts the program with the file's full
// path as its one argument, wherever the program lives.
TEST_F(FileAssociationTest, ProgramPathWithBlanksAndShellCharactersStillStartsTheProgram)
{
    struct Case {
        std::string folder;  // below the test folder
        std::string exec;    // the Exec value, {dir} for the test folder
    };
    const Case cases[] = {
        {"plain", "{dir}/plain/abmmaker %F"},
        {"my apps", "\"{dir}/my apps/abmmaker\" %F"},
        {"it's; rm -rf ~ #", "\"{dir}/it's; rm -rf ~ #/abmmaker\" %F"},
        {"$(touch pwned) & |x>y<z", "\"{dir}/\\\\$(touch pwned) & |x>y<z/abmmaker\" %F"},
        {"q\"uote`tick`", "\"{dir}/q\\\\\"uote\\\\`tick\\\\`/abmmaker\" %F"},
        {"back\\slash", "\"{dir}/back\\\\\\\\slash/abmmaker\" %F"},
        {"tab\there", "\"{dir}/tab\\there/abmmaker\" %F"},
        {"50%", "{dir}/50%%/abmmaker %F"},
        {"Картинки*?", "\"{dir}/Картинки*?/abmmaker\" %F"},
    };
    const std::string abm = dir / "my files/walk.abm";
    std::filesystem::create_directories(dir / "my files");
    put(abm, "ABM");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        const std::string program = makeProgram(dir / ("bin/" + c.folder));
        click(program);
        const std::string entry = text(desktopEntry());
        EXPECT_NE(entry.find("\nExec=" + replaced(c.exec, "{dir}", dir.path().string() + "/bin") + "\n"),
                  std::string::npos)
            << entry;
        EXPECT_EQ(runTool({"desktop-file-validate", desktopEntry()}).status, 0);

        std::filesystem::remove(argsFile);
        runTool({"mimeopen", "-n", abm});
        EXPECT_EQ(text(argsFile), abm + "\n") << "the program did not get the file";
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "pwned"));
    EXPECT_FALSE(std::filesystem::exists(dir / "bin/pwned"));
}

TEST_F(FileAssociationTest, MimeAppsListKeepsEveryOtherLine)
{
    struct Case {
        const char* what;
        std::string before;
        std::string after;
    };
    const std::string entry = "application/x-abmfile=abmfile.desktop;";
    // clang-format off
    const Case cases[] = {
        {"entry of another program is replaced in place, other groups untouched",
         "# mine\n[Added Associations]\ntext/plain=gedit.desktop;\napplication/x-abmfile=old.desktop;\n\n"
         "[Default Applications]\nimage/png=eog.desktop;\napplication/x-abmfile = old.desktop;\n"
         "text/html=firefox.desktop;\n\n[Removed Associations]\nimage/gif=gimp.desktop;\n",
         "# mine\n[Added Associations]\ntext/plain=gedit.desktop;\napplication/x-abmfile=old.desktop;\n\n"
         "[Default Applications]\nimage/png=eog.desktop;\n" + entry + "\n"
         "text/html=firefox.desktop;\n\n[Removed Associations]\nimage/gif=gimp.desktop;\n"},
        {"new entry goes at the end of the group",
         "[Default Applications]\nimage/png=eog.desktop;\n\n[Added Associations]\nimage/png=gimp.desktop;\n",
         "[Default Applications]\nimage/png=eog.desktop;\n" + entry + "\n\n[Added Associations]\nimage/png=gimp.desktop;\n"},
        {"missing group is added at the end",
         "[Added Associations]\nimage/png=gimp.desktop;\n",
         "[Added Associations]\nimage/png=gimp.desktop;\n\n[Default Applications]\n" + entry + "\n"},
        {"no newline at the end", "[Default Applications]\nimage/png=eog.desktop;",
         "[Default Applications]\nimage/png=eog.desktop;\n" + entry + "\n"},
        {"CR LF lines keep their CR", "[Default Applications]\r\nimage/png=eog.desktop;\r\n",
         "[Default Applications]\r\nimage/png=eog.desktop;\r\n" + entry + "\n"},
        {"similar type names are other types",
         "[Default Applications]\napplication/x-abmfile2=x.desktop;\n#application/x-abmfile=y.desktop;\n",
         "[Default Applications]\napplication/x-abmfile2=x.desktop;\n#application/x-abmfile=y.desktop;\n" + entry + "\n"},
        {"empty file", "", "[Default Applications]\n" + entry + "\n"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::create_directories(config);
        put(mimeAppsList(), c.before);
        const auto privateMode = std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;
        std::filesystem::permissions(mimeAppsList(), privateMode);
        click("/usr/bin/abmmaker");
        EXPECT_EQ(text(mimeAppsList()), c.after);
        EXPECT_EQ(std::filesystem::status(mimeAppsList()).permissions(), privateMode);
    }
}

TEST_F(FileAssociationTest, ExtensionAndTypeIdentifierAreNormalised)
{
    struct Case {
        const char* extension;
        const char* typeId;
        const char* file;  // the type's files, without suffix
        const char* mimeType;
    };
    const Case cases[] = {
        {".abm", "abmfile", "abmfile", "application/x-abmfile"},
        {"abm", "abmfile", "abmfile", "application/x-abmfile"},
        {"..a.b.m.", "abmfile", "abmfile", "application/x-abmfile"},
        {".abm", "", "abm_auto_file", "application/x-abm_auto_file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.extension) + " / " + c.typeId);
        associateFileType(c.extension, c.typeId, "", "", "/usr/bin/abmmaker");
        const std::string xml = text(data + "/mime/packages/" + c.file + ".xml");
        EXPECT_NE(xml.find(std::string("<mime-type type=\"") + c.mimeType + "\">"), std::string::npos) << xml;
        EXPECT_NE(xml.find("<glob pattern=\"*.abm\"/>"), std::string::npos) << xml;
        EXPECT_NE(text(data + "/applications/" + c.file + ".desktop").find(std::string("MimeType=") + c.mimeType + ";"),
                  std::string::npos);
        EXPECT_NE(text(mimeAppsList()).find(std::string(c.mimeType) + "=" + c.file + ".desktop;"), std::string::npos);
    }
}

TEST_F(FileAssociationTest, DescriptionAndIconGoIntoTheType)
{
    associateFileType(".abm", "abmfile", "Samsung <C100> & co", "abm-icon", "/usr/bin/abmmaker");
    const std::string xml = text(mimePackage());
    EXPECT_NE(xml.find("    <comment>Samsung &lt;C100&gt; &amp; co</comment>\n"
                       "    <icon name=\"abm-icon\"/>\n"
                       "    <glob pattern=\"*.abm\"/>\n"),
              std::string::npos)
        << xml;
    put(dir / "y.abm", "ABM");
    EXPECT_EQ(runTool({"xdg-mime", "query", "filetype", dir / "y.abm"}).out, "application/x-abmfile\n")
        << "the type with comment and icon is accepted by the MIME database";
}

TEST_F(FileAssociationTest, OnlyDotsOrNoProgramDoNothing)
{
    const std::pair<const char*, const char*> cases[] = {
        {"...", "/usr/bin/abmmaker"}, {"", "/usr/bin/abmmaker"}, {".abm", ""}};
    for (const auto& [extension, program] : cases) {
        associateFileType(extension, "abmfile", "", "", program);
        EXPECT_FALSE(std::filesystem::exists(data)) << extension << " " << program;
        EXPECT_FALSE(std::filesystem::exists(config)) << extension << " " << program;
    }
}

TEST_F(FileAssociationTest, MissingCacheToolsAreNoError)
{
    std::filesystem::create_directories(dir / "empty-path");
    env.set("PATH", dir / "empty-path");
    click("/usr/bin/abmmaker");
    EXPECT_TRUE(std::filesystem::exists(mimePackage()));
    EXPECT_TRUE(std::filesystem::exists(desktopEntry()));
    EXPECT_TRUE(std::filesystem::exists(mimeAppsList()));
    EXPECT_FALSE(std::filesystem::exists(data + "/mime/mime.cache"));
}

TEST_F(FileAssociationTest, FailuresNameWhatCouldNotBeWrittenAndKeepWhatWas)
{
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::function<std::string()> message;
        bool packageWritten, entryWritten;
    };
    const Case cases[] = {
        {"data folder below a regular file",
         [&] {
             put(dir / "plain", "x");
             env.set("XDG_DATA_HOME", dir / "plain/data");
         },
         [&] { return "Failed to create key " + (dir / "plain/data/mime/packages/abmfile.xml"); }, false, false},
        {"config folder below a regular file",
         [&] {
             put(dir / "plain", "x");
             env.set("XDG_CONFIG_HOME", dir / "plain/config");
         },
         [&] { return "Failed to create key " + (dir / "plain/config/mimeapps.list"); }, true, true},
        {"mimeapps.list is a folder", [&] { std::filesystem::create_directories(mimeAppsList()); },
         [&] { return "Failed to set data for '" + mimeAppsList() + "'"; }, true, true},
        {"desktop entry is a folder", [&] { std::filesystem::create_directories(desktopEntry()); },
         [&] { return "Failed to set data for '" + desktopEntry() + "'"; }, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(data);
        std::filesystem::remove_all(config);
        std::filesystem::remove(dir / "plain");
        env.set("XDG_DATA_HOME", data);
        env.set("XDG_CONFIG_HOME", config);
        c.prepare();
        try {
            click("/usr/bin/abmmaker");
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.what(), c.message());
        }
        EXPECT_EQ(std::filesystem::is_regular_file(mimePackage()), c.packageWritten);
        EXPECT_EQ(std::filesystem::is_regular_file(desktopEntry()), c.entryWritten);
    }
}

}  // namespace
