// abmtool's outputs: names that are no file, refused frames, escaped names,
// and saves that keep links, modes and existing files safe.

#include "AbmtoolRunner.h"

#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>

using namespace abm;
using namespace abm::test;

TEST_F(AbmtoolTest, OutputThatNamesNoFileIsAUsageError)
{
    const std::string pic = picture("p.bmp", 5, 5);
    fs::create_directory(dir / "sub");
    const char* const empty = "--output: the name is empty; name the file to write";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"abm", "-o", ""}, empty},
        {{"abm", "-o", "sub/"}, "--output: 'sub/' is a folder; name the file to write in it"},
        {{"abm", "-o", "sub"}, "--output: 'sub' is a folder; name the file to write in it"},
        {{"abm", "-o", "new/"}, "--output: 'new/' is a folder; name the file to write in it"},
        {{"bmp", "-o", ""}, empty},
    };
    for (auto [args, message] : cases) {
        args.push_back(pic);
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << args[2];
        EXPECT_EQ(o.err, "abmtool: " + message + "\nTry 'abmtool " + args[0] + " --help' for more information.\n");
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
    const std::string pic = picture("p.bmp", 20, 10), low = picture("low.bmp", 20, 6);
    const std::string zero = ": frame 1 is 0 × 97, without pixels (use a --size of at least 1x1)\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"abm", "-o", "out.abm", "empty.bmp"},
         "empty.bmp: warning: skipped, empty file (0 bytes)\n"
         "abmtool: empty.bmp: no frames to write (no input gave a picture)\n"},
        {{"abm", "-o", "out.abm", "--no-autosize", "--size", "0x97", pic}, pic + zero},
        {{"bmp", "-o", "out.bmp", "--size", "0x97", pic}, pic + zero},
        {{"gif", "-o", "out.gif", "--size", "0x97", pic}, pic + zero},
        {{"abm", "-o", "out.abm", "--keep-size", "--crop", pic, pic, low},
         low + ": frame 3 is 20 × 6, frame 1 is 20 × 10; the frames of an ABM file share one size "
               "(leave out --crop or --keep-size)\n"},
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
    // An escape sequence, a line break, Cyrillic, a byte that is not UTF-8, a
    // backslash, a right-to-left override and a left-to-right isolate.
    const std::string name = "a\x1b[2J\nб\xff\\\u202Egif\u2066.abm";
    const std::string shown = "a\\x1b[2J\\x0aб\\xff\\\\\\u202Egif\\u2066.abm";
    const std::string pic = picture("p.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "--keep-size", "-o", name, pic}).status, 0);
    abm::test::writeFile(dir / (name + ".bmp"), {'B', 'M', 1});

    Outcome o = Run({"info", name});
    EXPECT_EQ(o.out, shown + ": FrameWidth=20 FrameHeight=10 BitCount=16 FrameCount=1 "
                             "DataSize=400 Creator=\"Created by PLIX\" Accepted=yes\n");
    o = Run({"info", "--json", name});
    EXPECT_NE(o.out.find("\"file\": \"a\\u001b[2J\\u000aб\\udcff\\\\\\u202egif\\u2066.abm\",\n"), std::string::npos)
        << o.out;
    o = Run({"bmp", "-o", "f.bmp", pic, name + ".bmp"});
    EXPECT_EQ(o.err, "abmtool: " + shown + ".bmp: warning: skipped, damaged BMP (the decoder refused it)\n");
    o = Run({"info", name + ".missing"});
    EXPECT_EQ(o.err, "abmtool: " + shown + ".missing: cannot open (No such file or directory)\n");
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
    Launch limited;
    limited.fileSizeLimit = 4096;
    const Outcome o = Run({"abm", "-o", "keep.abm", pic}, limited);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: keep.abm: cannot write (File too large)\n");
    EXPECT_EQ(readFile(dir / "keep.abm"), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(tempFiles(), std::vector<std::string>());
}

TEST_F(AbmtoolTest, SignalDuringASaveRemovesItsTemporaryFileThenEndsTheProgram)
{
    const std::string pic = picture("p.bmp", 128, 97);
    abm::test::writeFile(dir / "keep.abm", {1, 2, 3});
    Launch stopping;
    stopping.env = {"ABM_STOP_DURING_SAVE=1"};
    for (const int signal : endingSignals()) {
        SCOPED_TRACE(strsignal(signal));
        // The save stops itself while its temporary file exists.
        const pid_t pid = spawn({"abm", "-o", "keep.abm", pic}, stopping);
        ASSERT_TRUE(programStopped(pid));
        EXPECT_EQ(tempFiles().size(), 1u);
        kill(pid, signal);
        kill(pid, SIGCONT);
        EXPECT_EQ(finish(pid).status, 128 + signal);
        EXPECT_EQ(tempFiles(), std::vector<std::string>());
        EXPECT_EQ(readFile(dir / "keep.abm"), (std::vector<uint8_t>{1, 2, 3}));
    }
}

// A FIFO or a character device receives the bytes, as with cp; a folder, a
// socket or a disk is refused; every one of them is still what it was. As
// root the devices are made here (the null and full devices, and a disk
// that does not exist), so that a save that replaced them never touches the
// system's own.
TEST_F(AbmtoolTest, OutputThatIsNoRegularFileIsWrittenIntoOrRefused)
{
    const std::string in = gifs / "animated-red-blue.gif";
    ASSERT_EQ(Run({"gif", "-o", "ref.gif", in}).status, 0);
    const std::vector<uint8_t> gif = readFile(dir / "ref.gif");
    const std::string null = characterDevice(dir, "null");
    const std::string full = characterDevice(dir, "full");
    ASSERT_EQ(::mkfifo((dir / "fifo.gif").c_str(), 0600), 0);
    fs::create_directory(dir / "folder");
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, (dir / "sock").c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string said;  // after "abmtool: OUT: "
        fs::file_type type;
    };
    std::vector<Case> cases = {
        {{"gif", "-o", "fifo.gif", in}, 0, "", fs::file_type::fifo},
        {{"gif", "-o", null, in}, 0, "", fs::file_type::character},
        {{"gif", "-o", "/dev/stdout", in}, 0, "", fs::file_type::regular},
        {{"gif", "-o", full, in}, 1, "cannot write (No space left on device)\n", fs::file_type::character},
        {{"thumbnail", in, "sock"}, 1, "cannot write (Is a socket)\n", fs::file_type::socket},
        {{"thumbnail", in, "folder"}, 1, "cannot write (Is a directory)\n", fs::file_type::directory},
    };
    if (::geteuid() == 0 && ::mknod((dir / "disk").c_str(), S_IFBLK | 0666, makedev(0, 0)) == 0)
        cases.push_back({{"thumbnail", in, "disk"}, 1, "cannot write (Is a block device)\n", fs::file_type::block});
    // Held open for reading and writing, the FIFO never makes its writer
    // wait, and keeps what it was given (less than its buffer) to be read after.
    const int fifo = ::open((dir / "fifo.gif").c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(fifo, 0);
    for (const Case& c : cases) {
        const std::string& out = c.args[2];
        SCOPED_TRACE(out);
        const Outcome o = Run(c.args);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.err, c.said.empty() ? "" : "abmtool: " + out + ": " + c.said);
        if (out == "fifo.gif") {
            std::vector<uint8_t> received(gif.size() + 1);
            received.resize(static_cast<size_t>(std::max<ssize_t>(0, ::read(fifo, received.data(), received.size()))));
            EXPECT_EQ(received, gif);
        }
        if (out == "/dev/stdout") {
            EXPECT_EQ(std::vector<uint8_t>(o.out.begin(), o.out.end()), gif);
        } else {
            EXPECT_EQ(fs::symlink_status(dir.path() / out).type(), c.type);
        }
    }
    ::close(sock);
    ::close(fifo);
    EXPECT_EQ(tempFiles(), std::vector<std::string>());
}

