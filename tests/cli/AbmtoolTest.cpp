// abmtool run as a program on real files: exit status, output files, messages.

#include "workspace/AbmFile.h"
#include "TestSupport.h"
#include "ScopedEnv.h"

#include <gtest/gtest.h>

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
    std::vector<std::string> as;   // a program that runs it as another user
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
        Raster b = abm::test::makeRaster(w, h, pf24bit,
                                         [rgb](int x, int y) { return rgb ^ static_cast<uint32_t>(x * 3 + y * 5); });
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

TEST_F(AbmtoolTest, SizeOptionsCropOrStretch)
{
    const std::string pic = picture("p.bmp", 100, 80);
    ASSERT_EQ(Run({"bmp", "-o", "crop.bmp", "--size", "32x32", "--no-autosize", pic}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "fit.bmp", "--size", "32x32", "--no-autosize", "--stretch", pic}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "same.bmp", "--size", "32x32", pic}).status, 0);  // auto-size wins
    const Raster original = loadBmp("p.bmp");
    const Raster crop = loadBmp("crop0.bmp"), fit = loadBmp("fit0.bmp"), same = loadBmp("same0.bmp");
    EXPECT_EQ(crop.width(), 32);
    EXPECT_EQ(fit.height(), 32);
    EXPECT_EQ(same.width(), 100);
    auto reduced = [](Color c) { return toRgb565(redOf(c), greenOf(c), blueOf(c)); };
    auto at = [&](const Raster& b, int x, int y) { return reduced(b.pixel(x, y)); };
    EXPECT_EQ(at(crop, 31, 31), reduced(original.pixel(31, 31)));
    EXPECT_EQ(at(fit, 31, 31), reduced(original.pixel(31 * 100 / 32, 31 * 80 / 32)));
    EXPECT_NE(at(crop, 31, 31), at(fit, 31, 31));
}

TEST_F(AbmtoolTest, OversizedFrameFailsTheAbmSaveWithTheWarning)
{
    const std::string pic = picture("wide.bmp", 129, 97);
    const Outcome o = Run({"abm", "-o", "out.abm", "--no-autosize", "--size", "129x97", pic});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: Сохранение невозможно. \nСлишком большой размер картинок !!!\n");
    EXPECT_FALSE(fs::exists(dir / "out.abm"));
    EXPECT_EQ(Run({"abm", "-o", "out.abm", "--no-autosize", "--size", "128x97", pic}).status, 0);
    EXPECT_EQ(readFile(dir / "out.abm").size(), 72u + 128 * 97 * 2);
}

TEST_F(AbmtoolTest, MissingInputFailsWithTheErrorText)
{
    const std::string pic = picture("ok.bmp", 10, 10);
    for (const char* missing : {"nope.gif", "nope.bmp", "nope.jpg"}) {
        const Outcome o = Run({"abm", "-o", "out.abm", pic, missing});
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, std::string("abmtool: Cannot open file \"") + missing + "\". No such file or directory.\n");
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
    EXPECT_EQ(o.err.rfind("abmtool: Cannot create file \"no-such-folder/x.abm\". ", 0), 0u) << o.err;
}

