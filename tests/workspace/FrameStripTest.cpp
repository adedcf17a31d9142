#include "workspace/FrameStrip.h"
#include "base/Error.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace abm;
using abm::test::makeRaster;

namespace {

// A picture whose every pixel tells its frame id and position.
Raster makePicture(int id, int w, int h, PixelFormat format = pf24bit)
{
    return makeRaster(w, h, format, [id](int x, int y) {
        return static_cast<uint32_t>(((id * 40) & 0xFF) << 16 | ((x * 3) & 0xFF) << 8 | ((y * 5) & 0xFF));
    });
}

uint16_t px(const Raster& b, int x, int y)
{
    const uint8_t* row = b.scanLine(y);
    return static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
}

// The frame id painted into the red channel of a 16-bit frame pixel.
int idAt(const Raster& b, int x, int y)
{
    return ((px(b, x, y) >> 11) << 3) / 40;
}

class FrameStripTest : public ::testing::Test {
protected:
    FrameOptionValues options;
    abm::test::ScriptedPrompts prompts;
    FrameStrip strip{options, prompts};

    std::vector<int> order() const
    {
        std::vector<int> ids;
        for (int i = 0; i < strip.count(); ++i)
            ids.push_back(idAt(strip.thumbnail(i).picture, 0, 0));
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
        options.width = "20";
        options.height = "10";
        options.autoSizeOn = c.autoSize;
        options.stretchOn = c.stretch;
        strip.appendFrame(makePicture(1, 60, 40));
        strip.appendFrame(makePicture(2, 30, 50));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(strip.thumbnail(i).width, c.controlW);
            EXPECT_EQ(strip.thumbnail(i).height, c.controlH);
            EXPECT_EQ(strip.thumbnail(i).picture.pixelFormat(), pf16bit);
            EXPECT_TRUE(strip.thumbnail(i).visible);
            EXPECT_EQ(strip.thumbnail(i).top, 0);
        }
        const Raster& second = strip.thumbnail(1).picture;
        EXPECT_EQ(second.width(), c.rasterW);
        EXPECT_EQ(second.height(), c.rasterH);
        EXPECT_EQ(strip.thumbnail(1).left, 3 + c.controlW);
        // Stretching scales the whole picture: the last raster row shows the
        // source row that nearest-neighbour sampling maps onto it.
        if (c.stretch) {
            const int sourceRow = (second.height() - 1) * 50 / second.height();
            const uint16_t corner = px(second, second.width() - 1, second.height() - 1);
            EXPECT_EQ(corner & 0x1F, toRgb565(0, 0, static_cast<uint8_t>(sourceRow * 5)) & 0x1F);
            EXPECT_GT(sourceRow, 40);
        }
    }
}

TEST_F(FrameStripTest, FixedSizeCropsLargePicturesAndPadsSmallOnesWithWhite)
{
    options.autoSizeOn = false;
    strip.appendFrame(makePicture(1, 200, 150));
    const Raster& big = strip.thumbnail(0).picture;
    ASSERT_EQ(big.width(), 128);
    ASSERT_EQ(big.height(), 97);
    EXPECT_EQ(px(big, 127, 96), toRgb565(40, (127 * 3) & 0xFF, (96 * 5) & 0xFF));

    // Indexed pictures too, whatever their palette's lightest colour.
    struct Case {
        const char* name;
        Raster picture;
    };
    const Palette greys = {{0, 0, 0}, {90, 90, 90}, {200, 200, 200}};
    const auto indexed = [&greys](PixelFormat format) {
        Raster b;
        b.create(50, 40, PixelLayout::forFormat(format), greys);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 50; ++x)
                if ((x + y) % 2)
                    b.scanLine(y)[format == pf8bit ? x : x / 8] |= format == pf8bit ? 1 : 0x80 >> (x % 8);
        return b;
    };
    const Case cases[] = {
        {"24-bit", makePicture(2, 50, 40)},
        {"8-bit without white", indexed(pf8bit)},
        {"1-bit without white", indexed(pf1bit)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        strip.appendFrame(c.picture);
        const Thumbnail& t = strip.thumbnail(strip.count() - 1);
        ASSERT_EQ(t.picture.width(), 128);
        for (int x : {48, 49}) {
            const Color inside = c.picture.pixel(x, 39);
            EXPECT_EQ(px(t.picture, x, 39), toRgb565(redOf(inside), greenOf(inside), blueOf(inside)));
        }
        EXPECT_EQ(px(t.picture, 50, 0), 0xFFFF);
        EXPECT_EQ(px(t.picture, 0, 40), 0xFFFF);
        EXPECT_EQ(px(t.picture, 127, 96), 0xFFFF);
        EXPECT_EQ(t.picture.palette(), c.picture.palette());
    }
    EXPECT_EQ(strip.thumbnail(1).left, 131);
}

