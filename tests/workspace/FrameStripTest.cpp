#include "workspace/FrameStrip.h"
#include "workspace/StripCommands.h"
#include "workspace/StripLayout.h"
#include "MemorySettings.h"
#include "base/Error.h"
#include "ScriptedPrompts.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <functional>

using namespace abm;
using abm::test::makeRaster;

namespace {

// A picture whose every pixel tells its frame id and position.
Raster makePicture(int id, int w, int h, PixelFormat format = PixelFormat::Bgr888)
{
    return makeRaster(w, h, format, [id](int x, int y) {
        return static_cast<uint32_t>(((id * 40) & 0xFF) << 16 | ((x * 3) & 0xFF) << 8 | ((y * 5) & 0xFF));
    });
}

uint16_t px(const Raster& b, int x, int y)
{
    const uint8_t* row = b.row(y);
    return static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
}

// The frame id painted into the red channel of a 16-bit frame pixel.
int idAt(const Raster& b, int x, int y)
{
    return ((px(b, x, y) >> 11) << 3) / 40;
}

class FrameStripTest : public ::testing::Test {
protected:
    FrameOptions options;
    abm::test::ScriptedPrompts prompts;
    abm::test::MemorySettings settings;
    FrameStrip strip{options};
    StripCommands commands{strip, prompts, settings};

    std::optional<int> shownCount() const { return commands.display().frameCount; }
    int stripHeight() const { return commands.display().stripHeight; }
    int64_t left(int i) const { return StripLayout::thumbnail(i, strip.frame(i).width, strip.frame(i).height).left; }

    std::vector<int> order() const
    {
        std::vector<int> ids;
        for (int i = 0; i < strip.count(); ++i)
            ids.push_back(idAt(strip.frame(i).picture, 0, 0));
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
        strip.clear();
        options.width = 20;
        options.height = 10;
        options.autoSize = c.autoSize;
        options.stretch = c.stretch;
        strip.setOptions(options);
        strip.append(makePicture(1, 60, 40));
        strip.append(makePicture(2, 30, 50));
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(strip.frame(i).width, c.controlW);
            EXPECT_EQ(strip.frame(i).height, c.controlH);
            EXPECT_EQ(strip.frame(i).picture.pixelFormat(), PixelFormat::Rgb565);
        }
        const Raster& second = strip.frame(1).picture;
        EXPECT_EQ(second.width(), c.rasterW);
        EXPECT_EQ(second.height(), c.rasterH);
        EXPECT_EQ(left(1), 3 + c.controlW);
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
    options.autoSize = false;
    strip.setOptions(options);
    strip.append(makePicture(1, 200, 150));
    const Raster& big = strip.frame(0).picture;
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
                    b.row(y)[format == PixelFormat::Indexed8 ? x : x / 8] |=
                        format == PixelFormat::Indexed8 ? 1 : 0x80 >> (x % 8);
        return b;
    };
    const Case cases[] = {
        {"24-bit", makePicture(2, 50, 40)},
        {"8-bit without white", indexed(PixelFormat::Indexed8)},
        {"1-bit without white", indexed(PixelFormat::Indexed1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        strip.append(c.picture);
        const Frame& t = strip.frame(strip.count() - 1);
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
    EXPECT_EQ(left(1), 131);
}

TEST_F(FrameStripTest, ShrinkingAndGrowingTheOptionsRestoresTheSameRasters)
{
    options.autoSize = false;
    strip.setOptions(options);
    for (int id = 1; id <= 3; ++id)
        strip.append(makePicture(id, 100 + id * 20, 90 + id * 5));
    std::vector<std::vector<uint8_t>> before;
    for (int i = 0; i < strip.count(); ++i)
        before.push_back(strip.frame(i).picture.image().bits);
    options.width = options.height = 32;
    strip.setOptions(options);
    strip.renormalize();
    EXPECT_EQ(strip.frame(2).picture.width(), 32);
    strip.setOptions(FrameOptions{.autoSize = false});
    strip.renormalize();
    for (int i = 0; i < strip.count(); ++i)
        EXPECT_EQ(strip.frame(i).picture.image().bits, before[static_cast<size_t>(i)]) << i;
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
        strip.clear();
        for (int id = 1; id <= 4; ++id)
            strip.append(makePicture(id, 8, 8));
        const uint64_t before = strip.generation();
        commands.moveFrame(c.from, c.to);
        EXPECT_EQ(order(), c.expected) << c.from << " onto " << c.to;
        EXPECT_GT(strip.generation(), before);  // rebuilt even when the order stays
    }
}

TEST_F(FrameStripTest, DroppingOutsideAnyThumbnailChangesNothing)
{
    for (int id = 1; id <= 3; ++id)
        strip.append(makePicture(id, 8, 8));
    const uint64_t before = strip.generation();
    for (const auto& [from, to] : {std::pair{0, -1}, {0, 3}, {-1, 1}})
        commands.moveFrame(from, to);
    EXPECT_EQ(strip.generation(), before);
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));
}

