// abmtool in pipes: "-" for standard input and output, /dev/stdin, and
// outputs written exactly as named.

#include "AbmtoolRunner.h"

using namespace abm;
using namespace abm::test;

namespace {

// Standard input as the runner gives it.
enum class In { none, file, pipe, terminal };

Launch feeding(In in, const fs::path& file)
{
    Launch how;
    if (in == In::file)
        how.in = file;
    else if (in == In::terminal)
        how.in = "/dev/ptmx";
    else if (in == In::pipe)
        how.as = {"sh", "-c", "cat '" + file.string() + "' | exec \"$0\" \"$@\""};
    return how;
}

}  // namespace

// What goes through standard input and output is what a file would hold.
TEST_F(AbmtoolTest, StandardInputAndOutputServeAsFilesDo)
{
    const std::string gif = (gifs / "animated-red-blue.gif").string();
    picture("one.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "-o", "ref.abm", gif}).status, 0);
    ASSERT_EQ(Run({"gif", "-o", "ref.gif", "ref.abm"}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "ref.bmp", "one.bmp"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "one.bmp", "ref.png"}).status, 0);
    struct Case {
        std::vector<std::string> args;
        In in;
        std::string fed;       // what standard input holds
        std::string expected;  // the file whose bytes come out, on standard output or in out.abm
    };
    const Case cases[] = {
        {{"abm", "-o", "-", "-"}, In::pipe, gif, "ref.abm"},
        {{"abm", "-o", "-", "-"}, In::file, gif, "ref.abm"},
        {{"abm", "-o", "out.abm", "/dev/stdin"}, In::pipe, gif, "ref.abm"},
        {{"abm", "-o", "out.abm", "/dev/stdin"}, In::file, gif, "ref.abm"},
        {{"gif", "-o", "-", "ref.abm"}, In::none, "", "ref.gif"},
        {{"gif", "-o", "-", "-"}, In::pipe, "ref.abm", "ref.gif"},
        {{"bmp", "-o", "-", "-"}, In::pipe, "one.bmp", "ref0.bmp"},
        {{"thumbnail", "-", "-"}, In::pipe, "one.bmp", "ref.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.args[0] << " " << c.args[2] << " " << c.args.back() << " " << int(c.in));
        fs::remove(dir / "out.abm");
        const Outcome o = Run(c.args, feeding(c.in, dir / c.fed));
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, "");
        const std::string got = fs::exists(dir / "out.abm") ? slurp(dir / "out.abm") : o.out;
        EXPECT_TRUE(got == slurp(dir / c.expected));
    }
    const Outcome info = Run({"info", "-"}, feeding(In::pipe, dir / "ref.abm"));
    EXPECT_EQ(info.out.rfind("standard input: FrameWidth=128 FrameHeight=97 ", 0), 0u) << info.out;
}