TEST_F(FrameStripTest, ShrinkingAndGrowingTheOptionsRestoresTheSameRasters)
{
    options.autoSizeOn = false;
    for (int id = 1; id <= 3; ++id)
        strip.appendFrame(makePicture(id, 100 + id * 20, 90 + id * 5));
    std::vector<std::vector<uint8_t>> before;
    for (int i = 0; i < strip.count(); ++i)
        before.push_back(strip.thumbnail(i).picture.image().bits);
    options.width = options.height = "32";
    strip.rebuildStrip();
    EXPECT_EQ(strip.thumbnail(2).picture.width(), 32);
    options.width = "128";
    options.height = "97";
    strip.rebuildStrip();
    for (int i = 0; i < strip.count(); ++i)
        EXPECT_EQ(strip.thumbnail(i).picture.image().bits, before[static_cast<size_t>(i)]) << i;
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
            strip.appendFrame(makePicture(id, 8, 8));
        const uint64_t before = strip.generation();
        Thumbnail* dragged = &strip.thumbnail(c.from);
        strip.moveFrame(dragged, &strip.thumbnail(c.to));
        EXPECT_EQ(order(), c.expected) << c.from << " onto " << c.to;
        EXPECT_GT(strip.generation(), before);  // rebuilt even when the order stays
    }
}

TEST_F(FrameStripTest, DroppingOutsideAnyThumbnailChangesNothing)
{
    for (int id = 1; id <= 3; ++id)
        strip.appendFrame(makePicture(id, 8, 8));
    Thumbnail* first = &strip.thumbnail(0);
    strip.moveFrame(first, nullptr);
    EXPECT_EQ(&strip.thumbnail(0), first);
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));
    Thumbnail stranger;
    strip.moveFrame(first, &stranger);
    EXPECT_EQ(&strip.thumbnail(0), first);
    EXPECT_TRUE(strip.acceptsDrag(first, &strip.thumbnail(2)));
}

TEST_F(FrameStripTest, DeleteAskedAndAnsweredBothWays)
{
    for (int id = 1; id <= 3; ++id)
        strip.appendFrame(makePicture(id, 8, 8));
    strip.updateCommandStates();

    strip.deleteFrame();  // no recorded thumbnail: nothing asked
    EXPECT_TRUE(prompts.messages.empty());

    strip.setPopupTarget(&strip.thumbnail(1));
    prompts.answers = {MessageAnswer::cancel};
    strip.deleteFrame();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Удалить?");
    EXPECT_EQ(prompts.messages[0].buttons, (std::vector<MessageButton>{MessageButton::ok, MessageButton::cancel}));
    EXPECT_EQ(strip.popupTarget(), nullptr);
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));

    strip.setPopupTarget(&strip.thumbnail(1));
    prompts.answers = {MessageAnswer::ok};
    strip.deleteFrame();
    EXPECT_EQ(order(), (std::vector<int>{1, 3}));
    EXPECT_EQ(strip.popupTarget(), nullptr);
    EXPECT_EQ(strip.frameCountText(), "2");
    EXPECT_EQ(strip.thumbnail(1).tag, 1);
    EXPECT_EQ(strip.thumbnail(1).left, 11);

    strip.setPopupTarget(&strip.thumbnail(0));
    strip.setPopupTarget(nullptr);  // opened elsewhere: the recorded thumbnail stays
    EXPECT_EQ(strip.popupTarget(), &strip.thumbnail(0));
    prompts.answers = {MessageAnswer::ok};
    strip.deleteFrame();
    prompts.answers = {MessageAnswer::ok};
    strip.setPopupTarget(&strip.thumbnail(0));
    strip.deleteFrame();
    EXPECT_EQ(strip.count(), 0);
    EXPECT_EQ(strip.frameCountText(), "0");
    EXPECT_FALSE(strip.canExportBmp());
    EXPECT_FALSE(strip.canSaveAbm());
    EXPECT_FALSE(strip.canClear());
}

TEST_F(FrameStripTest, ClearAskedAndAnsweredBothWays)
{
    for (int id = 1; id <= 2; ++id)
        strip.appendFrame(makePicture(id, 10, 97));
    strip.fitStripHeight();
    strip.updateCommandStates();
    EXPECT_EQ(strip.stripHeight(), 117);

    prompts.answers = {MessageAnswer::no};
    strip.clearStrip();
    EXPECT_EQ(strip.count(), 2);
    EXPECT_EQ(prompts.messages.back().text, "Очистить?");
    EXPECT_EQ(prompts.messages.back().buttons, (std::vector<MessageButton>{MessageButton::no, MessageButton::ok}));

    prompts.answers = {MessageAnswer::ok};
    strip.clearStrip();
    EXPECT_EQ(strip.count(), 0);
    EXPECT_TRUE(strip.sourceBitmaps().empty());
    EXPECT_EQ(strip.frameCountText(), "0");
    EXPECT_EQ(strip.stripHeight(), 117);
    EXPECT_FALSE(strip.canClear());
}