TEST_F(AbmtoolTest, InfoReportsHeadersAndTheReadersVerdict)
{
    const std::string pic = picture("p.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "-o", "good.abm", pic, pic}).status, 0);
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
    EXPECT_NE(line.find("Accepted=no (Неверный формат файла: bits24.abm)"), std::string::npos) << line;
    std::getline(lines, line);
    EXPECT_NE(line.find("Accepted=no (Неверный формат файла: short.abm)"), std::string::npos) << line;
    std::getline(lines, line);
    EXPECT_NE(line.find("Accepted=no (Невозможно откыть файл: zerowidth.abm)"), std::string::npos) << line;

    o = Run({"info", "--json", "good.abm", "bits24.abm"});
    EXPECT_NE(o.out.find("{\"file\": \"good.abm\", \"FrameWidth\": 20, \"FrameHeight\": 10, \"BitCount\": 16, "
                         "\"FrameCount\": 2, \"DataSize\": 800, \"Creator\": \"Created by PLIX\", \"Accepted\": true}"),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("\"Accepted\": false, \"Message\": \"Неверный формат файла: bits24.abm\"}"), std::string::npos)
        << o.out;

    o = Run({"info", "missing.abm"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: Cannot open file \"missing.abm\". No such file or directory.\n");
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
        {big, "128", 128, 51},
        {big, "64", 64, 25},
        {small, "128", 64, 128},
        {small, "10", 5, 10},
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
    for (const char* text : {"--size", "128x97", "--no-autosize", "--stretch", "--transparent-gif", "--strict", "-o"})
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
    EXPECT_EQ(o.err, "abmtool: warning: 2 inputs after the fourth frame left out\n");
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
        EXPECT_EQ(o.err.rfind("abmtool: not enough memory for \"big.bmp\": needs ", 0), 0u) << o.err;
        EXPECT_NE(o.err.find(" MiB, limit 1 MiB.\n"), std::string::npos) << o.err;
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
        EXPECT_EQ(o.err, "abmtool: Cannot open file \"" + args[args.size() - (args[0] == "thumbnail" ? 2 : 1)] +
                             "\". Not a regular file.\n");
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
    ASSERT_EQ(Run({"bmp", "-o", "frame.bmp", "frame.abm"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame.abm", "a.png"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame0.bmp", "b.png"}).status, 0);
    const auto a = abm::test::readPng(dir.path() / "a.png"), b = abm::test::readPng(dir.path() / "b.png");
    EXPECT_EQ(a.width, 128);
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.rgba == b.rgba);

    abm::test::writeFile(dir / "sparse.abm", header(16384, 16384, 2));
    fs::resize_file(dir / "sparse.abm", (uintmax_t{1} << 30) + 72);
    const Outcome info = Run({"info", "sparse.abm"});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("FrameCount=2 DataSize=1073741824 Creator=\"\" Accepted=yes"), std::string::npos)
        << info.out;
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

TEST_F(AbmtoolTest, FramesWithoutPixelsAreRefusedAndNothingIsWritten)
{
    abm::test::writeFile(dir / "empty.bmp", {});
    const std::string pic = picture("p.bmp", 20, 10);
    const std::vector<std::vector<std::string>> cases = {
        {"abm", "-o", "out.abm", "empty.bmp"},
        {"abm", "-o", "out.abm", pic, "empty.bmp"},
        {"abm", "-o", "out.abm", "--no-autosize", "--size", "0x97", pic},
        {"bmp", "-o", "out.bmp", pic, "empty.bmp"},
        {"bmp", "-o", "out.bmp", "--no-autosize", "--size", "20x0", pic},
    };
    for (const auto& args : cases) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 1) << args.back();
        EXPECT_EQ(o.err, "abmtool: Сохранение невозможно. \nНулевой размер картинок !!!\n");
        EXPECT_FALSE(fs::exists(dir / "out.abm"));
        EXPECT_FALSE(fs::exists(dir / "out0.bmp"));
    }
}

TEST_F(AbmtoolTest, NamesAreEscapedInTextAndIntactInJson)
{
    // An escape sequence, a line break, Cyrillic, a byte that is not UTF-8, a backslash.
    const std::string name = "a\x1b[2J\nб\xff\\.abm";
    const std::string pic = picture("p.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "-o", name, pic}).status, 0);
    abm::test::writeFile(dir / (name + ".bmp"), {'B', 'M', 1});

    Outcome o = Run({"info", name});
    EXPECT_EQ(o.out, "a\\x1b[2J\\x0aб\\xff\\\\.abm: FrameWidth=20 FrameHeight=10 BitCount=16 FrameCount=1 "
                     "DataSize=400 Creator=\"Created by PLIX\" Accepted=yes\n");
    o = Run({"info", "--json", name});
    EXPECT_NE(o.out.find("{\"file\": \"a\\u001b[2J\\u000aб\\udcff\\\\.abm\", "), std::string::npos) << o.out;
    o = Run({"bmp", "-o", "f.bmp", pic, name + ".bmp"});
    EXPECT_EQ(o.err, "abmtool: warning: a\\x1b[2J\\x0aб\\xff\\\\.abm.bmp: not a picture of its kind, skipped\n");
    o = Run({"info", name + ".missing"});
    EXPECT_EQ(o.err,
              "abmtool: Cannot open file \"a\\x1b[2J\\x0aб\\xff\\\\.abm.missing\". No such file or directory.\n");
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
        const Outcome o = Run({"abm", "-o", c.out, pic}, c.launch);
        EXPECT_EQ(o.status, c.refused ? 1 : 0);
        EXPECT_EQ(o.err, c.refused ? std::string("abmtool: Cannot create file \"") + c.out + "\". Permission denied.\n"
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
    ASSERT_EQ(Run({"abm", "-o", "a.abm", pic}).status, 0);
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
    EXPECT_EQ(o.err, "abmtool: Cannot create file \"keep.abm\". File too large.\n");
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
