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

TEST(bmpFramePrefix, OnlyATrailingBmpInAnyCaseIsTakenOff)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/out/walk.bmp", "/out/walk"},
        {"/out/a.bmp.bmp", "/out/a.bmp"},
        {"my.bmpfile.bmp", "my.bmpfile"},
        {"clip.bmp.backup.bmp", "clip.bmp.backup"},
        {"v1.1.1", "v1.1.1"},
        {"shot.BMP", "shot"},
        {"shot.Bmp", "shot"},
        {"noext", "noext"},
        {"/out/.bmp", "/out/"},
        {"/d.bmp/name", "/d.bmp/name"},
        {"/d/bmp", "/d/bmp"},
        {"a.b.c", "a.b.c"},
    };
    for (auto [chosen, prefix] : cases)
        EXPECT_EQ(bmpFramePrefix(chosen), prefix) << chosen;
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
        {"a.bmp.bmp", 2, {"a.bmp0.bmp", "a.bmp1.bmp"}},
        {"my.bmpfile.bmp", 1, {"my.bmpfile0.bmp"}},
        {"v1.1.1", 1, {"v1.1.10.bmp"}},
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
    prompts.answers.push_back(MessageAnswer::ok);
    EXPECT_EQ(kindOfError([&] { StripCommands(strip, prompts, settings).exportBmp(); }), ErrorKind::FileCreate);
    EXPECT_EQ(filesWritten(), (std::vector<std::string>{"w0.bmp", "w1.bmp", "w2.bmp"}));
    EXPECT_EQ(settings.values["SaveBmp"], "/prev/");
}

// One question names the frame files that are there already (the first
// three and how many more); nothing is written unless it is answered OK.
TEST_F(BmpExportTest, ExistingFrameFilesAreReplacedOnlyWhenConfirmed)
{
    struct Case {
        std::vector<int> existing;  // frame files there before
        MessageAnswer answer;
        const char* question;  // nullptr: none asked
    };
    const Case cases[] = {
        {{}, MessageAnswer::none, nullptr},
        {{0}, MessageAnswer::cancel, "Файл my0.bmp уже существует. Заменить?"},
        {{1, 3}, MessageAnswer::ok, "Файлы my1.bmp, my3.bmp уже существуют. Заменить?"},
        {{0, 1, 2, 3, 4}, MessageAnswer::ok, "Файлы my0.bmp, my1.bmp, my2.bmp и ещё 2 уже существуют. Заменить?"},
        {{0, 1, 2, 3, 4}, MessageAnswer::cancel, "Файлы my0.bmp, my1.bmp, my2.bmp и ещё 2 уже существуют. Заменить?"},
    };
    frames(5);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.question ? c.question : "none");
        for (auto& e : fs::directory_iterator(dir.path()))
            fs::remove(e.path());
        for (const int i : c.existing)
            abm::test::writeFile(dir / ("my" + std::to_string(i) + ".bmp"), {1});
        prompts.messages.clear();
        if (c.answer != MessageAnswer::none)
            prompts.answers.push_back(c.answer);
        prompts.saveAnswers.push_back(dir / "my.bmp");
        StripCommands(strip, prompts, settings).exportBmp();
        ASSERT_EQ(prompts.messages.size(), c.question ? 1u : 0u);
        if (c.question) {
            EXPECT_EQ(prompts.messages[0].text, c.question);
        }
        const bool written = c.answer != MessageAnswer::cancel;
        for (int i = 0; i < 5; ++i) {
            const bool existed = std::find(c.existing.begin(), c.existing.end(), i) != c.existing.end();
            const fs::path file = dir / ("my" + std::to_string(i) + ".bmp");
            EXPECT_EQ(fs::exists(file), written || existed) << i;
            if (fs::exists(file)) {
                EXPECT_EQ(fs::file_size(file) > 1, written) << i;
            }
        }
    }
}
