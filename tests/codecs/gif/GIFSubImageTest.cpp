#include "base/Error.h"
#include "codecs/gif/GIFImage.h"
#include "codecs/raster/Canvas.h"
#include "GifBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
using namespace abm::test;

namespace {

std::unique_ptr<TGIFImage> Load(const GifStream& f)
{
    auto gif = std::make_unique<TGIFImage>();
    gif->LoadFromMemory(f.b.data(), f.b.size());
    return gif;
}

std::vector<uint8_t> Solid(int w, int h, uint8_t v) { return std::vector<uint8_t>(static_cast<size_t>(w * h), v); }

// An 8-bit white surface whose palette has white at 255.
TBitmap Surface(int w, int h)
{
    TPalette palette(256);
    palette[255] = TPaletteEntry{255, 255, 255};
    TBitmap b;
    b.Create(w, h, TPixelLayout::ForFormat(pf8bit), palette);
    b.Canvas().FillRect(Rect(0, 0, w, h));
    return b;
}

// The smallest rectangle holding every pixel that is no longer white.
TRect Changed(const TBitmap& b)
{
    TRect r{b.Width(), b.Height(), 0, 0};
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != clWhite)
                r = TRect{std::min(r.Left, x), std::min(r.Top, y), std::max(r.Right, x + 1), std::max(r.Bottom, y + 1)};
    return r;
}

}  // namespace

TEST(GIFSubImage, RasterIsEightBitWithTheTablePaddedToBlack)
{
    GifStream f;
    f.Header(3, 2, 2).Image(0, 0, 3, 2, {0, 1, 2, 3, 4, 5}, 3, 0x81);  // local table of 4
    auto gif = Load(f);
    TGIFSubImage& s = gif->Images(0);
    const TBitmap* b = s.Bitmap();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b, s.Bitmap());  // made once, then kept
    EXPECT_EQ(b->PixelFormat(), pf8bit);
    ASSERT_EQ(b->Palette().size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(b->Palette()[static_cast<size_t>(i)], i < 4 ? s.ColorMap()[i] : TPaletteEntry{}) << i;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(b->ScanLine(y)[x], s.Data()[static_cast<size_t>(y * 3 + x)]);
}

TEST(GIFSubImage, PaletteChoiceOrder)
{
    // Sub-image 1 has no local table in every case.
    auto build = [](bool global, bool local0) {
        GifStream f;
        f.Header(2, 1, global ? 0 : -1).Image(0, 0, 2, 1, {0, 1}, 2, local0 ? 0x81 : 0).Image(0, 0, 2, 1, {1, 0});
        return Load(f);
    };
    auto withGlobal = build(true, true);
    EXPECT_EQ(withGlobal->Images(1).Bitmap()->Palette()[1], withGlobal->GlobalColorMap()[1]);

    auto fromLocal0 = build(false, true);
    EXPECT_EQ(fromLocal0->Images(1).Bitmap()->Palette()[1], fromLocal0->Images(0).ColorMap()[1]);

    auto none = build(false, false);
    try {
        none->Images(1).Bitmap();
        ADD_FAILURE() << "no error";
    } catch (const InvalidGraphicError& e) {
        EXPECT_STREQ(e.what(), "No global or local color table defined");
    }
}

TEST(GIFSubImage, MaskOnlyWhenAPixelIsTransparent)
{
    GifStream f;
    f.Header(3, 2, 1).Gce(1, 2).Image(0, 0, 3, 2, {2, 0, 2, 1, 2, 3}).Gce(1, 2).Image(0, 0, 3, 2, {0, 1, 1, 3, 3, 0});
    auto gif = Load(f);
    const TBitMask* m = gif->Images(0).Mask();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->stride, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(m->Test(x, y), gif->Images(0).Data()[static_cast<size_t>(y * 3 + x)] == 2);
    EXPECT_TRUE(gif->Images(1).Transparent());
    EXPECT_EQ(gif->Images(1).Mask(), nullptr);
}