// An output that is one of the inputs, by any name, or whose folder is
// missing, is refused before any input is read: the damaged input would
// say so otherwise. The inputs stay as they were.
TEST_F(AbmtoolTest, OutputIsCheckedBeforeAnyInputIsRead)
{
    const std::string pic = picture("walk1.bmp", 20, 10);
    abm::test::writeFile(dir / "bad.bmp", {'B', 'M', 1});
    fs::copy_file(pic, dir / "x.abm");
    fs::create_symlink("walk1.bmp", dir / "link.bmp");
    fs::create_hard_link(pic, dir / "hard.gif");
    const std::string overwrites = ": the output would overwrite an input\n";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"gif", "-o", "walk1.bmp", "bad.bmp", "walk1.bmp"}, "walk1.bmp" + overwrites},
        {{"gif", "-o", "link.bmp", "bad.bmp", "walk1.bmp"}, "link.bmp" + overwrites},
        {{"gif", "-o", "hard.gif", "bad.bmp", "walk1.bmp"}, "hard.gif" + overwrites},
        {{"abm", "-o", "x.abm", "bad.bmp", "x.abm"}, "x.abm" + overwrites},
        {{"thumbnail", "walk1.bmp", "link.bmp"}, "link.bmp" + overwrites},
        // The second frame file is the second input; the first is not written either.
        {{"bmp", "-o", "walk.bmp", "walk1.bmp", "walk1.bmp"}, "walk1.bmp" + overwrites},
        {{"gif", "-o", "none/x.gif", "bad.bmp"}, "none/x.gif: cannot write (No such file or directory)\n"},
        {{"bmp", "-o", "none/x.bmp", "bad.bmp"}, "none/x0.bmp: cannot write (No such file or directory)\n"},
        {{"thumbnail", "bad.bmp", "none/t.png"}, "none/t.png: cannot write (No such file or directory)\n"},
    };
    for (const auto& [args, said] : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 1) << args[2];
        EXPECT_EQ(o.err, "abmtool: " + said);
        EXPECT_EQ(readFile(pic), readFile(dir / "x.abm")) << args[2];
        EXPECT_FALSE(fs::exists(dir / "walk0.bmp"));
    }
}

// A write to standard output that fails fails the run, naming it and why.
TEST_F(AbmtoolTest, StandardOutputThatCannotBeWrittenFailsTheRun)
{
    ASSERT_EQ(Run({"abm", "--keep-size", "-o", "a.abm", picture("p.bmp", 20, 10)}).status, 0);
    Launch full;
    full.out = "/dev/full";
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", "a.abm"}, {"info", "--json", "a.abm"}}) {
        EXPECT_EQ(Run(args).status, 0);
        const Outcome o = Run(args, full);
        EXPECT_EQ(o.status, 1) << args[1];
        EXPECT_EQ(o.err, "abmtool: standard output: cannot write (No space left on device)\n");
    }
}
