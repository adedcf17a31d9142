#include "workspace/StripCommands.h"
#include "workspace/BmpExport.h"
#include "base/Error.h"
#include "codecs/bmp/BmpCodec.h"
#include "MemorySettings.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace abm;
using abm::test::kindOfError;
namespace fs = std::filesystem;

namespace {

class BmpExportTest : public ::testing::Test {
protected:
    abm::test::ScriptedPrompts prompts;
    abm::test::MemorySettings settings;
    FrameStrip strip;
    abm::test::TempDir dir;

    void frames(int n, int w = 12, int h = 9)
    {
        for (int i = 0; i < n; ++i)
            strip.append(abm::test::makeRaster(w, h, PixelFormat::Bgr888, [i](int x, int y) {
                return static_cast<uint32_t>((i * 20) << 16 | x << 8 | y);
            }));
    }
    std::vector<std::string> filesWritten() const
    {
        std::vector<std::string> names;
        for (auto& e : fs::directory_iterator(dir.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

}  // namespace

TEST(baseName, CutsAtTheFirstOccurrenceOfTheExtension)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/out/walk.bmp", "walk"}, {"/out/a.bmp.bmp", "a"}, {"my.bmpfile.bmp", "my"},
        {"shot.BMP", "shot"},      {"noext", "noext"},      {".bmp", ""},
        {"/d.x/name", "name"},     {"a.b.c", "a.b"},
    };
    for (auto [path, base] : cases)
        EXPECT_EQ(baseName(path), base) << path;
}

TEST_F(BmpExportTest, FramesAreNumberedBesideTheChosenName)
{
    struct Case {
        const char* chosen;
        int frames;
        std::vector<std::string> files;
    };
    const Case cases[] = {
        {"walk.bmp", 3, {"walk0.bmp", "walk1.bmp", "walk2.bmp"}},
        {"walk", 2, {"walk0.bmp", "walk1.bmp"}},
        {"a.bmp.bmp", 2, {"a0.bmp", "a1.bmp"}},
        {".bmp", 2, {"0.bmp", "1.bmp"}},
        {"x.bmp",
         12,
         {"x0.bmp", "x1.bmp", "x10.bmp", "x11.bmp", "x2.bmp", "x3.bmp", "x4.bmp", "x5.bmp", "x6.bmp", "x7.bmp",
          "x8.bmp", "x9.bmp"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        for (auto& e : fs::directory_iterator(dir.path()))
            fs::remove(e.path());
        strip.clear();
        frames(c.frames);
        prompts.saveAnswers.push_back(dir / c.chosen);
        StripCommands(strip, prompts, settings).exportBmp();
        EXPECT_EQ(filesWritten(), c.files);
        EXPECT_EQ(settings.values["SaveBmp"], dir.path().string() + "/");
    }
    EXPECT_EQ(prompts.saveRequests.back().filter, "*.bmp|*.bmp|Все файлы (*.*)|*.*");
    EXPECT_EQ(prompts.saveRequests.back().initialDir, dir.path().string() + "/");
}

TEST_F(BmpExportTest, EachFileHoldsItsFrameAsASixteenBitBmp)
{
    frames(2, 200, 150);  // larger than an ABM frame: written whole
    prompts.saveAnswers.push_back(dir / "f.bmp");
    StripCommands(strip, prompts, settings).exportBmp();
    for (int i = 0; i < 2; ++i) {
        const Raster back = readBmpFile(dir / ("f" + std::to_string(i) + ".bmp"));
        EXPECT_EQ(back.pixelFormat(), PixelFormat::Rgb565);
        ASSERT_EQ(back.width(), 200);
        const Raster& frame = strip.frame(i).picture;
        for (int y : {0, 75, 149})
            EXPECT_EQ(0, std::memcmp(back.row(y), frame.row(y), 400));
    }
}

TEST_F(BmpExportTest, CancelAndEmptyStrip)
{
    frames(1);
    settings.values["SaveBmp"] = "/prev/";
    StripCommands(strip, prompts, settings).exportBmp();  // cancelled
    EXPECT_TRUE(filesWritten().empty());
    EXPECT_EQ(settings.values["SaveBmp"], "/prev/");

    FrameStrip empty;
    prompts.saveAnswers.push_back(dir / "e.bmp");
    StripCommands(empty, prompts, settings).exportBmp();
    EXPECT_TRUE(filesWritten().empty());
    EXPECT_EQ(settings.values["SaveBmp"], dir.path().string() + "/");
}

TEST_F(BmpExportTest, UnwritableFrameEndsTheExportThere)
{
    frames(4);
    fs::create_directory(dir / "w2.bmp");  // frame 2 cannot be created
    settings.values["SaveBmp"] = "/prev/";
    prompts.saveAnswers.push_back(dir / "w.bmp");
    EXPECT_EQ(kindOfError([&] { StripCommands(strip, prompts, settings).exportBmp(); }), ErrorKind::FileCreate);
    EXPECT_EQ(filesWritten(), (std::vector<std::string>{"w0.bmp", "w1.bmp", "w2.bmp"}));
    EXPECT_EQ(settings.values["SaveBmp"], "/prev/");
}
