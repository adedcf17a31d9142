#include "base/Error.h"
#include "codecs/gif/GifImage.h"
#include "base/ByteStream.h"
#include "GifBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
using namespace abm::test;

namespace {

struct Loaded {
    std::unique_ptr<GifImage> gif = std::make_unique<GifImage>();
    std::vector<std::string> warnings;
    std::string error;  // "" when the load succeeded
};

Loaded load(const std::vector<uint8_t>& bytes, int64_t pixelLimit = kMaxGIFPixels)
{
    Loaded l;
    l.gif->pixelLimit = pixelLimit;
    l.gif->onWarning = [&l](GifImage&, GifSeverity, const std::string& m) { l.warnings.push_back(m); };
    try {
        l.gif->loadFromMemory(bytes.data(), bytes.size());
    } catch (const InvalidGraphicError& e) {
        l.error = e.what();
    }
    return l;
}

const std::vector<uint8_t> k6Pixels = {0, 1, 2, 3, 2, 1};

// A 3 × 2 screen with a 4-colour global table and one full-screen image.
GifStream oneImage()
{
    GifStream f;
    f.header(3, 2, 1).image(0, 0, 3, 2, k6Pixels);
    return f;
}

}  // namespace

TEST(GifImage, LoadsTheScreenTableAndImage)
{
    const Loaded l = load(oneImage().trailer().b);
    ASSERT_EQ(l.error, "");
    EXPECT_EQ(l.gif->version(), "GIF89a");
    EXPECT_EQ(l.gif->width(), 3);
    EXPECT_EQ(l.gif->height(), 2);
    EXPECT_EQ(l.gif->globalColorMap().count(), 4);
    ASSERT_EQ(l.gif->count(), 1);
    EXPECT_EQ(l.gif->images(0).data(), k6Pixels);
    EXPECT_TRUE(l.warnings.empty());
}

TEST(GifImage, HeaderRules)
{
    const auto gif = oneImage().trailer().b;
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string error;
    };
    auto with = [&](std::vector<uint8_t> head, size_t keep) {
        head.insert(head.end(), gif.begin(), gif.begin() + static_cast<long>(std::min(keep, gif.size())));
        return head;
    };
    const Case cases[] = {
        {"4-byte prefix", with({1, 2, 3, 4}, gif.size()), ""},
        {"lower-case signature",
         [&] {
             auto b = gif;
             b[0] = 'g';
             b[1] = 'i';
             b[2] = 'f';
             return b;
         }(),
         ""},
        {"version not checked",
         [&] {
             auto b = gif;
             b[3] = '9';
             b[4] = '9';
             b[5] = 'z';
             return b;
         }(),
         ""},
        {"empty", {}, "Premature end of data"},
        {"5 bytes", with({}, 5), "Premature end of data"},
        {"6 bytes without GIF", {'P', 'N', 'G', '8', '9', 'a'}, "Invalid GIF signature"},
        {"GIF at offset 5", with({0, 0, 0, 0, 0}, gif.size()), "Invalid GIF signature"},
        {"prefix, then signature cut", with({1, 2, 3, 4}, 4), "Premature end of data"},
        {"screen descriptor cut", with({}, 10), "Premature end of data"},
        {"global table cut", with({}, 13 + 11), "Premature end of data"},
    };
    for (const Case& c : cases) {
        const Loaded l = load(c.bytes);
        EXPECT_EQ(l.error, c.error) << c.name;
        if (c.error.empty()) {
            EXPECT_EQ(l.gif->images(0).data(), k6Pixels) << c.name;
        }
    }
}

