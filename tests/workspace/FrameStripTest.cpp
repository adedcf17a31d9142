#include "workspace/FrameStrip.h"
#include "base/Error.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace abm;
using abm::test::MakeRaster;

namespace {

// A picture whose every pixel tells its frame id and position.
TBitmap Picture(int id, int w, int h, TPixelFormat format = pf24bit)
{
    return MakeRaster(w, h, format, [id](int x, int y) {
        return static_cast<uint32_t>(((id * 40) & 0xFF) << 16 | ((x * 3) & 0xFF) << 8 | ((y * 5) & 0xFF));
    });
}

uint16_t Px(const TBitmap& b, int x, int y)
{
    const uint8_t* row = b.ScanLine(y);
    return static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
}

// The frame id painted into the red channel of a 16-bit frame pixel.
int IdAt(const TBitmap& b, int x, int y)
{
    return ((Px(b, x, y) >> 11) << 3) / 40;
}

class FrameStripTest : public ::testing::Test {
protected:
    TFrameOptionValues options;
    abm::test::ScriptedPrompts prompts;
    FrameStrip strip{options, prompts};

    std::vector<int> Order() const
    {
        std::vector<int> ids;
        for (int i = 0; i < strip.Count(); ++i)
            ids.push_back(IdAt(strip.Thumbnail(i).Picture, 0, 0));
        return ids;
    }
};

}  // namespace

TEST_F(FrameStripTest, FourAutoSizeAndStretchCombinationsSizeControlAndRaster)
{
    struct Case {
        bool autoSize, stretch;
        int controlW, controlH;  // both frames' thumbnails
        int rasterW, rasterH;    // the second frame's raster
    };
    // First frame 60 × 40, second 30 × 50; options 20 × 10.
    const Case cases[] = {
        {false, false, 20, 10, 20, 10},
        {false, true, 20, 10, 20, 10},
        {true, false, 60, 40, 30, 50},
        {true, true, 60, 40, 60, 40},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "auto-size " << c.autoSize << " stretch " << c.stretch);
        strip.removeAllFrames();
        options.Width = "20";
        options.Height = "10";
        options.AutoSizeOn = c.autoSize;
        options.StretchOn = c.stretch;
        strip.AppendFrame(Picture(1, 60, 40));
        strip.AppendFrame(Picture(2, 30, 50));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(strip.Thumbnail(i).Width, c.controlW);
            EXPECT_EQ(strip.Thumbnail(i).Height, c.controlH);
            EXPECT_EQ(strip.Thumbnail(i).Picture.PixelFormat(), pf16bit);
            EXPECT_TRUE(strip.Thumbnail(i).Visible);
            EXPECT_EQ(strip.Thumbnail(i).Top, 0);
        }
        const TBitmap& second = strip.Thumbnail(1).Picture;
        EXPECT_EQ(second.Width(), c.rasterW);
        EXPECT_EQ(second.Height(), c.rasterH);
        EXPECT_EQ(strip.Thumbnail(1).Left, 3 + c.controlW);
        // Stretching scales the whole picture: the last raster row shows the
        // source row that nearest-neighbour sampling maps onto it.
        if (c.stretch) {
            const int sourceRow = (second.Height() - 1) * 50 / second.Height();
            const uint16_t corner = Px(second, second.Width() - 1, second.Height() - 1);
            EXPECT_EQ(corner & 0x1F, ToRgb565(0, 0, static_cast<uint8_t>(sourceRow * 5)) & 0x1F);
            EXPECT_GT(sourceRow, 40);
        }
    }
}

