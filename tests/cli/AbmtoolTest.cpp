// abmtool run as a program on real files: exit status, output files, messages.

#include "cli/GifWriter.h"
#include "workspace/AbmFile.h"
#include "GifBuilder.h"
#include "TestSupport.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <png.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>

extern char** environ;

using namespace abm;
namespace fs = std::filesystem;
using abm::test::readFile;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// How abmtool is started, beyond its arguments.
struct Launch {
    std::vector<std::string> as;  // a program that runs it as another user
    std::vector<std::string> env;  // added NAME=value entries
    rlim_t fileSizeLimit = RLIM_INFINITY;
};

// abmtool as the user nobody (uid and gid 65534), also in group 100.
const Launch kAsNobody{{"setpriv", "--reuid=65534", "--regid=65534", "--groups=100"}, {}, RLIM_INFINITY};

class AbmtoolTest : public ::testing::Test {
protected:
    abm::test::TempDir dir;
    const fs::path gifs = abm::test::corpora() / "gif" / "wuffs";

    pid_t spawn(std::vector<std::string> args, const Launch& how = {})
    {
        args.insert(args.begin(), ABMTOOL_PATH);
        args.insert(args.begin(), how.as.begin(), how.as.end());
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> env = how.env;
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const std::string outFile = dir / ".stdout", errFile = dir / ".stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
        // The signals abmtool handles start at their default action, whatever
        // the test runner ignores (a background job ignores SIGINT).
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t defaults;
        sigemptyset(&defaults);
        for (const int s : {SIGINT, SIGTERM, SIGXFSZ})
            sigaddset(&defaults, s);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit limited = saved;
        limited.rlim_cur = how.fileSizeLimit;
        setrlimit(RLIMIT_FSIZE, &limited);
        pid_t pid = -1;
        if (posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), envp.data()) != 0)
            pid = -1;
        setrlimit(RLIMIT_FSIZE, &saved);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }

    Outcome finish(pid_t pid)
    {
        Outcome o;
        int status = 0;
        if (pid > 0 && waitpid(pid, &status, 0) == pid)
            o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        const std::string outFile = dir / ".stdout", errFile = dir / ".stderr";
        o.out = slurp(outFile);
        o.err = slurp(errFile);
        fs::remove(outFile);
        fs::remove(errFile);
        return o;
    }

    Outcome Run(std::vector<std::string> args, const Launch& how = {}) { return finish(spawn(std::move(args), how)); }

    // Temporary files of saves, anywhere below the test folder.
    std::vector<std::string> tempFiles() const
    {
        std::vector<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(dir.path()))
            if (entry.path().filename().string().rfind(".abm-", 0) == 0)
                found.push_back(entry.path().string());
        return found;
    }

    std::string picture(const std::string& name, int w, int h, uint32_t rgb = 0x336699)
    {
        Raster b = abm::test::makeRaster(w, h, pf24bit, [rgb](int x, int y) { return rgb ^ static_cast<uint32_t>(x * 3 + y * 5); });
        b.saveToFile(dir / name);
        return dir / name;
    }

    Raster loadBmp(const std::string& name)
    {
        Raster b;
        b.loadFromFile(dir / name);
        return b;
    }

    static bool samePixels(const Raster& a, const Raster& b)
    {
        if (a.width() != b.width() || a.height() != b.height())
            return false;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y))
                    return false;
        return true;
    }
};

}  // namespace

TEST_F(AbmtoolTest, AnimatedGifToAbmAndBackGivesTheFirstFourFrames)
{
    const std::string gif = (gifs / "muybridge.gif").string();
    ASSERT_EQ(Run({"abm", "-o", "anim.abm", gif}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "from-abm.bmp", "anim.abm"}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "from-gif.bmp", gif}).status, 0);
    EXPECT_FALSE(fs::exists(dir / "from-abm4.bmp"));
    EXPECT_TRUE(fs::exists(dir / "from-gif4.bmp"));  // the GIF has more than four images
    for (int i = 0; i < 4; ++i) {
        const std::string n = std::to_string(i);
        EXPECT_TRUE(samePixels(loadBmp("from-abm" + n + ".bmp"), loadBmp("from-gif" + n + ".bmp"))) << "frame " << i;
    }
    EXPECT_FALSE(samePixels(loadBmp("from-gif0.bmp"), loadBmp("from-gif1.bmp")));
}