TEST_F(FrameStripTest, DeleteAskedAndAnsweredBothWays)
{
    for (int id = 1; id <= 3; ++id)
        strip.append(makePicture(id, 8, 8));

    prompts.answers = {MessageAnswer::cancel};
    commands.deleteFrame(1);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Удалить?");
    EXPECT_EQ(prompts.messages[0].buttons, (std::vector<MessageButton>{MessageButton::ok, MessageButton::cancel}));
    EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));

    prompts.answers = {MessageAnswer::ok};
    commands.deleteFrame(1);
    EXPECT_EQ(order(), (std::vector<int>{1, 3}));
    EXPECT_EQ(shownCount(), 2);
    EXPECT_EQ(left(1), 11);

    for (int i = 0; i < 2; ++i) {
        prompts.answers = {MessageAnswer::ok};
        commands.deleteFrame(0);
    }
    EXPECT_EQ(strip.count(), 0);
    EXPECT_EQ(shownCount(), 0);
    EXPECT_FALSE(commands.canSave());
}

TEST_F(FrameStripTest, ClearAskedAndAnsweredBothWays)
{
    for (int id = 1; id <= 2; ++id)
        strip.append(makePicture(id, 10, 97));
    EXPECT_TRUE(commands.canSave());

    prompts.answers = {MessageAnswer::no};
    commands.clear();
    EXPECT_EQ(strip.count(), 2);
    EXPECT_EQ(prompts.messages.back().text, "Очистить?");
    EXPECT_EQ(prompts.messages.back().buttons, (std::vector<MessageButton>{MessageButton::no, MessageButton::ok}));

    EXPECT_EQ(shownCount(), std::nullopt);
    commands.setStripHeight(150);
    prompts.answers = {MessageAnswer::ok};
    commands.clear();
    EXPECT_EQ(strip.count(), 0);
    EXPECT_EQ(shownCount(), 0);
    EXPECT_EQ(stripHeight(), 150);  // a clear keeps the height the user gave
    EXPECT_FALSE(commands.canSave());
}

TEST_F(FrameStripTest, AutoSizeFollowsTheFirstFrameAfterDeleteAndDrag)
{
    strip.append(makePicture(1, 40, 30));
    strip.append(makePicture(2, 70, 20));
    strip.append(makePicture(3, 10, 10));
    EXPECT_EQ(strip.frame(2).width, 40);
    commands.moveFrame(1, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(strip.frame(i).width, 70);
        EXPECT_EQ(strip.frame(i).height, 20);
        EXPECT_EQ(left(i), i * 73);
    }
    EXPECT_EQ(stripHeight(), 40);
    prompts.answers = {MessageAnswer::ok};
    commands.deleteFrame(0);
    EXPECT_EQ(strip.frame(1).width, 40);
    EXPECT_EQ(strip.frame(1).height, 30);
}

TEST_F(FrameStripTest, SourceBitmapsKeepThePictureAsDelivered)
{
    strip.setOptions(FrameOptions{.autoSize = false});
    const Raster picture = makePicture(5, 300, 20, PixelFormat::Bgrx8888);
    strip.append(picture);
    const Raster& source = strip.frame(0).source.raster();
    EXPECT_EQ(source.width(), 300);
    EXPECT_EQ(source.pixelFormat(), PixelFormat::Bgrx8888);
    EXPECT_EQ(source.pixel(299, 19), picture.pixel(299, 19));
}

TEST_F(FrameStripTest, FailedNormalisationLeavesOneSourcePerThumbnail)
{
    strip.append(makePicture(1, 8, 8));
    options.autoSize = false;
    for (const char* bad : {"", "abc", "99999999999", "12 ", "-5"}) {
        options.width = FrameDimension::fromText(bad);
        strip.setOptions(options);
        try {
            strip.append(makePicture(2, 8, 8));
            FAIL() << "width '" << bad << "' was accepted";
        } catch (const Error& e) {
            if (std::string(bad) != "-5") {
                EXPECT_EQ(std::string(e.what()), std::string("'") + bad + "' is not a valid integer value");
            }
        }
        EXPECT_EQ(strip.count(), 1);
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
        {"options closed with OK", [&] { commands.applyOptions(options); }},
        {"delete",
         [&] {
             prompts.answers = {MessageAnswer::ok};
             commands.deleteFrame(1);
         }},
        {"drag", [&] { commands.moveFrame(0, 2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        strip.clear();
        strip.setOptions({});
        for (int id = 1; id <= 3; ++id)
            strip.append(makePicture(id, 8 + id, 8));
        std::vector<const Frame*> before;
        for (int i = 0; i < strip.count(); ++i)
            before.push_back(&strip.frame(i));
        options.autoSize = false;
        options.width = FrameDimension::fromText("1,000");
        strip.setOptions(options);
        try {
            c.command();
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::NotAnInteger);
            EXPECT_STREQ(e.what(), "'1,000' is not a valid integer value");
        }
        ASSERT_EQ(strip.count(), 3);
        EXPECT_EQ(order(), (std::vector<int>{1, 2, 3}));
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(&strip.frame(i), before[static_cast<size_t>(i)]);
            EXPECT_EQ(strip.frame(i).width, 9);
        }
        EXPECT_EQ(shownCount(), 3);
    }
}