TEST_F(FrameStripTest, FixedSizeCropsLargePicturesAndPadsSmallOnesWithWhite)
{
    options.AutoSizeOn = false;
    strip.AppendFrame(Picture(1, 200, 150));
    const TBitmap& big = strip.Thumbnail(0).Picture;
    ASSERT_EQ(big.Width(), 128);
    ASSERT_EQ(big.Height(), 97);
    EXPECT_EQ(Px(big, 127, 96), ToRgb565(40, (127 * 3) & 0xFF, (96 * 5) & 0xFF));

    // Indexed pictures too, whatever their palette's lightest colour.
    struct Case {
        const char* name;
        TBitmap picture;
    };
    const TPalette greys = {{0, 0, 0}, {90, 90, 90}, {200, 200, 200}};
    const auto indexed = [&greys](TPixelFormat format) {
        TBitmap b;
        b.Create(50, 40, TPixelLayout::ForFormat(format), greys);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                if ((x + y) % 2)
                    b.ScanLine(y)[format == pf8bit ? x : x / 8] |= format == pf8bit ? 1 : 0x80 >> (x % 8);
        return b;
    };
    const Case cases[] = {
        {"24-bit", Picture(2, 50, 40)},
        {"8-bit without white", indexed(pf8bit)},
        {"1-bit without white", indexed(pf1bit)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        strip.AppendFrame(c.picture);
        const TImage& t = strip.Thumbnail(strip.Count() - 1);
        ASSERT_EQ(t.Picture.Width(), 128);
        for (int x : {48, 49}) {
            const TColor inside = c.picture.Pixel(x, 39);
            EXPECT_EQ(Px(t.Picture, x, 39), ToRgb565(redOf(inside), greenOf(inside), blueOf(inside)));
        }
        EXPECT_EQ(Px(t.Picture, 50, 0), 0xFFFF);
        EXPECT_EQ(Px(t.Picture, 0, 40), 0xFFFF);
        EXPECT_EQ(Px(t.Picture, 127, 96), 0xFFFF);
        EXPECT_EQ(t.Picture.Palette(), c.picture.Palette());
    }
    EXPECT_EQ(strip.Thumbnail(1).Left, 131);
}

TEST_F(FrameStripTest, ShrinkingAndGrowingTheOptionsRestoresTheSameRasters)
{
    options.AutoSizeOn = false;
    for (int id = 1; id <= 3; ++id)
        strip.AppendFrame(Picture(id, 100 + id * 20, 90 + id * 5));
    std::vector<std::vector<uint8_t>> before;
    for (int i = 0; i < strip.Count(); ++i)
        before.push_back(strip.Thumbnail(i).Picture.Image().bits);
    options.Width = options.Height = "32";
    strip.RebuildStrip();
    EXPECT_EQ(strip.Thumbnail(2).Picture.Width(), 32);
    options.Width = "128";
    options.Height = "97";
    strip.RebuildStrip();
    for (int i = 0; i < strip.Count(); ++i)
        EXPECT_EQ(strip.Thumbnail(i).Picture.Image().bits, before[static_cast<size_t>(i)]) << i;
}

TEST_F(FrameStripTest, DroppingReordersAsAListMove)
{
    struct Case {
        int from, to;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {0, 2, {2, 3, 1, 4}},
        {3, 1, {1, 4, 2, 3}},
        {1, 1, {1, 2, 3, 4}},
        {2, 0, {3, 1, 2, 4}},
    };
    for (const Case& c : cases) {
        strip.removeAllFrames();
        for (int id = 1; id <= 4; ++id)
            strip.AppendFrame(Picture(id, 8, 8));
        const uint64_t before = strip.Generation();
        TImage* dragged = &strip.Thumbnail(c.from);
        strip.moveFrame(dragged, &strip.Thumbnail(c.to));
        EXPECT_EQ(Order(), c.expected) << c.from << " onto " << c.to;
        EXPECT_GT(strip.Generation(), before);  // rebuilt even when the order stays
    }
}

TEST_F(FrameStripTest, DroppingOutsideAnyThumbnailChangesNothing)
{
    for (int id = 1; id <= 3; ++id)
        strip.AppendFrame(Picture(id, 8, 8));
    TImage* first = &strip.Thumbnail(0);
    strip.moveFrame(first, nullptr);
    EXPECT_EQ(&strip.Thumbnail(0), first);
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 3}));
    TImage stranger;
    strip.moveFrame(first, &stranger);
    EXPECT_EQ(&strip.Thumbnail(0), first);
    EXPECT_TRUE(strip.acceptsDrag(first, &strip.Thumbnail(2)));
}

