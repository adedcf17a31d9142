#include "codecs/gif/GIFAppExtNSLoop.h"
#include "codecs/gif/GIFCommentExtension.h"
#include "base/Error.h"
#include "codecs/gif/GIFGraphicControlExtension.h"
#include "codecs/gif/GIFImage.h"
#include "codecs/gif/GIFTextExtension.h"
#include "base/ByteStream.h"
#include "GifBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
using namespace abm::test;

namespace {

struct Loaded {
    std::unique_ptr<TGIFImage> gif = std::make_unique<TGIFImage>();
    std::vector<std::string> warnings;
    std::string error;  // "" when the load succeeded
};

Loaded Load(const std::vector<uint8_t>& bytes, int64_t pixelLimit = kMaxGIFPixels)
{
    Loaded l;
    l.gif->PixelLimit = pixelLimit;
    l.gif->OnWarning = [&l](TGIFImage&, TGIFSeverity, const std::string& m) { l.warnings.push_back(m); };
    try {
        l.gif->LoadFromMemory(bytes.data(), bytes.size());
    } catch (const InvalidGraphicError& e) {
        l.error = e.what();
    }
    return l;
}

const std::vector<uint8_t> k6Pixels = {0, 1, 2, 3, 2, 1};

// A 3 × 2 screen with a 4-colour global table and one full-screen image.
GifStream OneImage()
{
    GifStream f;
    f.Header(3, 2, 1).Image(0, 0, 3, 2, k6Pixels);
    return f;
}

}  // namespace

TEST(GIFImage, LoadsTheScreenTableAndImage)
{
    const Loaded l = Load(OneImage().Trailer().b);
    ASSERT_EQ(l.error, "");
    EXPECT_EQ(l.gif->Version(), "GIF89a");
    EXPECT_EQ(l.gif->Width(), 3);
    EXPECT_EQ(l.gif->Height(), 2);
    EXPECT_EQ(l.gif->GlobalColorMap().Count(), 4);
    ASSERT_EQ(l.gif->Count(), 1);
    EXPECT_EQ(l.gif->Images(0).Data(), k6Pixels);
    EXPECT_TRUE(l.warnings.empty());
}

TEST(GIFImage, HeaderRules)
{
    const auto gif = OneImage().Trailer().b;
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
        {"lower-case signature", [&] { auto b = gif; b[0] = 'g'; b[1] = 'i'; b[2] = 'f'; return b; }(), ""},
        {"version not checked", [&] { auto b = gif; b[3] = '9'; b[4] = '9'; b[5] = 'z'; return b; }(), ""},
        {"empty", {}, "Premature end of data"},
        {"5 bytes", with({}, 5), "Premature end of data"},
        {"6 bytes without GIF", {'P', 'N', 'G', '8', '9', 'a'}, "Invalid GIF signature"},
        {"GIF at offset 5", with({0, 0, 0, 0, 0}, gif.size()), "Invalid GIF signature"},
        {"prefix, then signature cut", with({1, 2, 3, 4}, 4), "Premature end of data"},
        {"screen descriptor cut", with({}, 10), "Premature end of data"},
        {"global table cut", with({}, 13 + 11), "Premature end of data"},
    };
    for (const Case& c : cases) {
        const Loaded l = Load(c.bytes);
        EXPECT_EQ(l.error, c.error) << c.name;
        if (c.error.empty()) {
            EXPECT_EQ(l.gif->Images(0).Data(), k6Pixels) << c.name;
        }
    }
}

TEST(GIFImage, BlockLoopStopsAndWarnsAsItShould)
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
        {"stray byte after an extension ends its sub-image empty", {0x21, 0xFE, 1, 'x', 0, 0, 0x3B}, 2,
         {"Invalid extension introducer"}},
    };
    for (const Case& c : cases) {
        const Loaded l = Load(OneImage().Append(c.tail).b);
        EXPECT_EQ(l.error, "") << c.name;
        EXPECT_EQ(l.gif->Count(), c.count) << c.name;
        EXPECT_EQ(l.warnings, c.warnings) << c.name;
    }
    const Loaded none = Load(GifStream().Header(3, 2, 1).Trailer().b);
    EXPECT_EQ(none.error, "");
    EXPECT_EQ(none.gif->Count(), 0);
}