// The older flags keep their meaning; the newer ones need no other flag.
TEST_F(AbmtoolTest, SizeOptionsCropOrStretch)
{
    const std::string pic = picture("p.bmp", 100, 80);
    const Raster original = loadBmp("p.bmp");
    auto reduced = [](Color c) { return toRgb565(redOf(c), greenOf(c), blueOf(c)); };
    const uint16_t cropped = reduced(original.pixel(31, 31));
    const uint16_t stretched = reduced(original.pixel(31 * 100 / 32, 31 * 80 / 32));
    struct Case {
        std::vector<std::string> flags;
        int width, height;
        uint16_t at31;  // the frame's pixel (31, 31)
    };
    const Case cases[] = {
        {{"--size", "32x32", "--no-autosize"}, 32, 32, cropped},
        {{"--size", "32x32", "--no-autosize", "--stretch"}, 32, 32, stretched},
        {{"--size", "32x32"}, 32, 32, stretched},
        {{"--size", "32x32", "--crop"}, 32, 32, cropped},
        {{"--keep-size"}, 100, 80, cropped},
        {{"--stretch"}, 100, 80, cropped},
        {{}, 128, 97, reduced(original.pixel(31 * 100 / 128, 31 * 80 / 97))},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"bmp", "-o", "f.bmp", pic};
        args.insert(args.end(), c.flags.begin(), c.flags.end());
        ASSERT_EQ(Run(args).status, 0);
        const Raster frame = loadBmp("f0.bmp");
        EXPECT_EQ(frame.width(), c.width) << ::testing::PrintToString(c.flags);
        EXPECT_EQ(frame.height(), c.height) << ::testing::PrintToString(c.flags);
        EXPECT_EQ(reduced(frame.pixel(31, 31)), c.at31) << ::testing::PrintToString(c.flags);
    }
}

TEST_F(AbmtoolTest, OversizedFrameFailsTheAbmSaveWithTheWarning)
{
    const std::string pic = picture("wide.bmp", 129, 97);
    const Outcome o = Run({"abm", "-o", "out.abm", "--size", "129x97", pic});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: " + pic + ": frame 1 is 129 × 97, larger than 128 × 97; use --size or the default stretching\n");
    EXPECT_FALSE(fs::exists(dir / "out.abm"));
    EXPECT_EQ(Run({"abm", "-o", "out.abm", pic}).status, 0);
    EXPECT_EQ(readFile(dir / "out.abm").size(), 72u + 128 * 97 * 2);
}

TEST_F(AbmtoolTest, MissingInputFailsWithTheErrorText)
{
    const std::string pic = picture("ok.bmp", 10, 10);
    for (const char* missing : {"nope.gif", "nope.bmp", "nope.jpg"}) {
        const Outcome o = Run({"abm", "-o", "out.abm", pic, missing});
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, std::string("abmtool: ") + missing + ": cannot open (No such file or directory)\n");
        EXPECT_FALSE(fs::exists(dir / "out.abm"));
    }
}

TEST_F(AbmtoolTest, InvalidPictureAmongValidOnesWarnsAndStillWrites)
{
    const std::string a = picture("a.bmp", 10, 10), b = picture("b.bmp", 10, 10, 0xFF0000);
    abm::test::writeFile(dir / "broken.bmp", {'B', 'M', 1, 2, 3});
    abm::test::writeFile(dir / "broken.jpg", {'n', 'o', 't'});
    const Outcome o = Run({"bmp", "-o", "f.bmp", a, "broken.bmp", "broken.jpg", b});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("broken.bmp"), std::string::npos);
    EXPECT_NE(o.err.find("broken.jpg"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "f1.bmp"));
    EXPECT_FALSE(fs::exists(dir / "f2.bmp"));

    const Outcome strict = Run({"abm", "--strict", "-o", "s.abm", a, "broken.bmp"});
    EXPECT_EQ(strict.status, 1);
    EXPECT_FALSE(fs::exists(dir / "s.abm"));
}