// Where a standard stream cannot serve, the run is refused before any work.
TEST_F(AbmtoolTest, StandardStreamsAreRefusedWhereTheyCannotServe)
{
    const std::string gif = (gifs / "animated-red-blue.gif").string();
    ASSERT_EQ(Run({"abm", "-o", "a.abm", gif}).status, 0);
    abm::test::writeFile(dir / "garbage", {'h', 'i'});
    std::vector<uint8_t> big(3 << 20, 0);
    abm::test::writeFile(dir / "big", big);
    const std::string help = "\nTry 'abmtool abm --help' for more information.\n";
    struct Case {
        std::vector<std::string> args;
        In in;
        std::string fed;
        bool terminalOut;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"abm", "-o", "-", gif},
         In::none,
         "",
         true,
         2,
         "abmtool: --output: '-': standard output is a terminal; redirect it or name a file" + help},
        {{"abm", "-o", "x.abm", "-"},
         In::terminal,
         "",
         false,
         2,
         "abmtool: '-': standard input is a terminal; pipe a picture into it or name a file" + help},
        {{"abm", "-o", "x.abm", "-", "-"},
         In::pipe,
         gif,
         false,
         2,
         "abmtool: '-': standard input can be read only once" + help},
        {{"abm", "-o", "x.abm", "-", "/dev/stdin"},
         In::pipe,
         gif,
         false,
         2,
         "abmtool: '-': standard input can be read only once" + help},
        {{"abm", "--each", "-o", "-", gif},
         In::none,
         "",
         false,
         2,
         "abmtool: --output: '-' names no folder; name the folder to write the ABM files in" + help},
        {{"abm", "--each", "-o", "d", "-"},
         In::pipe,
         gif,
         false,
         2,
         "abmtool: --each: standard input gives no name to call its ABM file after; name the files" + help},
        {{"bmp", "-o", "-", gif},
         In::none,
         "",
         false,
         1,
         "abmtool: standard output: takes one BMP file, the inputs gave 4 frames (name a file: the frames are "
         "numbered after it)\n"},
        {{"abm", "-o", "a.abm", "-"},
         In::file,
         "a.abm",
         false,
         1,
         "abmtool: a.abm: the output would overwrite an input\n"},
        {{"abm", "-o", "x.abm", "-"},
         In::pipe,
         "garbage",
         false,
         1,
         "abmtool: standard input: warning: skipped, not a picture (no BMP, JPEG, GIF or ABM content)\n"
         "abmtool: standard input: no frames to write (no input gave a picture)\n"},
        {{"--memory-limit", "1", "abm", "-o", "x.abm", "-"},
         In::pipe,
         "big",
         false,
         1,
         "abmtool: standard input: too large: needs 2 MiB, the memory limit is 1 MiB (raise --memory-limit)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.err);
        Launch how = feeding(c.in, dir / c.fed);
        if (c.terminalOut)
            how.out = "/dev/ptmx";
        const Outcome o = Run(c.args, how);
        EXPECT_EQ(o.status, c.status);
        EXPECT_EQ(o.err, c.err);
        EXPECT_FALSE(fs::exists(dir / "x.abm"));
        EXPECT_FALSE(fs::exists(dir / "d"));
    }
    EXPECT_EQ(readFile(dir / "a.abm")[6], 4);
}

// Every command writes the name it is given; an ABM file named otherwise
// is said, not renamed.
TEST_F(AbmtoolTest, OutputsAreWrittenExactlyAsNamed)
{
    const std::string gif = (gifs / "animated-red-blue.gif").string();
    ASSERT_EQ(Run({"abm", "-o", "ref.abm", gif}).status, 0);
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> written;
        std::string err;
    };
    const Case cases[] = {
        {{"abm", "-o", "note.txt", gif},
         {"note.txt"},
         "abmtool: note.txt: warning: the name does not end in .abm (written as named all the same)\n"},
        {{"abm", "-o", "plain", gif},
         {"plain"},
         "abmtool: plain: warning: the name does not end in .abm (written as named all the same)\n"},
        {{"abm", "-o", "SHOUT.ABM", gif}, {"SHOUT.ABM"}, ""},
        {{"gif", "-o", "g.png", gif}, {"g.png"}, ""},
        {{"bmp", "-o", "my.bmpfile.bmp", "ref.abm"},
         {"my.bmpfile0.bmp", "my.bmpfile1.bmp", "my.bmpfile2.bmp", "my.bmpfile3.bmp"},
         ""},
        {{"bmp", "-o", "v1.1.1", "ref.abm"}, {"v1.1.10.bmp", "v1.1.11.bmp", "v1.1.12.bmp", "v1.1.13.bmp"}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[2]);
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename() != "ref.abm")
                fs::remove(entry.path());
        const Outcome o = Run(c.args);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, c.err);
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(dir.path()))
            if (entry.path().filename() != "ref.abm")
                left.push_back(entry.path().filename().string());
        std::sort(left.begin(), left.end());
        EXPECT_EQ(left, c.written);
        if (c.args[0] == "abm") {
            EXPECT_EQ(readFile(dir / c.written[0]), readFile(dir / "ref.abm"));
        }
    }
    // Under --strict the warning fails the run before anything is read.
    const Outcome o = Run({"abm", "--strict", "-o", "note.txt", "missing.gif"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: note.txt: the name does not end in .abm (written as named all the same)\n");
}