TEST_F(FrameStripTest, DeleteAskedAndAnsweredBothWays)
{
    for (int id = 1; id <= 3; ++id)
        strip.AppendFrame(Picture(id, 8, 8));
    strip.updateCommandStates();

    strip.deleteFrame();  // no recorded thumbnail: nothing asked
    EXPECT_TRUE(prompts.messages.empty());

    strip.setPopupTarget(&strip.Thumbnail(1));
    prompts.answers = {TModalResult::mrCancel};
    strip.deleteFrame();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Удалить?");
    EXPECT_EQ(prompts.messages[0].buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}));
    EXPECT_EQ(strip.popupTarget(), nullptr);
    EXPECT_EQ(Order(), (std::vector<int>{1, 2, 3}));

    strip.setPopupTarget(&strip.Thumbnail(1));
    prompts.answers = {TModalResult::mrOk};
    strip.deleteFrame();
    EXPECT_EQ(Order(), (std::vector<int>{1, 3}));
    EXPECT_EQ(strip.popupTarget(), nullptr);
    EXPECT_EQ(strip.frameCountText(), "2");
    EXPECT_EQ(strip.Thumbnail(1).Tag, 1);
    EXPECT_EQ(strip.Thumbnail(1).Left, 11);

    strip.setPopupTarget(&strip.Thumbnail(0));
    strip.setPopupTarget(nullptr);  // opened elsewhere: the recorded thumbnail stays
    EXPECT_EQ(strip.popupTarget(), &strip.Thumbnail(0));
    prompts.answers = {TModalResult::mrOk};
    strip.deleteFrame();
    prompts.answers = {TModalResult::mrOk};
    strip.setPopupTarget(&strip.Thumbnail(0));
    strip.deleteFrame();
    EXPECT_EQ(strip.Count(), 0);
    EXPECT_EQ(strip.frameCountText(), "0");
    EXPECT_FALSE(strip.canExportBmp());
    EXPECT_FALSE(strip.canSaveAbm());
    EXPECT_FALSE(strip.canClear());
}

TEST_F(FrameStripTest, ClearAskedAndAnsweredBothWays)
{
    for (int id = 1; id <= 2; ++id)
        strip.AppendFrame(Picture(id, 10, 97));
    strip.FitStripHeight();
    strip.updateCommandStates();
    EXPECT_EQ(strip.StripHeight(), 117);

    prompts.answers = {TModalResult::mrNo};
    strip.clearStrip();
    EXPECT_EQ(strip.Count(), 2);
    EXPECT_EQ(prompts.messages.back().text, "Очистить?");
    EXPECT_EQ(prompts.messages.back().buttons, (std::vector<TMsgDlgBtn>{TMsgDlgBtn::mbNo, TMsgDlgBtn::mbOK}));

    prompts.answers = {TModalResult::mrOk};
    strip.clearStrip();
    EXPECT_EQ(strip.Count(), 0);
    EXPECT_TRUE(strip.SourceBitmaps().empty());
    EXPECT_EQ(strip.frameCountText(), "0");
    EXPECT_EQ(strip.StripHeight(), 117);
    EXPECT_FALSE(strip.canClear());
}

TEST_F(FrameStripTest, AutoSizeFollowsTheFirstFrameAfterDeleteAndDrag)
{
    strip.AppendFrame(Picture(1, 40, 30));
    strip.AppendFrame(Picture(2, 70, 20));
    strip.AppendFrame(Picture(3, 10, 10));
    EXPECT_EQ(strip.Thumbnail(2).Width, 40);
    strip.moveFrame(&strip.Thumbnail(1), &strip.Thumbnail(0));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(strip.Thumbnail(i).Width, 70);
        EXPECT_EQ(strip.Thumbnail(i).Height, 20);
        EXPECT_EQ(strip.Thumbnail(i).Left, i * 73);
    }
    EXPECT_EQ(strip.StripHeight(), 40);
    strip.setPopupTarget(&strip.Thumbnail(0));
    prompts.answers = {TModalResult::mrOk};
    strip.deleteFrame();
    EXPECT_EQ(strip.Thumbnail(1).Width, 40);
    EXPECT_EQ(strip.Thumbnail(1).Height, 30);
}