TEST_F(AbmtoolTest, FailedRunLeavesAnExistingOutputAlone)
{
    abm::test::writeFile(dir / "keep.abm", {1, 2, 3});
    abm::test::writeFile(dir / "bad.gif", {'G', 'I', 'F', '8', '9', 'a', 1});
    EXPECT_EQ(Run({"abm", "-o", "keep.abm", "bad.gif"}).status, 1);
    EXPECT_EQ(readFile(dir / "keep.abm"), (std::vector<uint8_t>{1, 2, 3}));
    const std::string pic = picture("p.bmp", 10, 10);
    const Outcome o = Run({"abm", "-o", "no-such-folder/x.abm", pic});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: no-such-folder/x.abm: cannot write (No such file or directory)\n");
}

TEST_F(AbmtoolTest, InfoReportsHeadersAndTheReadersVerdict)
{
    const std::string pic = picture("p.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "--keep-size", "-o", "good.abm", pic, pic}).status, 0);
    std::vector<uint8_t> bad = readFile(dir / "good.abm");
    bad[4] = 24;
    abm::test::writeFile(dir / "bits24.abm", bad);
    bad = readFile(dir / "good.abm");
    bad.pop_back();
    abm::test::writeFile(dir / "short.abm", bad);
    bad = readFile(dir / "good.abm");
    bad[0] = 0;
    bad[6] = 1;
    bad[12] = bad[13] = bad[14] = bad[15] = 0;
    bad.resize(72);
    abm::test::writeFile(dir / "zerowidth.abm", bad);

    Outcome o = Run({"info", "good.abm"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "good.abm: FrameWidth=20 FrameHeight=10 BitCount=16 FrameCount=2 DataSize=800 "
                     "Creator=\"Created by PLIX\" Accepted=yes\n");
    o = Run({"info", "bits24.abm", "short.abm", "zerowidth.abm"});
    EXPECT_EQ(o.status, 1);
    std::istringstream lines(o.out);
    std::string line;
    std::getline(lines, line);
    EXPECT_NE(line.find("BitCount=24"), std::string::npos);
    EXPECT_NE(line.find("Accepted=no (not an ABM animation (its header does not match its size))"), std::string::npos) << line;
    std::getline(lines, line);
    EXPECT_NE(line.find("Accepted=no (not an ABM animation (its header does not match its size))"), std::string::npos) << line;
    std::getline(lines, line);
    EXPECT_NE(line.find("Accepted=no (cannot read the ABM animation"), std::string::npos) << line;

    o = Run({"info", "--json", "good.abm", "bits24.abm"});
    EXPECT_EQ(nlohmann::json::parse(o.out), nlohmann::json::parse(R"json([
        {"file": "good.abm", "FrameWidth": 20, "FrameHeight": 10, "BitCount": 16, "FrameCount": 2,
         "DataSize": 800, "Creator": "Created by PLIX", "Accepted": true},
        {"file": "bits24.abm", "FrameWidth": 20, "FrameHeight": 10, "BitCount": 24, "FrameCount": 2,
         "DataSize": 800, "Creator": "Created by PLIX", "Accepted": false,
         "Message": "not an ABM animation (its header does not match its size)"}])json"));
    EXPECT_EQ(Run({"info", "--json", "missing.abm"}).out, "[]\n");

    o = Run({"info", "missing.abm"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: missing.abm: cannot open (No such file or directory)\n");
}

TEST_F(AbmtoolTest, ThumbnailIsAPngThatFitsTheSize)
{
    const std::string big = picture("big.bmp", 300, 120);
    const std::string small = picture("small.bmp", 20, 40);
    struct Case {
        std::string input;
        std::string size;
        int w, h;
    };
    const Case cases[] = {
        {big, "128", 128, 51}, {big, "64", 64, 25}, {small, "128", 64, 128}, {small, "10", 5, 10},
        {(gifs / "animated-red-blue.gif").string(), "32", 32, 24},
    };
    for (const Case& c : cases) {
        const Outcome o = Run({"thumbnail", "-s", c.size, c.input, "t.png"});
        ASSERT_EQ(o.status, 0) << o.err;
        const auto png = abm::test::readPng(dir.path() / "t.png");
        EXPECT_EQ(png.width, c.w) << c.input << " " << c.size;
        EXPECT_EQ(png.height, c.h) << c.input << " " << c.size;
    }
    const Outcome o = Run({"thumbnail", big, "with blank and \"quote.png"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(abm::test::readPng(dir.path() / "with blank and \"quote.png").width, 128);
}

TEST_F(AbmtoolTest, UsageErrorsExitTwo)
{
    const std::string pic = picture("p.bmp", 5, 5);
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"abm", pic},
        {"abm", "-o", "x.abm"},
        {"abm", "-o", "x.abm", "--size", "12", pic},
        {"bmp", "-o", "x.bmp", "--bogus", pic},
        {"thumbnail", "-s", "0", pic, "t.png"},
        {"thumbnail", pic},
        {"abm", "-o", "x.abm", "--keep-size", "--size", "64x48", pic},
        {"abm", "-o", "x.abm", "--crop", "--stretch", pic},
        {"gif", "-o", "x.gif", "--delay", "0", pic},
        {"-q", "-v", "abm", "-o", "x.abm", pic},
        {"frobnicate"},
    };
    for (const auto& args : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_FALSE(o.err.empty());
    }
}

TEST_F(AbmtoolTest, HelpListsEveryOptionWithItsDefault)
{
    Outcome o = Run({"--version"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "abmtool 1.0.0\n");
    o = Run({"bmp", "--help"});
    EXPECT_EQ(o.status, 0);
    for (const char* text : {"--size", "128x97", "--keep-size", "--crop", "--no-autosize", "--stretch", "--transparent-gif", "--strict", "-o"})
        EXPECT_NE(o.out.find(text), std::string::npos) << text;
    o = Run({"thumbnail", "--help"});
    EXPECT_NE(o.out.find("=128"), std::string::npos) << o.out;
}

TEST_F(AbmtoolTest, AbmStopsAtFourFramesAndSaysHowManyInputsWereLeftOut)
{
    std::vector<std::string> six;
    for (uint32_t i = 0; i < 6; ++i)
        six.push_back(picture("p" + std::to_string(i) + ".bmp", 20, 10, 0x102030 * (i + 1)));
    std::vector<std::string> args = {"abm", "-o", "four.abm"};
    args.insert(args.end(), six.begin(), six.begin() + 4);
    ASSERT_EQ(Run(args).status, 0);
    args = {"abm", "-o", "six.abm"};
    args.insert(args.end(), six.begin(), six.end());
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "abmtool: warning: 2 inputs after the fourth frame left out (an ABM file holds four; use bmp "
                     "for all)\n");
    EXPECT_EQ(readFile(dir / "six.abm"), readFile(dir / "four.abm"));
}

TEST_F(AbmtoolTest, MemoryLimitRefusesAPictureNamingItAndTheSizes)
{
    picture("big.bmp", 600, 400);
    abm::test::ScopedEnv env;
    const std::vector<std::vector<std::string>> runs = {
        {"--memory-limit", "1", "abm", "-o", "x.abm", "big.bmp"},
        {"bmp", "--memory-limit", "1", "-o", "x.bmp", "big.bmp"},
        {"--memory-limit", "1", "thumbnail", "big.bmp", "t.png"},
        {"ABM_MEMORY_LIMIT_MB=1", "abm", "-o", "x.abm", "big.bmp"},
    };
    for (std::vector<std::string> args : runs) {
        if (args[0].rfind("ABM_", 0) == 0) {
            env.set("ABM_MEMORY_LIMIT_MB", "1");
            args.erase(args.begin());
        }
        const Outcome o = Run(args);
        env.unset("ABM_MEMORY_LIMIT_MB");
        EXPECT_EQ(o.status, 1) << args[0];
        EXPECT_EQ(o.err.rfind("abmtool: big.bmp: not enough memory (needs ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find(" MiB, limit 1 MiB; raise --memory-limit)\n"), std::string::npos) << o.err;
        EXPECT_FALSE(fs::exists(dir / "x.abm"));
    }
    EXPECT_EQ(Run({"--memory-limit", "2", "abm", "-o", "x.abm", "big.bmp"}).err.find("not enough"), std::string::npos);
}

TEST_F(AbmtoolTest, FifoInputFailsAtOnce)
{
    ASSERT_EQ(::mkfifo((dir / "x.gif").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((dir / "x.abm").c_str(), 0600), 0);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"abm", "-o", "out.abm", "x.gif"}, {"thumbnail", "x.gif", "t.png"}, {"info", "x.abm"}}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 1) << args[0];
        EXPECT_EQ(o.err, "abmtool: " + args[args.size() - (args[0] == "thumbnail" ? 2 : 1)] +
                             ": cannot open (Not a regular file)\n");
    }
}

// info and thumbnail read an ABM file's header and the rows they sample, not
// its pixels: a sparse file of 1 GiB is as quick as a small one. The
// thumbnail is the one the frame gives as a picture.
TEST_F(AbmtoolTest, InfoAndThumbnailOfAnAbmReadOnlyWhatTheyNeed)
{
    const auto header = [](uint16_t width, uint16_t height, uint8_t count) {
        AbmHeader h;
        h.frameWidth = width;
        h.frameHeight = height;
        h.bitCount = 16;
        h.frameCount = count;
        h.dataSize = width * height * 2 * count;
        const auto bytes = h.encode();
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };
    std::vector<uint8_t> file = header(700, 500, 1);
    for (int i = 0; i < 700 * 500 * 2; ++i)
        file.push_back(static_cast<uint8_t>(i * 7 + i / 1400));
    abm::test::writeFile(dir / "frame.abm", file);
    ASSERT_EQ(Run({"bmp", "--keep-size", "-o", "frame.bmp", "frame.abm"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame.abm", "a.png"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame0.bmp", "b.png"}).status, 0);
    const auto a = abm::test::readPng(dir.path() / "a.png"), b = abm::test::readPng(dir.path() / "b.png");
    EXPECT_EQ(a.width, 128);
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.rgba == b.rgba);

    abm::test::writeFile(dir / "sparse.abm", header(16384, 16384, 2));
    fs::resize_file(dir / "sparse.abm", (uintmax_t{1} << 30) + 72);
    const Outcome info = Run({"info", "sparse.abm"});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("FrameCount=2 DataSize=1073741824 Creator=\"\" Accepted=yes"), std::string::npos) << info.out;
    EXPECT_EQ(Run({"thumbnail", "sparse.abm", "s.png"}).status, 0);
    EXPECT_EQ(abm::test::readPng(dir.path() / "s.png").width, 128);
}

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
        {{"abm", "-o", "out.abm", "empty.bmp"}, "empty.bmp: warning: skipped, empty file (0 bytes)\n"
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

namespace {

// The pixel (x, y) of a 16-bit frame as its 5-6-5 value.
uint16_t value565(const Raster& frame, int x, int y)
{
    const uint8_t* row = frame.scanLine(y);
    return static_cast<uint16_t>(row[2 * x] | row[2 * x + 1] << 8);
}

// A 320 × 240 GIF of five full-screen images, each a band of another colour.
std::vector<uint8_t> bandedGif()
{
    abm::test::GifFile gif;
    gif.screenWidth = 320;
    gif.screenHeight = 240;
    gif.globalTable = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    for (int i = 0; i < 5; ++i) {
        abm::test::GifFileImage image;
        image.width = 320;
        image.height = 240;
        for (int p = 0; p < 320 * 240; ++p)
            image.indexes.push_back(static_cast<uint8_t>((p / 320 / 48 + i) % 4));
        gif.images.push_back(image);
    }
    return gif.bytes();
}

}  // namespace

TEST_F(AbmtoolTest, DefaultsMakeAPhoneFileAndSizeAloneChangesIt)
{
    abm::test::writeFile(dir / "big.gif", bandedGif());
    const std::vector<std::tuple<std::vector<std::string>, int, int>> cases = {
        {{}, 128, 97}, {{"--size", "64x48"}, 64, 48}, {{"--crop"}, 128, 97}};
    for (const auto& [flags, width, height] : cases) {
        std::vector<std::string> args = {"abm", "-o", "out.abm", "big.gif"};
        args.insert(args.end(), flags.begin(), flags.end());
        const Outcome o = Run(args);
        ASSERT_EQ(o.status, 0) << o.err;
        EXPECT_EQ(o.err, "");
        const std::vector<uint8_t> file = readFile(dir / "out.abm");
        const AbmHeaderCheck check = checkAbmHeader(file.data(), file.size(), static_cast<int64_t>(file.size()));
        EXPECT_EQ(check.verdict, AbmVerdict::Accepted);
        EXPECT_EQ(check.header.frameWidth, width);
        EXPECT_EQ(check.header.frameHeight, height);
        EXPECT_EQ(check.header.frameCount, 4);
    }
}

// Every input is imported by its content or named in a line that says why
// not; --strict fails the run on such a line.
TEST_F(AbmtoolTest, InputsAreKnownByTheirContentAndNoneVanishes)
{
    const fs::path jpeg = abm::test::corpora() / "jpeg" / "libjpeg-turbo" / "testorig.jpg";
    const fs::path png = abm::test::corpora() / "jpeg" / "libjpeg-turbo" / "testorig.png";
    const fs::path gif = gifs / "animated-red-blue.gif";
    const fs::path truncated = gifs / "hippopotamus.interlaced.truncated.gif";
    picture("p.bmp", 20, 10);
    const std::vector<uint8_t> bmp = readFile(dir / "p.bmp");
    abm::test::writeFile(dir / "cut.bmp", std::vector<uint8_t>(bmp.begin(), bmp.begin() + 200));
    abm::test::writeFile(dir / "notes.bmp", {'h', 'e', 'l', 'l', 'o'});
    const std::vector<uint8_t> whole = readFile(jpeg);
    abm::test::writeFile(dir / "cut.jpg", std::vector<uint8_t>(whole.begin(), whole.begin() + 3000));
    struct Case {
        std::string name;
        fs::path from;  // empty: the file is already there
        int status;     // without --strict
        std::string said;  // after "abmtool: NAME: "; empty when it imports
    };
    const Case cases[] = {
        {"photo.jpeg", jpeg, 0, ""},
        {"PHOTO.JPG", jpeg, 0, ""},
        {"photo.jfif", jpeg, 0, ""},
        {"jpeg-without-extension", jpeg, 0, ""},
        {"gif-without-extension", gif, 0, ""},
        {"picture.png", png, 0, "warning: skipped, PNG is not supported (convert it to BMP, JPEG or GIF)\n"},
        {"notes.bmp", {}, 0, "warning: skipped, not a picture (no BMP, JPEG, GIF or ABM content)\n"},
        {"cut.bmp", {}, 0, "warning: cut short (the BMP data ends early; imported what there is)\n"},
        {"cut.gif", truncated, 0, "warning: cut short (the GIF data ends early; imported what there is)\n"},
        {"cut.jpg", {}, 0, "warning: cut short (the JPEG data ends early; imported what there is)\n"},
    };
    for (const Case& c : cases) {
        if (!c.from.empty())
            fs::copy_file(c.from, dir / c.name, fs::copy_options::overwrite_existing);
        Outcome o = Run({"abm", "-o", "out.abm", "p.bmp", c.name});
        EXPECT_EQ(o.status, c.status) << c.name;
        EXPECT_EQ(o.err, c.said.empty() ? "" : "abmtool: " + c.name + ": " + c.said) << c.name;
        if (c.status == 0) {
            EXPECT_EQ(readFile(dir / "out.abm")[6] > 1, c.said.find("skipped") == std::string::npos) << c.name;
        }
        o = Run({"abm", "--strict", "-o", "strict.abm", "p.bmp", c.name});
        EXPECT_EQ(o.status, c.said.empty() ? 0 : 1) << c.name;
        fs::remove(dir / "strict.abm");
    }
}

TEST_F(AbmtoolTest, GifOutputIsOurFramesReadBackByImageMagick)
{
    // 36 colours: written exactly. The photo has thousands: quantised.
    Raster few = abm::test::makeRaster(90, 60, pf24bit, [](int x, int y) { return uint32_t((x / 15) * 0x2A0000 + (y / 10) * 0x2A00); });
    few.saveToFile(dir / "few.bmp");
    fs::copy_file(abm::test::corpora() / "jpeg" / "libjpeg-turbo" / "testorig.jpg", dir / "photo.jpg");
    struct Case {
        std::vector<std::string> inputs;
        std::vector<std::string> flags;
        int frames;
        std::string delays;
        double allowed;  // mean difference per channel
    };
    const Case cases[] = {
        {{"few.bmp", "few.bmp"}, {}, 2, "70,70,", 0},
        {{"photo.jpg"}, {"--delay", "250"}, 1, "25,", 4},
        {{(gifs / "muybridge.gif").string()}, {}, 4, "70,70,70,70,", 0},
        {{(gifs / "muybridge.gif").string()}, {"--all", "--keep-size"}, 15, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.inputs[0] + " " + ::testing::PrintToString(c.flags));
        for (const auto& e : fs::directory_iterator(dir.path()))
            if (e.path().filename().string().rfind("shown", 0) == 0)
                fs::remove(e.path());
        std::vector<std::string> gif = {"gif", "-o", "out.gif"}, bmp = {"bmp", "-o", "shown.bmp"};
        gif.insert(gif.end(), c.flags.begin(), c.flags.end());
        // The frames the GIF shows, as BMP files: the same import without the GIF's own flags.
        for (const std::string& flag : c.flags)
            if (flag == "--keep-size")
                bmp.push_back(flag);
        for (auto* args : {&gif, &bmp})
            args->insert(args->end(), c.inputs.begin(), c.inputs.end());
        for (const auto& args : {gif, bmp}) {
            const Outcome o = Run(args);
            ASSERT_EQ(o.status, 0) << o.err;
        }
        const std::string at = "cd '" + dir.path().string() + "' && ";
        ASSERT_EQ(std::system((at + "convert out.gif -coalesce shown-%d.png").c_str()), 0);
        ASSERT_EQ(std::system((at + "identify -format '%T,' out.gif > delays.txt").c_str()), 0);
        if (!c.delays.empty()) {
            EXPECT_EQ(slurp(dir / "delays.txt"), c.delays);
        }
        const std::vector<uint8_t> bytes = readFile(dir / "out.gif");
        const std::string loop = "NETSCAPE2.0\x03\x01" + std::string(2, '\0');
        EXPECT_NE(std::string(bytes.begin(), bytes.end()).find(loop), std::string::npos);
        int frames = 0;
        for (; fs::exists(dir / ("shown-" + std::to_string(frames) + ".png")); ++frames) {
            const auto png = abm::test::readPng(dir / ("shown-" + std::to_string(frames) + ".png"));
            const Raster frame = loadBmp("shown" + std::to_string(frames) + ".bmp");
            ASSERT_EQ(png.width, frame.width());
            ASSERT_EQ(png.height, frame.height());
            double difference = 0;
            for (int y = 0; y < frame.height(); ++y) {
                for (int x = 0; x < frame.width(); ++x) {
                    const Rgb8 want = widen565(value565(frame, x, y));
                    const uint32_t got = png.at(x, y);
                    for (int ch = 0; ch < 3; ++ch)
                        difference += std::abs(int(want[size_t(ch)]) - int((got >> (16 - 8 * ch)) & 0xFF));
                }
            }
            EXPECT_LE(difference / (3.0 * frame.width() * frame.height()), c.allowed) << "frame " << frames;
        }
        EXPECT_EQ(frames, c.frames);
    }
}

TEST_F(AbmtoolTest, EachWritesOneAbmPerInputAndGoesOnPastFailures)
{
    const std::string pic = picture("p.bmp", 30, 20);
    abm::test::writeFile(dir / "broken1.gif", {'G', 'I', 'F', '8', '9', 'a', 1});
    abm::test::writeFile(dir / "broken2.jpg", {'n', 'o'});
    std::vector<std::string> args = {"abm", "--each", "-o", "out"};
    for (int i = 0; i < 20; ++i) {
        const std::string name = i == 7 ? "broken1.gif" : i == 13 ? "broken2.jpg" : "in" + std::to_string(i) + ".bmp";
        if (name[0] == 'i')
            fs::copy_file(pic, dir / name);
        args.push_back(name);
    }
    for (const char* quiet : {"", "-q"}) {
        std::vector<std::string> run = args;
        if (*quiet)
            run.insert(run.begin(), quiet);
        fs::remove_all(dir / "out");
        const Outcome o = Run(run);
        EXPECT_EQ(o.status, 1);
        int written = 0;
        for (const auto& entry : fs::directory_iterator(dir / "out"))
            written += entry.path().extension() == ".abm" && fs::file_size(entry.path()) == 72u + 128 * 97 * 2;
        EXPECT_EQ(written, 18);
        std::istringstream lines(o.err);
        std::vector<std::string> said;
        for (std::string line; std::getline(lines, line);)
            said.push_back(line);
        ASSERT_FALSE(said.empty());
        EXPECT_EQ(said.back(), "abmtool: 18 written, 2 failed");
        std::sort(said.begin(), said.end() - 1);
        std::vector<std::string> failures = {"abmtool: broken1.gif: cut short (the GIF data ends early)",
                                             "abmtool: broken2.jpg: no frames to write (no input gave a picture)"};
        if (!*quiet)
            failures.push_back("abmtool: broken2.jpg: warning: skipped, not a picture (no BMP, JPEG, GIF or ABM content)");
        EXPECT_EQ(std::vector<std::string>(said.begin(), said.end() - 1), failures) << quiet;
    }
    EXPECT_EQ(Run({"-q", "abm", "--each", "-o", "out", "in0.bmp"}).err, "");
}

TEST_F(AbmtoolTest, QuietPrintsErrorsOnlyAndVerboseALinePerInput)
{
    picture("p.bmp", 20, 10);
    abm::test::writeFile(dir / "x.png", {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'});
    abm::test::writeFile(dir / "big.gif", bandedGif());
    const std::string skipped = "abmtool: x.png: warning: skipped, PNG is not supported (convert it to BMP, JPEG or GIF)\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"-q", ""},
        {"", skipped},
        {"-v", skipped + "abmtool: p.bmp: 1 frame read (20 × 10), 1 written as 128 × 97\n"
                         "abmtool: big.gif: 3 frames read (320 × 240), 3 written as 128 × 97\n"},
    };
    for (const auto& [flag, said] : cases) {
        std::vector<std::string> args = {"abm", "-o", "out.abm", "p.bmp", "x.png", "big.gif"};
        if (!flag.empty())
            args.insert(args.begin(), flag);
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 0);
        EXPECT_EQ(o.err, said) << flag;
    }
    EXPECT_EQ(Run({"-q", "abm", "-o", "out.abm", "x.png"}).err, "abmtool: x.png: no frames to write (no input gave a picture)\n");
}