TEST(GIFImage, ExtensionRules)
{
    // NETSCAPE loop count 5 in a well-formed application block.
    const Loaded loop = Load(GifStream()
                                 .Header(3, 2, 1)
                                 .Bytes({0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 5, 0, 0})
                                 .Comment("made by hand")
                                 .Bytes({0x21, 0x01, 12, 1, 0, 2, 0, 30, 0, 8, 0, 6, 8, 1, 0})
                                 .Append(SubBlocks({'h', 'i'}))
                                 .Image(0, 0, 3, 2, k6Pixels)
                                 .Trailer()
                                 .b);
    ASSERT_EQ(loop.error, "");
    const auto& ext = loop.gif->Images(0).Extensions();
    ASSERT_EQ(ext.size(), 3u);
    auto* ns = dynamic_cast<TGIFAppExtNSLoop*>(ext[0].get());
    ASSERT_NE(ns, nullptr);
    EXPECT_EQ(ns->Loops, 5);
    EXPECT_EQ(dynamic_cast<TGIFCommentExtension&>(*ext[1]).Text, "made by hand");
    auto& text = dynamic_cast<TGIFTextExtension&>(*ext[2]);
    EXPECT_EQ(text.GridWidth, 30);
    EXPECT_EQ(text.Text, "hi");
    EXPECT_EQ(loop.gif->Images(0).Data(), k6Pixels);

    // Application block sizes: 10 gives its 11th identifier byte back to the
    // sub-blocks, a size above 11 has its extra bytes skipped.
    const std::vector<uint8_t> id10 = {0x21, 0xFF, 10, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', '0', 2, 'x', 'y', 0};
    const std::vector<uint8_t> id12 = {0x21, 0xFF, 12, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', '2', '3', '+', 1, 'z', 0};
    const std::vector<uint8_t> id9 = {0x21, 0xFF, 9, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', '1', 0};
    for (const auto& [block, identifier, data, error] :
         {std::tuple{id10, std::string("ABCDEFGH10\x02"), std::string("xy"), std::string()},
          std::tuple{id12, std::string("ABCDEFGH123"), std::string("z"), std::string()},
          std::tuple{id9, std::string(), std::string(), std::string("Unsupported Application Extension block size")}}) {
        const Loaded l = Load(GifStream().Header(3, 2, 1).Append(block).Image(0, 0, 3, 2, k6Pixels).Trailer().b);
        EXPECT_EQ(l.error, error);
        if (!error.empty())
            continue;
        auto& app = dynamic_cast<TGIFApplicationExtension&>(*l.gif->Images(0).Extensions()[0]);
        EXPECT_EQ(app.Identifier, identifier);
        EXPECT_EQ(app.Data, data);
        EXPECT_EQ(l.gif->Images(0).Data(), k6Pixels);
    }

    const Loaded unknown = Load(OneImage().Bytes({0x21, 0x02, 0}).Image(0, 0, 3, 2, k6Pixels).Trailer().b);
    EXPECT_EQ(unknown.error, "Unknown extension type");
    EXPECT_EQ(unknown.gif->Count(), 1);  // what was read before stays
}

TEST(GIFImage, GraphicControlIsSixBytesAndTheFirstOneGivesTheIndex)
{
    // Block size byte 0: the fields are still taken from their places.
    const Loaded l = Load(GifStream()
                              .Header(3, 2, 1)
                              .Bytes({0x21, 0xF9, 0, 0x04, 10, 0, 3, 0})
                              .Gce(0x01, 1)
                              .Image(0, 0, 3, 2, k6Pixels, 2, 0, {.endCode = false})
                              .Trailer()
                              .b);
    ASSERT_EQ(l.error, "");
    const TGIFSubImage& s = l.gif->Images(0);
    EXPECT_TRUE(s.Transparent());
    ASSERT_NE(s.GraphicControlExtension(), nullptr);
    EXPECT_EQ(s.GraphicControlExtension()->TransparentColorIndex, 3);
    EXPECT_EQ(s.GraphicControlExtension()->Delay, 10);
    EXPECT_EQ(s.GraphicControlExtension()->Disposal(), 1);

    const Loaded cut = Load(OneImage().Bytes({0x21, 0xF9, 4, 1}).b);
    EXPECT_EQ(cut.error, "");
    EXPECT_EQ(cut.warnings, std::vector<std::string>{"Premature end of data"});
}

TEST(GIFImage, TrailingLoneGraphicControlMakesAnEmptySubImage)
{
    GifStream f;
    f.Header(3, 2, 1);
    for (int i = 0; i < 4; ++i)
        f.Gce(0, 0).Image(0, 0, 3, 2, k6Pixels);
    const Loaded l = Load(f.Gce(0, 0).Trailer().b);
    ASSERT_EQ(l.error, "");
    ASSERT_EQ(l.gif->Count(), 5);
    EXPECT_FALSE(l.gif->Images(3).Empty());
    EXPECT_TRUE(l.gif->Images(4).Empty());
    EXPECT_EQ(l.gif->Images(4).Bitmap(), nullptr);
}

TEST(GIFImage, MissingPixelsKeepTheFillValue)
{
    struct Case {
        const char* name;
        bool transparent;
        std::vector<uint8_t> data;  // after the minimum code size byte
        std::vector<uint8_t> pixels;
    };
    const auto two = LzwEncode({2, 1}, 2);
    const auto all = LzwEncode(k6Pixels, 2);
    const Case cases[] = {
        {"end code early", false, SubBlocks(two), {2, 1, 0, 0, 0, 0}},
        {"end code early, transparent", true, SubBlocks(two), {2, 1, 3, 3, 3, 3}},
        {"file ends in a block", true, {static_cast<uint8_t>(all.size() + 9), all[0]}, {0, 3, 3, 3, 3, 3}},
        {"no data at all", true, {}, {3, 3, 3, 3, 3, 3}},
    };
    for (const Case& c : cases) {
        GifStream f;
        f.Header(3, 2, 1);
        if (c.transparent)
            f.Gce(1, 3);
        f.Descriptor(0, 0, 3, 2).Bytes({2}).Append(c.data);
        const Loaded l = Load(f.b);
        EXPECT_EQ(l.error, "") << c.name;
        ASSERT_EQ(l.gif->Count(), 1) << c.name;
        EXPECT_EQ(l.gif->Images(0).Data(), c.pixels) << c.name;
    }
}

TEST(GIFImage, ZeroWidthOrHeightTakesTheScreenSize)
{
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 9}, std::pair{9, 0}}) {
        const Loaded l = Load(GifStream().Header(3, 2, 1).Image(0, 0, w, h, k6Pixels).Trailer().b);
        ASSERT_EQ(l.error, "");
        const TGIFSubImage& s = l.gif->Images(0);
        EXPECT_EQ(s.Width(), 3);
        EXPECT_EQ(s.Height(), 2);
        EXPECT_EQ(s.Data(), k6Pixels);
        EXPECT_EQ(l.warnings, std::vector<std::string>{"Image exceeds Logical Screen size"});
    }
}

