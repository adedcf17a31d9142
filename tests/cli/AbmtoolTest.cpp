// abmtool run as a program on real files: exit status, output files, messages.

#include "workspace/AbmFile.h"
#include "TestSupport.h"
#include "../options/ScopedEnv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <png.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

extern char** environ;

using namespace abm;
namespace fs = std::filesystem;
using abm::test::ReadFile;

namespace {

struct Outcome {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class AbmtoolTest : public ::testing::Test {
protected:
    abm::test::TempDir dir;
    const fs::path gifs = abm::test::Corpora() / "gif" / "wuffs";

    Outcome Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), ABMTOOL_PATH);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string outFile = dir / ".stdout", errFile = dir / ".stderr";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&actions, dir.Path().c_str());
        pid_t pid = 0;
        Outcome o;
        if (posix_spawn(&pid, ABMTOOL_PATH, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            o.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        o.out = Slurp(outFile);
        o.err = Slurp(errFile);
        fs::remove(outFile);
        fs::remove(errFile);
        return o;
    }

    std::string Picture(const std::string& name, int w, int h, uint32_t rgb = 0x336699)
    {
        TBitmap b = abm::test::MakeRaster(w, h, pf24bit, [rgb](int x, int y) { return rgb ^ static_cast<uint32_t>(x * 3 + y * 5); });
        b.SaveToFile(dir / name);
        return dir / name;
    }

    TBitmap LoadBmp(const std::string& name)
    {
        TBitmap b;
        b.LoadFromFile(dir / name);
        return b;
    }

    static bool SamePixels(const TBitmap& a, const TBitmap& b)
    {
        if (a.Width() != b.Width() || a.Height() != b.Height())
            return false;
        for (int y = 0; y < a.Height(); ++y)
            for (int x = 0; x < a.Width(); ++x)
                if (a.Pixel(x, y) != b.Pixel(x, y))
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
        EXPECT_TRUE(SamePixels(LoadBmp("from-abm" + n + ".bmp"), LoadBmp("from-gif" + n + ".bmp"))) << "frame " << i;
    }
    EXPECT_FALSE(SamePixels(LoadBmp("from-gif0.bmp"), LoadBmp("from-gif1.bmp")));
}

TEST_F(AbmtoolTest, SizeOptionsCropOrStretch)
{
    const std::string pic = Picture("p.bmp", 100, 80);
    ASSERT_EQ(Run({"bmp", "-o", "crop.bmp", "--size", "32x32", "--no-autosize", pic}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "fit.bmp", "--size", "32x32", "--no-autosize", "--stretch", pic}).status, 0);
    ASSERT_EQ(Run({"bmp", "-o", "same.bmp", "--size", "32x32", pic}).status, 0);  // auto-size wins
    const TBitmap original = LoadBmp("p.bmp");
    const TBitmap crop = LoadBmp("crop0.bmp"), fit = LoadBmp("fit0.bmp"), same = LoadBmp("same0.bmp");
    EXPECT_EQ(crop.Width(), 32);
    EXPECT_EQ(fit.Height(), 32);
    EXPECT_EQ(same.Width(), 100);
    auto reduced = [](TColor c) { return ToRgb565(GetRValue(c), GetGValue(c), GetBValue(c)); };
    auto at = [&](const TBitmap& b, int x, int y) { return reduced(b.Pixel(x, y)); };
    EXPECT_EQ(at(crop, 31, 31), reduced(original.Pixel(31, 31)));
    EXPECT_EQ(at(fit, 31, 31), reduced(original.Pixel(31 * 100 / 32, 31 * 80 / 32)));
    EXPECT_NE(at(crop, 31, 31), at(fit, 31, 31));
}

TEST_F(AbmtoolTest, OversizedFrameFailsTheAbmSaveWithTheWarning)
{
    const std::string pic = Picture("wide.bmp", 129, 97);
    const Outcome o = Run({"abm", "-o", "out.abm", "--no-autosize", "--size", "129x97", pic});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: Сохранение невозможно. \nСлишком большой размер картинок !!!\n");
    EXPECT_FALSE(fs::exists(dir / "out.abm"));
    EXPECT_EQ(Run({"abm", "-o", "out.abm", "--no-autosize", "--size", "128x97", pic}).status, 0);
    EXPECT_EQ(ReadFile(dir / "out.abm").size(), 72u + 128 * 97 * 2);
}

TEST_F(AbmtoolTest, MissingInputFailsWithTheErrorText)
{
    const std::string pic = Picture("ok.bmp", 10, 10);
    for (const char* missing : {"nope.gif", "nope.bmp", "nope.jpg"}) {
        const Outcome o = Run({"abm", "-o", "out.abm", pic, missing});
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, std::string("abmtool: Cannot open file \"") + missing + "\". No such file or directory.\n");
        EXPECT_FALSE(fs::exists(dir / "out.abm"));
    }
}

TEST_F(AbmtoolTest, InvalidPictureAmongValidOnesWarnsAndStillWrites)
{
    const std::string a = Picture("a.bmp", 10, 10), b = Picture("b.bmp", 10, 10, 0xFF0000);
    abm::test::WriteFile(dir / "broken.bmp", {'B', 'M', 1, 2, 3});
    abm::test::WriteFile(dir / "broken.jpg", {'n', 'o', 't'});
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
    abm::test::WriteFile(dir / "keep.abm", {1, 2, 3});
    abm::test::WriteFile(dir / "bad.gif", {'G', 'I', 'F', '8', '9', 'a', 1});
    EXPECT_EQ(Run({"abm", "-o", "keep.abm", "bad.gif"}).status, 1);
    EXPECT_EQ(ReadFile(dir / "keep.abm"), (std::vector<uint8_t>{1, 2, 3}));
    const std::string pic = Picture("p.bmp", 10, 10);
    const Outcome o = Run({"abm", "-o", "no-such-folder/x.abm", pic});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.rfind("abmtool: Cannot create file \"no-such-folder/x.abm\". ", 0), 0u) << o.err;
}