TEST(GIFSubImage, DrawPlacesTheImageAsAPartOfTheScreen)
{
    GifStream f;
    f.Header(100, 50, 1).Image(0, 0, 100, 50, Solid(100, 50, 1)).Image(0, 0, 1, 1, {1});
    f.Image(10, 5, 20, 20, Solid(20, 20, 2)).Trailer();
    auto gif = Load(f);
    const std::pair<TRect, TRect> cases[] = {
        {Rect(0, 0, 100, 50), Rect(10, 5, 30, 25)},
        {Rect(0, 0, 50, 25), Rect(5, 3, 15, 13)},  // 2.5 and 12.5 round up
        {Rect(40, 20, 90, 45), Rect(45, 23, 55, 33)},
    };
    for (const auto& [into, covered] : cases) {
        TBitmap b = Surface(100, 50);
        gif->Images(2).Draw(b.Canvas(), into, false, false);
        EXPECT_EQ(Changed(b), covered);
    }
}

TEST(GIFSubImage, ZeroSizeScreenDrawsNothing)
{
    GifStream f;
    f.Header(0, 0, 1).Image(0, 0, 4, 4, Solid(4, 4, 1)).Trailer();
    auto gif = Load(f);
    for (bool tile : {false, true}) {
        TBitmap b = Surface(10, 10);
        gif->Images(0).Draw(b.Canvas(), Rect(0, 0, 10, 10), false, tile);
        EXPECT_EQ(Changed(b).IsEmpty(), !tile);  // a tile with no step is drawn once
    }
}

TEST(GIFSubImage, TransparentPixelsAreLeftOutOnlyWhenAsked)
{
    GifStream f;
    f.Header(2, 2, 1).Gce(1, 0).Image(0, 0, 2, 2, {0, 1, 1, 0}).Gce(1, 3).Image(0, 0, 2, 2, {1, 1, 1, 1}).Trailer();
    auto gif = Load(f);
    struct Case {
        int image;
        bool doTransparent;
        int drawn;  // pixels no longer white
    };
    for (const Case& c : {Case{0, true, 2}, Case{0, false, 4}, Case{1, true, 4}}) {
        TBitmap b = Surface(2, 2);
        gif->Images(c.image).Draw(b.Canvas(), Rect(0, 0, 2, 2), c.doTransparent, false);
        int drawn = 0;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                drawn += b.Pixel(x, y) != clWhite;
        EXPECT_EQ(drawn, c.drawn) << c.image << c.doTransparent;
    }
}

TEST(GIFSubImage, TilingStepsByTheScreenWhileInsideTheRectangle)
{
    GifStream f;
    f.Header(4, 4, 1).Image(1, 1, 2, 2, Solid(2, 2, 1)).Trailer();
    auto gif = Load(f);
    TBitmap b = Surface(12, 12);
    gif->Images(0).Draw(b.Canvas(), Rect(0, 0, 10, 12), false, true);
    std::string picture;
    for (int y = 0; y < 12; ++y, picture += '\n')
        for (int x = 0; x < 12; ++x)
            picture += b.Pixel(x, y) == clWhite ? '.' : '#';
    const std::string row = ".##..##..##.\n", blank = "............\n";
    EXPECT_EQ(picture, blank + row + row + blank + blank + row + row + blank + blank + row + row + blank);
}

// The import draws each image once and then lets its pixels go; sub-image
// 0's palette still serves the later images that have no table.
TEST(GIFSubImage, ReleasedImageHandsOutNothingButLendsItsPalette)
{
    GifStream f;
    f.Header(64, 64).Image(0, 0, 64, 64, Solid(64, 64, 1), 2, 0x81).Image(0, 0, 2, 1, {1, 0});
    auto gif = Load(f);
    TGIFSubImage& first = gif->Images(0);
    const TPalette lent = first.Bitmap()->Palette();
    const int64_t held = MemoryBudget::Used();
    first.ReleasePixels();
    EXPECT_EQ(MemoryBudget::Used(), held - RasterBytes(64, 64, 8));
    EXPECT_EQ(first.Bitmap(), nullptr);
    EXPECT_TRUE(first.Data().empty());
    TBitmap surface = Surface(64, 64);
    first.Draw(surface.Canvas(), Rect(0, 0, 64, 64), false, false);
    EXPECT_TRUE(Changed(surface).IsEmpty());
    EXPECT_EQ(gif->Images(1).Bitmap()->Palette(), lent);
}