TEST(GifImage, BlockLoopStopsAndWarnsAsItShould)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> tail;  // after one image
        int count;
        std::vector<std::string> warnings;
    };
    const Case cases[] = {
        {"trailer", {0x3B}, 1, {}},
        {"no trailer", {}, 1, {}},
        {"zero bytes before the trailer", {0, 0, 0x3B}, 1, {}},
        {"bytes after the trailer are not read", {0x3B, 0x21, 0x02}, 1, {}},
        {"unknown block", {0x99, 0x2C}, 1, {"Unknown GIF block type", "Invalid Image trailer"}},
        {"stray byte after an extension ends its sub-image empty",
         {0x21, 0xFE, 1, 'x', 0, 0, 0x3B},
         2,
         {"Invalid extension introducer"}},
    };
    for (const Case& c : cases) {
        const Loaded l = load(oneImage().append(c.tail).b);
        EXPECT_EQ(l.error, "") << c.name;
        EXPECT_EQ(l.gif->count(), c.count) << c.name;
        EXPECT_EQ(l.warnings, c.warnings) << c.name;
    }
    const Loaded none = load(GifStream().header(3, 2, 1).trailer().b);
    EXPECT_EQ(none.error, "");
    EXPECT_EQ(none.gif->count(), 0);
}

// Application, comment and plain text blocks are stepped over whatever they
// hold: an application block of size 10 gives its 11th identifier byte back
// to the sub-blocks, one above 11 has its extra bytes skipped, one below 10
// and an unknown label end the load.
TEST(GifImage, ExtensionRules)
{
    const std::vector<uint8_t> loop = {0x21, 0xFF, 11,  'N', 'E', 'T', 'S', 'C', 'A', 'P',
                                       'E',  '2',  '.', '0', 3,   1,   5,   0,   0};
    const std::vector<uint8_t> text = {0x21, 0x01, 12, 1, 0, 2, 0, 30, 0, 8, 0, 6, 8, 1, 0, 2, 'h', 'i', 0};
    const std::vector<uint8_t> id10 = {0x21, 0xFF, 10,  'A', 'B', 'C', 'D', 'E', 'F',
                                       'G',  'H',  '1', '0', 2,   'x', 'y', 0};
    const std::vector<uint8_t> id12 = {0x21, 0xFF, 12,  'A', 'B', 'C', 'D', 'E', 'F',
                                       'G',  'H',  '1', '2', '3', '+', 1,   'z', 0};
    const std::vector<uint8_t> id9 = {0x21, 0xFF, 9, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', 0};
    const std::vector<uint8_t> unknown = {0x21, 0x02, 0};
    for (const auto& [block, error] : {std::pair{loop, ""}, std::pair{text, ""}, std::pair{id10, ""},
                                       std::pair{id12, ""}, std::pair{GifStream().comment("by hand").b, ""},
                                       std::pair{id9, "Unsupported Application Extension block size"},
                                       std::pair{unknown, "Unknown extension type"}}) {
        const Loaded l = load(oneImage().append(block).image(0, 0, 3, 2, k6Pixels).trailer().b);
        EXPECT_EQ(l.error, error);
        EXPECT_TRUE(l.warnings.empty());
        ASSERT_EQ(l.gif->count(), error[0] ? 1 : 2);  // what was read before stays
        EXPECT_EQ(l.gif->images(l.gif->count() - 1).data(), k6Pixels);
    }
}

TEST(GifImage, GraphicControlIsSixBytesAndTheFirstOneGivesTheIndex)
{
    // Block size byte 0: the fields are still taken from their places.
    const Loaded l = load(GifStream()
                              .header(3, 2, 1)
                              .bytes({0x21, 0xF9, 0, 0x04, 10, 0, 3, 0})
                              .gce(0x01, 1)
                              .image(0, 0, 3, 2, k6Pixels, 2, 0, {.endCode = false})
                              .trailer()
                              .b);
    ASSERT_EQ(l.error, "");
    const GifGraphicControl& control = l.gif->images(0).graphicControl();
    EXPECT_TRUE(control.transparent);
    EXPECT_EQ(control.transparentIndex, 3);
    EXPECT_EQ(control.delay, 10);
    EXPECT_EQ(control.disposal, 1);

    const Loaded cut = load(oneImage().bytes({0x21, 0xF9, 4, 1}).b);
    EXPECT_EQ(cut.error, "");
    EXPECT_EQ(cut.warnings, std::vector<std::string>{"Premature end of data"});
}

TEST(GifImage, TrailingLoneGraphicControlMakesAnEmptySubImage)
{
    GifStream f;
    f.header(3, 2, 1);
    for (int i = 0; i < 4; ++i)
        f.gce(0, 0).image(0, 0, 3, 2, k6Pixels);
    const Loaded l = load(f.gce(0, 0).trailer().b);
    ASSERT_EQ(l.error, "");
    ASSERT_EQ(l.gif->count(), 5);
    EXPECT_FALSE(l.gif->images(3).empty());
    EXPECT_TRUE(l.gif->images(4).empty());
    EXPECT_EQ(l.gif->images(4).raster(), nullptr);
}

TEST(GifImage, MissingPixelsKeepTheFillValue)
{
    struct Case {
        const char* name;
        bool transparent;
        std::vector<uint8_t> data;  // after the minimum code size byte
        std::vector<uint8_t> pixels;
    };
    const auto two = lzwEncode({2, 1}, 2);
    const auto all = lzwEncode(k6Pixels, 2);
    const Case cases[] = {
        {"end code early", false, subBlocks(two), {2, 1, 0, 0, 0, 0}},
        {"end code early, transparent", true, subBlocks(two), {2, 1, 3, 3, 3, 3}},
        {"file ends in a block", true, {static_cast<uint8_t>(all.size() + 9), all[0]}, {0, 3, 3, 3, 3, 3}},
        {"no data at all", true, {}, {3, 3, 3, 3, 3, 3}},
    };
    for (const Case& c : cases) {
        GifStream f;
        f.header(3, 2, 1);
        if (c.transparent)
            f.gce(1, 3);
        f.descriptor(0, 0, 3, 2).bytes({2}).append(c.data);
        const Loaded l = load(f.b);
        EXPECT_EQ(l.error, "") << c.name;
        ASSERT_EQ(l.gif->count(), 1) << c.name;
        EXPECT_EQ(l.gif->images(0).data(), c.pixels) << c.name;
    }
}

TEST(GifImage, ZeroWidthOrHeightTakesTheScreenSize)
{
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 9}, std::pair{9, 0}}) {
        const Loaded l = load(GifStream().header(3, 2, 1).image(0, 0, w, h, k6Pixels).trailer().b);
        ASSERT_EQ(l.error, "");
        const GifSubImage& s = l.gif->images(0);
        EXPECT_EQ(s.width(), 3);
        EXPECT_EQ(s.height(), 2);
        EXPECT_EQ(s.data(), k6Pixels);
        EXPECT_EQ(l.warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
    }
}

