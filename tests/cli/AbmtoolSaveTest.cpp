// abmtool's outputs: names that are no file, refused frames, escaped names,
// and saves that keep links, modes and existing files safe.

#include "AbmtoolRunner.h"

using namespace abm;
using namespace abm::test;

TEST_F(AbmtoolTest, OutputThatNamesNoFileIsAUsageError)
{
    const std::string pic = picture("p.bmp", 5, 5);
    fs::create_directory(dir / "sub");
    const char* const empty = "--output: the name is empty; name the file to write\n";
    const char* const dash = "--output: writing to standard output is not supported; name the file to write\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"abm", "-o", ""}, empty},
        {{"abm", "-o", "-"}, dash},
        {{"abm", "-o", "sub/"}, "--output: 'sub/' is a folder; name the file to write in it\n"},
        {{"abm", "-o", "sub"}, "--output: 'sub' is a folder; name the file to write in it\n"},
        {{"abm", "-o", "new/"}, "--output: 'new/' is a folder; name the file to write in it\n"},
        {{"bmp", "-o", ""}, empty},
        {{"bmp", "-o", "-"}, dash},
    };
    for (auto [args, message] : cases) {
        args.push_back(pic);
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << args[2];
        EXPECT_EQ(o.err.substr(0, o.err.find("Run with")), message);
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
        left.push_back(fs::relative(entry.path(), dir.path()).string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"p.bmp", "sub"}));
}

TEST_F(AbmtoolTest, FramesWithoutPixelsOrTooManyAreRefusedAndNothingIsWritten)
{
    abm::test::writeFile(dir / "empty.bmp", {});
    const std::string pic = picture("p.bmp", 20, 10);
    const std::string zero = ": frame 1 is 0 × 97, without pixels (use a --size of at least 1x1)\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"abm", "-o", "out.abm", "empty.bmp"},
         "empty.bmp: warning: skipped, empty file (0 bytes)\n"
         "abmtool: empty.bmp: no frames to write (no input gave a picture)\n"},
        {{"abm", "-o", "out.abm", "--no-autosize", "--size", "0x97", pic}, pic + zero},
        {{"bmp", "-o", "out.bmp", "--size", "0x97", pic}, pic + zero},
        {{"gif", "-o", "out.gif", "--size", "0x97", pic}, pic + zero},
        {{"bmp", "-o", "out.bmp", "--size", "99999x99999", pic},
         "--size: frames of 99999 × 99999 are too large (over " + std::to_string(rasterPixelLimit()) +
             " pixels a frame; use a smaller --size)\n"},
    };
    for (const auto& [args, message] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 1) << args.back();
        EXPECT_EQ(o.err, "abmtool: " + message);
        EXPECT_FALSE(fs::exists(dir / "out.abm"));
        EXPECT_FALSE(fs::exists(dir / "out0.bmp"));
        EXPECT_FALSE(fs::exists(dir / "out.gif"));
    }
}