TEST_F(AbmtoolTest, InfoReportsHeadersAndTheReadersVerdict)
{
    const std::string pic = Picture("p.bmp", 20, 10);
    ASSERT_EQ(Run({"abm", "-o", "good.abm", pic, pic}).status, 0);
    std::vector<uint8_t> bad = ReadFile(dir / "good.abm");
    bad[4] = 24;
    abm::test::WriteFile(dir / "bits24.abm", bad);
    bad = ReadFile(dir / "good.abm");
    bad.pop_back();
    abm::test::WriteFile(dir / "short.abm", bad);
    bad = ReadFile(dir / "good.abm");
    bad[0] = 0;
    bad[6] = 1;
    bad[12] = bad[13] = bad[14] = bad[15] = 0;
    bad.resize(72);
    abm::test::WriteFile(dir / "zerowidth.abm", bad);

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
    EXPECT_NE(o.out.find("\"Accepted\": false, \"Message\": \"\\u00d0"), std::string::npos) << o.out;

    o = Run({"info", "missing.abm"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "abmtool: Cannot open file \"missing.abm\". No such file or directory.\n");
}

TEST_F(AbmtoolTest, ThumbnailIsAPngThatFitsTheSize)
{
    const std::string big = Picture("big.bmp", 300, 120);
    const std::string small = Picture("small.bmp", 20, 40);
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
        const auto png = abm::test::ReadPng(dir.Path() / "t.png");
        EXPECT_EQ(png.width, c.w) << c.input << " " << c.size;
        EXPECT_EQ(png.height, c.h) << c.input << " " << c.size;
    }
    const Outcome o = Run({"thumbnail", big, "with blank and \"quote.png"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(abm::test::ReadPng(dir.Path() / "with blank and \"quote.png").width, 128);
}

TEST_F(AbmtoolTest, UsageErrorsExitTwo)
{
    const std::string pic = Picture("p.bmp", 5, 5);
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
        six.push_back(Picture("p" + std::to_string(i) + ".bmp", 20, 10, 0x102030 * (i + 1)));
    std::vector<std::string> args = {"abm", "-o", "four.abm"};
    args.insert(args.end(), six.begin(), six.begin() + 4);
    ASSERT_EQ(Run(args).status, 0);
    args = {"abm", "-o", "six.abm"};
    args.insert(args.end(), six.begin(), six.end());
    const Outcome o = Run(args);
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "abmtool: warning: 2 inputs after the fourth frame left out\n");
    EXPECT_EQ(ReadFile(dir / "six.abm"), ReadFile(dir / "four.abm"));
}

TEST_F(AbmtoolTest, MemoryLimitRefusesAPictureNamingItAndTheSizes)
{
    Picture("big.bmp", 600, 400);
    abm::test::ScopedEnv env;
    const std::vector<std::vector<std::string>> runs = {
        {"--memory-limit", "1", "abm", "-o", "x.abm", "big.bmp"},
        {"bmp", "--memory-limit", "1", "-o", "x.bmp", "big.bmp"},
        {"--memory-limit", "1", "thumbnail", "big.bmp", "t.png"},
        {"ABM_MEMORY_LIMIT_MB=1", "abm", "-o", "x.abm", "big.bmp"},
    };
    for (std::vector<std::string> args : runs) {
        if (args[0].rfind("ABM_", 0) == 0) {
            env.Set("ABM_MEMORY_LIMIT_MB", "1");
            args.erase(args.begin());
        }
        const Outcome o = Run(args);
        env.Unset("ABM_MEMORY_LIMIT_MB");
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
        TAbmHeader h;
        h.FrameWidth = width;
        h.FrameHeight = height;
        h.BitCount = 16;
        h.FrameCount = count;
        h.DataSize = width * height * 2 * count;
        const auto bytes = h.Encode();
        return std::vector<uint8_t>(bytes.begin(), bytes.end());
    };
    std::vector<uint8_t> file = header(700, 500, 1);
    for (int i = 0; i < 700 * 500 * 2; ++i)
        file.push_back(static_cast<uint8_t>(i * 7 + i / 1400));
    abm::test::WriteFile(dir / "frame.abm", file);
    ASSERT_EQ(Run({"bmp", "-o", "frame.bmp", "frame.abm"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame.abm", "a.png"}).status, 0);
    ASSERT_EQ(Run({"thumbnail", "frame0.bmp", "b.png"}).status, 0);
    const auto a = abm::test::ReadPng(dir.Path() / "a.png"), b = abm::test::ReadPng(dir.Path() / "b.png");
    EXPECT_EQ(a.width, 128);
    EXPECT_TRUE(a.width == b.width && a.height == b.height && a.rgba == b.rgba);

    abm::test::WriteFile(dir / "sparse.abm", header(16384, 16384, 2));
    fs::resize_file(dir / "sparse.abm", (uintmax_t{1} << 30) + 72);
    const Outcome info = Run({"info", "sparse.abm"});
    EXPECT_EQ(info.status, 0);
    EXPECT_NE(info.out.find("FrameCount=2 DataSize=1073741824 Creator=\"\" Accepted=yes"), std::string::npos) << info.out;
    EXPECT_EQ(Run({"thumbnail", "sparse.abm", "s.png"}).status, 0);
    EXPECT_EQ(abm::test::ReadPng(dir.Path() / "s.png").width, 128);
}