TEST(GifImage, ImageDataSpacingDoesNotMatter)
{
    // One-byte sub-blocks, data past the end code, data without one: the
    // next image is still found where it starts.
    const auto pixels = lzwEncode(k6Pixels, 2);
    auto extra = pixels;
    extra.insert(extra.end(), {0x2C, 0x21, 0x3B, 0xFF});
    GifStream f;
    f.header(3, 2, 1);
    f.descriptor(0, 0, 3, 2).bytes({2}).append(subBlocks(pixels, 1));
    f.descriptor(0, 0, 3, 2).bytes({2}).append(subBlocks(extra, 2));
    f.descriptor(0, 0, 1, 1).bytes({2}).append(subBlocks(pixels));  // 6 pixels of data for 1
    f.image(0, 0, 3, 2, k6Pixels).trailer();
    const Loaded l = load(f.b);
    ASSERT_EQ(l.error, "");
    ASSERT_EQ(l.gif->count(), 4);
    for (int i : {0, 1, 3})
        EXPECT_EQ(l.gif->images(i).data(), k6Pixels) << i;
    EXPECT_TRUE(l.warnings.empty());
}

TEST(GifImage, RefusesHostileSizesBeforeReservingMemory)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int64_t limit;
        std::string error;
    };
    const std::string tooLarge = "GIF image is too large";
    const Case cases[] = {
        {"65535 x 65535 image", GifStream().header(1, 1, 1).image(0, 0, 65535, 65535, {0}).b, kMaxGIFPixels, tooLarge},
        {"zero size on a 65535 x 65535 screen", GifStream().header(65535, 65535, 1).image(0, 0, 0, 0, {0}).b,
         kMaxGIFPixels, tooLarge},
        {"images together past the limit", oneImage().image(0, 0, 3, 2, k6Pixels).b, 11, tooLarge},
        {"images together at the limit", oneImage().image(0, 0, 3, 2, k6Pixels).b, 12, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(load(c.bytes, c.limit).error, c.error) << c.name;
}

// The blocks are read first and every image decoded after them, as if in one
// pass: an image's decoding error still comes before a block error after it.
// In between, the picture's sizes are known and no pixel is decoded.
TEST(GifImage, BlocksAreReadBeforeThePixelsAndErrorsKeepFileOrder)
{
    std::vector<std::pair<int, size_t>> seen;  // width and pixels of each image
    GifImage gif;
    gif.onBlocksRead = [&seen](const GifImage& g) {
        for (int i = 0; i < g.count(); ++i)
            seen.emplace_back(g.images(i).width(), g.images(i).data().size());
    };
    const auto two = oneImage().image(1, 0, 2, 1, {3, 3}).trailer().b;
    gif.loadFromMemory(two.data(), two.size());
    EXPECT_EQ(seen, (std::vector<std::pair<int, size_t>>{{3, 0}, {2, 0}}));
    EXPECT_EQ(gif.images(1).data(), (std::vector<uint8_t>{3, 3}));

    const Loaded badCodeFirst =
        load(GifStream().header(3, 2, 1).descriptor(0, 0, 3, 2).bytes({12, 1, 0, 0, 0x21, 0x02, 0}).b);
    EXPECT_EQ(badCodeFirst.error, "Invalid LZW minimum code size");
    EXPECT_EQ(badCodeFirst.gif->count(), 0);

    gif.onBlocksRead = [](const GifImage&) { throw MemoryLimitExceeded(2, 1); };
    EXPECT_THROW(gif.loadFromMemory(two.data(), two.size()), MemoryLimitExceeded);
    EXPECT_TRUE(gif.images(0).data().empty());
}

TEST(GifImage, StreamPositionAfterSuccessAndFailure)
{
    std::vector<uint8_t> bytes = {7, 7, 7};
    const auto gif = oneImage().trailer().b;
    bytes.insert(bytes.end(), gif.begin(), gif.end());
    bytes.insert(bytes.end(), {1, 2, 3});
    MemoryStream good(bytes);
    good.setPosition(3);
    GifImage image;
    image.loadFromStream(good);
    EXPECT_EQ(good.position(), static_cast<int64_t>(3 + gif.size()));
    EXPECT_EQ(image.count(), 1);

    MemoryStream bad(oneImage().bytes({0x21, 0x02}).b);
    bad.setPosition(0);
    EXPECT_THROW(image.loadFromStream(bad), InvalidGraphicError);
    EXPECT_EQ(bad.position(), 0);
    EXPECT_EQ(image.count(), 1);
    EXPECT_EQ(image.width(), 3);
}

TEST(GifImage, FileAndIndexErrors)
{
    GifImage image;
    EXPECT_EQ(kindOfError([&] { image.loadFromFile("/nonexistent/x.gif"); }), ErrorKind::FileOpen);
    TempDir dir;
    writeFile(dir / "a.gif", oneImage().trailer().b);
    image.loadFromFile(dir / "a.gif");
    ASSERT_EQ(image.count(), 1);
    for (int index : {-1, 1}) {
        try {
            image.images(index);
            ADD_FAILURE() << "no error for " << index;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::ListIndexOutOfBounds);
            EXPECT_EQ(e.what(), "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
}