TEST_F(AbmtoolTest, NamesAreEscapedInTextAndIntactInJson)
{
    // An escape sequence, a line break, Cyrillic, a byte that is not UTF-8, a backslash.
    const std::string name = "a\x1b[2J\nб\xff\\.abm";
    const std::string pic = picture("p.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "--keep-size", "-o", name, pic}).status, 0);
    abm::test::writeFile(dir / (name + ".bmp"), {'B', 'M', 1});

    Outcome o = Run({"info", name});
    EXPECT_EQ(o.out, "a\\x1b[2J\\x0aб\\xff\\\\.abm: FrameWidth=20 FrameHeight=10 BitCount=16 FrameCount=1 "
                     "DataSize=400 Creator=\"Created by PLIX\" Accepted=yes\n");
    o = Run({"info", "--json", name});
    EXPECT_NE(o.out.find("\"file\": \"a\\u001b[2J\\u000aб\\udcff\\\\.abm\",\n"), std::string::npos) << o.out;
    o = Run({"bmp", "-o", "f.bmp", pic, name + ".bmp"});
    EXPECT_EQ(o.err, "abmtool: a\\x1b[2J\\x0aб\\xff\\\\.abm.bmp: warning: skipped, damaged BMP (the decoder refused "
                     "it)\n");
    o = Run({"info", name + ".missing"});
    EXPECT_EQ(o.err, "abmtool: a\\x1b[2J\\x0aб\\xff\\\\.abm.missing: cannot open (No such file or directory)\n");
}

TEST_F(AbmtoolTest, SaveFollowsLinksKeepsModesAndRefusesWhatAPlainOpenWould)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root: prepares other users' files and runs abmtool as nobody";
    const std::string pic = picture("p.bmp", 20, 10);
    fs::permissions(dir.path(), fs::perms::all);
    fs::create_directory(dir / "real");
    fs::permissions(dir / "real", fs::perms::all);
    const std::vector<uint8_t> old = {1, 2, 3};
    const auto prepare = [&](const char* name, mode_t mode, uid_t uid, gid_t gid) {
        abm::test::writeFile(dir / name, old);
        ASSERT_EQ(::chown((dir / name).c_str(), uid, gid), 0);
        ASSERT_EQ(::chmod((dir / name).c_str(), mode), 0);
    };
    struct Case {
        const char* what;
        std::function<void()> prepare;
        const char* out;
        const Launch& launch;
        const char* target;  // the file the save replaces or refuses
        bool refused;
        mode_t mode;  // the target's afterwards
        uid_t uid;
        gid_t gid;
    };
    const Launch asRoot{};
    const Case cases[] = {
        {"a new file follows the umask", [] {}, "new.abm", kAsNobody, "new.abm", false, 0640, 65534, 65534},
        {"mode 0600 kept", [&] { prepare("own.abm", 0600, 65534, 65534); }, "own.abm", kAsNobody, "own.abm", false,
         0600, 65534, 65534},
        {"mode 0640 and a group of the user's kept", [&] { prepare("group.abm", 0640, 65534, 100); }, "group.abm",
         kAsNobody, "group.abm", false, 0640, 65534, 100},
        {"a link stays, its target in another folder is replaced",
         [&] {
             prepare("real/r.abm", 0640, 65534, 100);
             fs::create_symlink("real/r.abm", dir / "link.abm");
         },
         "link.abm", kAsNobody, "real/r.abm", false, 0640, 65534, 100},
        {"a dangling link gets its target made", [&] { fs::create_symlink("real/made.abm", dir / "dangling.abm"); },
         "dangling.abm", kAsNobody, "real/made.abm", false, 0640, 65534, 65534},
        {"a write-protected file is refused", [&] { prepare("ro.abm", 0444, 65534, 65534); }, "ro.abm", kAsNobody,
         "ro.abm", true, 0444, 65534, 65534},
        {"another user's file is refused", [&] { prepare("roots.abm", 0644, 0, 0); }, "roots.abm", kAsNobody,
         "roots.abm", true, 0644, 0, 0},
        // A plain open succeeds for root, so root replaces, keeping owner, group and mode.
        {"root replaces a write-protected file of another user", [&] { prepare("theirs.abm", 0444, 65534, 100); },
         "theirs.abm", asRoot, "theirs.abm", false, 0444, 65534, 100},
    };
    const mode_t umask = ::umask(027);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.prepare();
        const Outcome o = Run({"abm", "--keep-size", "-o", c.out, pic}, c.launch);
        EXPECT_EQ(o.status, c.refused ? 1 : 0);
        EXPECT_EQ(o.err, c.refused ? std::string("abmtool: ") + c.out + ": cannot write (Permission denied)\n"
                                   : std::string());
        EXPECT_EQ(readFile(dir / c.target).size(), c.refused ? old.size() : 72u + 20 * 10 * 2);
        if (std::string(c.out) != c.target) {
            EXPECT_TRUE(fs::is_symlink(dir / c.out));
        }
        struct stat st {};
        ASSERT_EQ(::stat((dir / c.target).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, c.mode);
        EXPECT_EQ(st.st_uid, c.uid);
        EXPECT_EQ(st.st_gid, c.gid);
        EXPECT_EQ(tempFiles(), std::vector<std::string>());
    }
    ::umask(umask);
}

TEST_F(AbmtoolTest, SaveSplitsAHardLinkAndKeepsTheOtherName)
{
    const std::string pic = picture("p.bmp", 20, 10);
    abm::test::writeFile(dir / "a.abm", {1, 2, 3});
    fs::create_hard_link(dir / "a.abm", dir / "b.abm");
    ASSERT_EQ(Run({"abm", "--keep-size", "-o", "a.abm", pic}).status, 0);
    EXPECT_EQ(readFile(dir / "a.abm").size(), 72u + 20 * 10 * 2);
    EXPECT_EQ(readFile(dir / "b.abm"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(fs::hard_link_count(dir / "a.abm"), 1u);
}

TEST_F(AbmtoolTest, FileSizeLimitFailsTheSaveAndLeavesNoTemporaryFile)
{
    const std::string pic = picture("p.bmp", 128, 97);
    abm::test::writeFile(dir / "keep.abm", {1, 2, 3});
    const Outcome o = Run({"abm", "-o", "keep.abm", pic}, {{}, {}, 4096});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: keep.abm: cannot write (File too large)\n");
    EXPECT_EQ(readFile(dir / "keep.abm"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(tempFiles(), std::vector<std::string>());
}

TEST_F(AbmtoolTest, SignalDuringASaveRemovesItsTemporaryFileThenEndsTheProgram)
{
    const std::string pic = picture("p.bmp", 128, 97);
    abm::test::writeFile(dir / "keep.abm", {1, 2, 3});
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        // The save stops itself while its temporary file exists.
        const pid_t pid = spawn({"abm", "-o", "keep.abm", pic}, {{}, {"ABM_STOP_DURING_SAVE=1"}, RLIM_INFINITY});
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
        ASSERT_TRUE(WIFSTOPPED(status));
        EXPECT_EQ(tempFiles().size(), 1u);
        kill(pid, signal);
        kill(pid, SIGCONT);
        EXPECT_EQ(finish(pid).status, 128 + signal);
        EXPECT_EQ(tempFiles(), std::vector<std::string>());
        EXPECT_EQ(readFile(dir / "keep.abm"), (std::vector<uint8_t>{1, 2, 3}));
    }
}