TEST_F(FrameStripTest, AutoSizeFollowsTheFirstFrameAfterDeleteAndDrag)
{
    strip.appendFrame(makePicture(1, 40, 30));
    strip.appendFrame(makePicture(2, 70, 20));
    strip.appendFrame(makePicture(3, 10, 10));
    EXPECT_EQ(strip.thumbnail(2).width, 40);
    strip.moveFrame(&strip.thumbnail(1), &strip.thumbnail(0));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(strip.thumbnail(i).width, 70);
        EXPECT_EQ(strip.thumbnail(i).height, 20);
        EXPECT_EQ(strip.thumbnail(i).left, i * 73);
    }
    EXPECT_EQ(strip.stripHeight(), 40);
    strip.setPopupTarget(&strip.thumbnail(0));
    prompts.answers = {MessageAnswer::ok};
    strip.deleteFrame();
    EXPECT_EQ(strip.thumbnail(1).width, 40);
    EXPECT_EQ(strip.thumbnail(1).height, 30);
}

TEST_F(FrameStripTest, SourceBitmapsKeepThePictureAsDelivered)
{
    options.autoSizeOn = false;
    const Raster picture = makePicture(5, 300, 20, pf32bit);
    strip.appendFrame(picture);
    const Raster& source = *strip.sourceBitmaps()[0];
    EXPECT_EQ(source.width(), 300);
    EXPECT_EQ(source.pixelFormat(), pf32bit);
    EXPECT_EQ(source.pixel(299, 19), picture.pixel(299, 19));
}

TEST_F(FrameStripTest, FailedNormalisationLeavesOneSourcePerThumbnail)
{
    strip.appendFrame(makePicture(1, 8, 8));
    options.autoSizeOn = false;
    for (const char* bad : {"", "abc", "99999999999", "12 ", "-5"}) {
        options.width = bad;
        try {
            strip.appendFrame(makePicture(2, 8, 8));
            FAIL() << "width '" << bad << "' was accepted";
        } catch (const Error& e) {
            if (std::string(bad) != "-5") {
                EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
            }
        }
        EXPECT_EQ(strip.count(), 1);
        EXPECT_EQ(strip.sourceBitmaps().size(), 1u);
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
        {"options closed with OK", [&] { strip.rebuildStrip(); }},
        {"delete",
         [&] {
             strip.setPopupTarget(&strip.thumbnail(1));
             prompts.answers = {MessageAnswer::ok};
             strip.deleteFrame();
         }},
        {"drag", [&] { strip.moveFrame(&strip.thumbnail(0), &strip.thumbnail(2)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        strip.removeAllFrames();
        options.autoSizeOn = true;
        for (int id = 1; id <= 3; ++id)
            strip.appendFrame(makePicture(id, 8 + id, 8));
        std::vector<const Thumbnail*> before;
        for (int i = 0; i < strip.count(); ++i)
            before.push_back(&strip.thumbnail(i));
        options.autoSizeOn = false;
        options.width = "1,000";
        try {
            c.command();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnInteger);
            EXPECT_STREQ(e.what(), "'1,000' is not a valid integer value");
        }
        ASSERT_EQ(strip.count(), 3);
        EXPECT_EQ(strip.sourceBitmaps().size(), 3u);
        EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(&strip.thumbnail(i), before[static_cast<size_t>(i)]);
            EXPECT_EQ(strip.thumbnail(i).tag, i);
            EXPECT_EQ(strip.thumbnail(i).width, 9);
        }
        EXPECT_EQ(strip.frameCountText(), "3");
    }
}

TEST_F(FrameStripTest, StatusPanelIsEmptyUntilTheFirstCount)
{
    EXPECT_EQ(strip.frameCountText(), "");
    EXPECT_EQ(strip.stripHeight(), 110);
    strip.fitStripHeight();
    EXPECT_EQ(strip.stripHeight(), 110);
}

TEST_F(FrameStripTest, PopupReferenceDoesNotOutliveItsThumbnail)
{
    strip.appendFrame(makePicture(1, 8, 8));
    strip.setPopupTarget(&strip.thumbnail(0));
    strip.rebuildStrip();
    EXPECT_EQ(strip.popupTarget(), nullptr);
    strip.deleteFrame();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(strip.count(), 1);
}

TEST_F(FrameStripTest, FormDestroyReleasesTheSources)
{
    strip.appendFrame(makePicture(1, 8, 8));
    strip.releaseSources();
    EXPECT_TRUE(strip.sourceBitmaps().empty());
}