TEST(GIFImage, ImageDataSpacingDoesNotMatter)
{
    // One-byte sub-blocks, data past the end code, data without one: the
    // next image is still found where it starts.
    const auto pixels = LzwEncode(k6Pixels, 2);
    auto extra = pixels;
    extra.insert(extra.end(), {0x2C, 0x21, 0x3B, 0xFF});
    GifStream f;
    f.Header(3, 2, 1);
    f.Descriptor(0, 0, 3, 2).Bytes({2}).Append(SubBlocks(pixels, 1));
    f.Descriptor(0, 0, 3, 2).Bytes({2}).Append(SubBlocks(extra, 2));
    f.Descriptor(0, 0, 1, 1).Bytes({2}).Append(SubBlocks(pixels));  // 6 pixels of data for 1
    f.Image(0, 0, 3, 2, k6Pixels).Trailer();
    const Loaded l = Load(f.b);
    ASSERT_EQ(l.error, "");
    ASSERT_EQ(l.gif->Count(), 4);
    for (int i : {0, 1, 3})
        EXPECT_EQ(l.gif->Images(i).Data(), k6Pixels) << i;
    EXPECT_TRUE(l.warnings.empty());
}

TEST(GIFImage, RefusesHostileSizesBeforeReservingMemory)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        int64_t limit;
        std::string error;
    };
    const std::string tooLarge = "GIF image is too large";
    const Case cases[] = {
        {"65535 x 65535 image", GifStream().Header(1, 1, 1).Image(0, 0, 65535, 65535, {0}).b, kMaxGIFPixels, tooLarge},
        {"zero size on a 65535 x 65535 screen", GifStream().Header(65535, 65535, 1).Image(0, 0, 0, 0, {0}).b,
         kMaxGIFPixels, tooLarge},
        {"images together past the limit", OneImage().Image(0, 0, 3, 2, k6Pixels).b, 11, tooLarge},
        {"images together at the limit", OneImage().Image(0, 0, 3, 2, k6Pixels).b, 12, ""},
        {"minimum code size 12", GifStream().Header(3, 2, 1).Descriptor(0, 0, 3, 2).Bytes({12, 1, 0, 0}).b,
         kMaxGIFPixels, "Invalid LZW minimum code size"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Load(c.bytes, c.limit).error, c.error) << c.name;
}