TEST_F(FrameStripTest, SourceBitmapsKeepThePictureAsDelivered)
{
    options.AutoSizeOn = false;
    const TBitmap picture = Picture(5, 300, 20, pf32bit);
    strip.AppendFrame(picture);
    const TBitmap& source = *strip.SourceBitmaps()[0];
    EXPECT_EQ(source.Width(), 300);
    EXPECT_EQ(source.PixelFormat(), pf32bit);
    EXPECT_EQ(source.Pixel(299, 19), picture.Pixel(299, 19));
}

TEST_F(FrameStripTest, FailedNormalisationLeavesOneSourcePerThumbnail)
{
    strip.AppendFrame(Picture(1, 8, 8));
    options.AutoSizeOn = false;
    for (const char* bad : {"", "abc", "99999999999", "12 ", "-5"}) {
        options.Width = bad;
        try {
            strip.AppendFrame(Picture(2, 8, 8));
            FAIL() << "width '" << bad << "' was accepted";
        } catch (const Error& e) {
            if (std::string(bad) != "-5") {
                EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
            }
        }
        EXPECT_EQ(strip.Count(), 1);
        EXPECT_EQ(strip.SourceBitmaps().size(), 1u);
    }
}

TEST_F(FrameStripTest, FailedRebuildKeepsEveryFrameAndPassesTheErrorOn)
{
    // Each command ends in a rebuild; under a width the conversion refuses
    // it fails as a whole, so nothing is dropped without a message.
    struct Case {
        const char* what;
        std::function<void()> command;
    };
    const Case cases[] = {
        {"options closed with OK", [&] { strip.RebuildStrip(); }},
        {"delete",
         [&] {
             strip.setPopupTarget(&strip.Thumbnail(1));
             prompts.answers = {TModalResult::mrOk};
             strip.deleteFrame();
         }},
        {"drag", [&] { strip.moveFrame(&strip.Thumbnail(0), &strip.Thumbnail(2)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        strip.removeAllFrames();
        options.AutoSizeOn = true;
        for (int id = 1; id <= 3; ++id)
            strip.AppendFrame(Picture(id, 8 + id, 8));
        std::vector<const TImage*> before;
        for (int i = 0; i < strip.Count(); ++i)
            before.push_back(&strip.Thumbnail(i));
        options.AutoSizeOn = false;
        options.Width = "1,000";
        try {
            c.command();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnInteger);
            EXPECT_STREQ(e.what(), "'1,000' is not a valid integer value");
        }
        ASSERT_EQ(strip.Count(), 3);
        EXPECT_EQ(strip.SourceBitmaps().size(), 3u);
        EXPECT_EQ(Order(), (std::vector<int>{1, 2, 3}));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(&strip.Thumbnail(i), before[static_cast<size_t>(i)]);
            EXPECT_EQ(strip.Thumbnail(i).Tag, i);
            EXPECT_EQ(strip.Thumbnail(i).Width, 9);
        }
        EXPECT_EQ(strip.frameCountText(), "3");
    }
}

TEST_F(FrameStripTest, StatusPanelIsEmptyUntilTheFirstCount)
{
    EXPECT_EQ(strip.frameCountText(), "");
    EXPECT_EQ(strip.StripHeight(), 110);
    strip.FitStripHeight();
    EXPECT_EQ(strip.StripHeight(), 110);
}

TEST_F(FrameStripTest, PopupReferenceDoesNotOutliveItsThumbnail)
{
    strip.AppendFrame(Picture(1, 8, 8));
    strip.setPopupTarget(&strip.Thumbnail(0));
    strip.RebuildStrip();
    EXPECT_EQ(strip.popupTarget(), nullptr);
    strip.deleteFrame();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(strip.Count(), 1);
}

TEST_F(FrameStripTest, FormDestroyReleasesTheSources)
{
    strip.AppendFrame(Picture(1, 8, 8));
    strip.releaseSources();
    EXPECT_TRUE(strip.SourceBitmaps().empty());
}
