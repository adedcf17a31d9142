#include "workspace/PreviewPlayer.h"
#include "codecs/raster/Canvas.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <set>

using namespace abm;

namespace {

Raster solidFrame(int w, int h, uint32_t rgb)
{
    Raster b = abm::test::makeRaster(w, h, pf16bit, [rgb](int, int) { return rgb; });
    return b;
}

}  // namespace

TEST(DrawPreviewFrame, CentresEachAxisAloneAndCropsWhatDoesNotFit)
{
    struct Case {
        int w, h;
        Rect source, dest;
    };
    const Case cases[] = {
        {40, 30, Rect(0, 0, 40, 30), Rect(45, 34, 85, 64)},      {128, 96, Rect(0, 0, 128, 96), Rect(1, 1, 129, 97)},
        {128, 97, Rect(0, 0, 128, 97), Rect(1, 1, 129, 97)},     {41, 31, Rect(0, 0, 41, 31), Rect(45, 34, 85, 64)},
        {200, 150, Rect(35, 26, 165, 124), Rect(0, 0, 130, 98)}, {300, 20, Rect(85, 0, 215, 20), Rect(0, 39, 130, 59)},
        {1, 1, Rect(0, 0, 1, 1), Rect(65, 49, 65, 49)},          {130, 98, Rect(0, 0, 130, 98), Rect(0, 0, 130, 98)},
    };
    for (const Case& c : cases) {
        Rect s, d;
        PreviewPlayer::previewRects(solidFrame(c.w, c.h, 0), Rect(0, 0, 130, 98), s, d);
        EXPECT_EQ(s, c.source) << c.w << "x" << c.h;
        EXPECT_EQ(d, c.dest) << c.w << "x" << c.h;
    }
}

TEST(DrawPreviewFrame, SqueezesAnOddHeightByOneRow)
{
    // Row y of a 128 × 97 frame holds the raw value y + 1; 96 of them are shown.
    Raster frame = solidFrame(128, 97, 0);
    for (int y = 0; y < 97; ++y)
        for (int x = 0; x < 128; ++x) {
            frame.scanLine(y)[2 * x] = static_cast<uint8_t>(y + 1);
            frame.scanLine(y)[2 * x + 1] = 0;
        }
    Raster target = solidFrame(130, 98, 0xFFFFFF);
    PreviewPlayer::drawPreviewFrame(target.canvas(), frame, Rect(0, 0, 130, 98));
    EXPECT_EQ(target.pixel(0, 0), clWhite);  // outside the destination nothing is drawn
    EXPECT_EQ(target.pixel(129, 97), clWhite);
    std::set<int> rows;
    for (int y = 1; y < 97; ++y) {
        const uint8_t* row = target.scanLine(y);
        EXPECT_EQ(row[2 * 1], row[2 * 128]) << "row " << y << " is not one source row";
        rows.insert(row[2 * 5] | (row[2 * 5 + 1] << 8));
    }
    EXPECT_EQ(rows.size(), 96u);
    EXPECT_EQ(*rows.begin(), 1);
}

class PreviewPlayerTest : public ::testing::Test {
protected:
    FrameOptionValues options;
    abm::test::ScriptedPrompts prompts;
    FrameStrip strip{options};
    PreviewPlayer player;

    int shownFrame() const { return greenOf(player.preview.pixel(65, 49)) / 40; }
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
        player.previewIndex = 0;
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

TEST_F(PreviewPlayerTest, PreviewPixelsFrameBorderFieldAndPicture)
{
    struct Case {
        int w, h;
        Rect picture;  // where the frame's colour shows
    };
    const Case cases[] = {
        {40, 30, Rect(45, 34, 85, 64)},
        {128, 97, Rect(1, 1, 129, 97)},
        {200, 150, Rect(0, 0, 130, 98)},
    };
    const Color red = rgbColor(255, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        strip.clear();
        strip.append(solidFrame(c.w, c.h, 0xFF0000));
        player.tick(strip, 8);
        const Raster& p = player.preview;
        ASSERT_EQ(p.width(), 130);
        ASSERT_EQ(p.height(), 98);
        EXPECT_EQ(p.pixelFormat(), pf16bit);
        for (int y = 0; y < 98; ++y) {
            for (int x = 0; x < 130; ++x) {
                const bool inPicture =
                    x >= c.picture.left && x < c.picture.right && y >= c.picture.top && y < c.picture.bottom;
                const bool border = x == 0 || y == 0 || x == 129 || y == 97;
                const Color expected = inPicture ? red : border ? clBlack : clWhite;
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
    EXPECT_EQ(player.preview.width(), 130);
    strip.clear();
    for (int i = 0; i < 9; ++i)
        icons.push_back(player.tick(strip, 8));
    EXPECT_EQ(player.preview.width(), 0);
    EXPECT_EQ(player.preview.height(), 0);
    EXPECT_EQ(icons, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 0, 1}));
}

TEST_F(PreviewPlayerTest, IndexBeyondTheLastFrameStartsAgainAtZero)
{
    for (int i = 0; i < 4; ++i)
        strip.append(solidFrame(20, 20, static_cast<uint32_t>(i * 40) << 8));
    for (int i = 0; i < 3; ++i)
        player.tick(strip, 8);
    EXPECT_EQ(player.previewIndex, 3);
    for (int i = 0; i < 3; ++i) {
        strip.remove(0);
    }
    player.tick(strip, 8);
    EXPECT_EQ(shownFrame(), 3);  // the one frame left
    EXPECT_EQ(player.previewIndex, 1);
}
