#include "workspace/PreviewPlayer.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;

namespace {

Raster solidFrame(int w, int h, uint32_t rgb)
{
    Raster b = abm::test::makeRaster(w, h, PixelFormat::Rgb565, [rgb](int, int) { return rgb; });
    return b;
}

}  // namespace

class PreviewPlayerTest : public ::testing::Test {
protected:
    abm::test::ScriptedPrompts prompts;
    FrameStrip strip;
    PreviewPlayer player;

    int shownFrame() const { return greenOf(player.preview().pixel(65, 49)) / 40; }
};

TEST_F(PreviewPlayerTest, PlaysTheFirstFourFramesInTurn)
{
    struct Case {
        int frames;
        std::vector<int> shown;
    };
    const Case cases[] = {
        {1, {0, 0, 0}},
        {2, {0, 1, 0, 1}},
        {3, {0, 1, 2, 0, 1}},
        {6, {0, 1, 2, 3, 0, 1, 2, 3, 0}},
    };
    for (const Case& c : cases) {
        strip.clear();
        player = PreviewPlayer();
        for (int i = 0; i < c.frames; ++i)
            strip.append(solidFrame(20, 20, static_cast<uint32_t>(i * 40) << 8));
        std::vector<int> shown;
        for (size_t t = 0; t < c.shown.size(); ++t) {
            player.tick(strip, 8);
            shown.push_back(shownFrame());
        }
        EXPECT_EQ(shown, c.shown) << c.frames << " frames";
    }
}

// Every pixel of the field: the frame's part at its own size, else the
// border and the white inside. Rows and columns of the frame differ, so a
// squeezed or shifted frame shows.
TEST_F(PreviewPlayerTest, ShowsTheFrameUnscaledCentredOrItsMiddlePart)
{
    struct Case {
        int w, h;
        Rect source, field;
    };
    // clang-format off
    const Case cases[] = {
        {40, 30, Rect(0, 0, 40, 30), Rect(45, 34, 85, 64)},
        {41, 31, Rect(0, 0, 41, 31), Rect(45, 34, 86, 65)},
        {128, 97, Rect(0, 0, 128, 97), Rect(1, 1, 129, 98)},  // its last row, red, shows
        {128, 96, Rect(0, 0, 128, 96), Rect(1, 1, 129, 97)},
        {1, 1, Rect(0, 0, 1, 1), Rect(65, 49, 66, 50)},
        {200, 150, Rect(35, 26, 165, 125), Rect(0, 0, 130, 99)},
        {300, 20, Rect(85, 0, 215, 20), Rect(0, 39, 130, 59)},
        {131, 100, Rect(0, 1, 130, 100), Rect(0, 0, 130, 99)},
    };
    // clang-format on
    const Color red = rgbColor(255, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        const PreviewPlayer::Placement place = PreviewPlayer::placement(c.w, c.h);
        EXPECT_EQ(place.source, c.source);
        EXPECT_EQ(place.field, c.field);
        strip.clear();
        strip.append(abm::test::makeRaster(c.w, c.h, PixelFormat::Bgr888, [&](int x, int y) -> uint32_t {
            return y == c.h - 1 ? red : rgbColor((x % 32) * 8, (y % 64) * 4, (y / 64 * 8 + x / 32) * 8);
        }));
        player = PreviewPlayer();
        player.tick(strip, 8);
        const Raster& frame = strip.frame(0).picture;
        const Raster& p = player.preview();
        ASSERT_EQ(p.width(), 130);
        ASSERT_EQ(p.height(), 99);
        EXPECT_EQ(p.pixelFormat(), PixelFormat::Rgb565);
        for (int y = 0; y < 99; ++y) {
            for (int x = 0; x < 130; ++x) {
                const bool inFrame = x >= c.field.left && x < c.field.right && y >= c.field.top && y < c.field.bottom;
                const bool border = x == 0 || y == 0 || x == 129 || y == 98;
                const Color expected =
                    inFrame  ? frame.pixel(c.source.left + x - c.field.left, c.source.top + y - c.field.top)
                    : border ? color::black
                             : color::white;
                ASSERT_EQ(p.pixel(x, y), expected) << x << "," << y;
            }
        }
    }
}

TEST_F(PreviewPlayerTest, EmptyStripEmptiesThePreviewAndTheIconKeepsStepping)
{
    strip.append(solidFrame(10, 10, 0));
    std::vector<int> icons;
    icons.push_back(player.tick(strip, 8));
    EXPECT_EQ(player.preview().width(), 130);
    strip.clear();
    for (int i = 0; i < 9; ++i)
        icons.push_back(player.tick(strip, 8));
    EXPECT_EQ(player.preview().width(), 0);
    EXPECT_EQ(player.preview().height(), 0);
    EXPECT_EQ(icons, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1}));
}

TEST_F(PreviewPlayerTest, IndexBeyondTheLastFrameStartsAgainAtZero)
{
    for (int i = 0; i < 4; ++i)
        strip.append(solidFrame(20, 20, static_cast<uint32_t>(i * 40) << 8));
    for (int i = 0; i < 3; ++i)
        player.tick(strip, 8);
    EXPECT_EQ(player.nextFrame(), 3);
    for (int i = 0; i < 3; ++i) {
        strip.remove({0});
    }
    player.tick(strip, 8);
    EXPECT_EQ(shownFrame(), 3);  // the one frame left
    EXPECT_EQ(player.nextFrame(), 1);
}