// The blocks are read first and every image decoded after them, as if in one
// pass: an image's decoding error still comes before a block error after it.
// In between, the picture's sizes are known and no pixel is decoded.
TEST(GIFImage, BlocksAreReadBeforeThePixelsAndErrorsKeepFileOrder)
{
    std::vector<std::pair<int, size_t>> seen;  // width and pixels of each image
    TGIFImage gif;
    gif.OnBlocksRead = [&seen](const TGIFImage& g) {
        for (int i = 0; i < g.Count(); ++i)
            seen.emplace_back(g.Images(i).Width(), g.Images(i).Data().size());
    };
    const auto two = OneImage().Image(1, 0, 2, 1, {3, 3}).Trailer().b;
    gif.LoadFromMemory(two.data(), two.size());
    EXPECT_EQ(seen, (std::vector<std::pair<int, size_t>>{{3, 0}, {2, 0}}));
    EXPECT_EQ(gif.Images(1).Data(), (std::vector<uint8_t>{3, 3}));

    const Loaded badCodeFirst =
        Load(GifStream().Header(3, 2, 1).Descriptor(0, 0, 3, 2).Bytes({12, 1, 0, 0, 0x21, 0x02, 0}).b);
    EXPECT_EQ(badCodeFirst.error, "Invalid LZW minimum code size");
    EXPECT_EQ(badCodeFirst.gif->Count(), 0);

    gif.OnBlocksRead = [](const TGIFImage&) { throw MemoryLimitExceeded(2, 1); };
    EXPECT_THROW(gif.LoadFromMemory(two.data(), two.size()), MemoryLimitExceeded);
    EXPECT_TRUE(gif.Images(0).Data().empty());
}

TEST(GIFImage, LoadsOneHundredThousandTinyImages)
{
    GifStream f;
    f.Header(1, 1, 1);
    const auto data = SubBlocks(LzwEncode({1}, 2));
    for (int i = 0; i < 100000; ++i)
        f.Descriptor(0, 0, 1, 1).Bytes({2}).Append(data);
    const Loaded l = Load(f.Trailer().b);
    ASSERT_EQ(l.error, "");
    ASSERT_EQ(l.gif->Count(), 100000);
    EXPECT_EQ(l.gif->Images(99999).Data(), std::vector<uint8_t>{1});
}

TEST(GIFImage, StreamPositionAfterSuccessAndFailure)
{
    std::vector<uint8_t> bytes = {7, 7, 7};
    const auto gif = OneImage().Trailer().b;
    bytes.insert(bytes.end(), gif.begin(), gif.end());
    bytes.insert(bytes.end(), {1, 2, 3});
    TMemoryStream good(bytes);
    good.SetPosition(3);
    TGIFImage image;
    image.LoadFromStream(good);
    EXPECT_EQ(good.Position(), static_cast<int64_t>(3 + gif.size()));
    EXPECT_EQ(image.Count(), 1);

    TMemoryStream bad(OneImage().Bytes({0x21, 0x02}).b);
    bad.SetPosition(0);
    EXPECT_THROW(image.LoadFromStream(bad), InvalidGraphicError);
    EXPECT_EQ(bad.Position(), 0);
    EXPECT_EQ(image.Count(), 1);
    EXPECT_EQ(image.Width(), 3);
}

TEST(GIFImage, FileAndIndexErrors)
{
    TGIFImage image;
    EXPECT_EQ(KindOfError([&] { image.LoadFromFile("/nonexistent/x.gif"); }), ErrorKind::FileOpen);
    TempDir dir;
    WriteFile(dir / "a.gif", OneImage().Trailer().b);
    image.LoadFromFile(dir / "a.gif");
    ASSERT_EQ(image.Count(), 1);
    for (int index : {-1, 1}) {
        try {
            image.Images(index);
            ADD_FAILURE() << "no error for " << index;
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::ListIndexOutOfBounds);
            EXPECT_EQ(e.what(), "List index out of bounds (" + std::to_string(index) + ")");
        }
    }
}
