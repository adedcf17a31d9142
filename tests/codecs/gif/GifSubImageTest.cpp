#include "base/Error.h"
#include "codecs/gif/GifImage.h"
#include "codecs/raster/Painter.h"
#include "GifBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
using namespace abm::test;

namespace {

std::unique_ptr<GifImage> load(const GifStream& f)
{
    auto gif = std::make_unique<GifImage>();
    gif->loadFromMemory(f.b.data(), f.b.size());
    return gif;
}

std::vector<uint8_t> solid(int w, int h, uint8_t v)
{
    return std::vector<uint8_t>(static_cast<size_t>(w * h), v);
}

// An 8-bit white surface whose palette has white at 255.
Raster makeSurface(int w, int h)
{
    Palette palette(256);
    palette[255] = Rgb{255, 255, 255};
    Raster b;
    b.create(w, h, PixelLayout::forFormat(PixelFormat::Indexed8), palette);
    Painter(b).fillRect(b.rect(), color::white);
    return b;
}

// The smallest rectangle holding every pixel that is no longer white.
Rect changed(const Raster& b)
{
    Rect r{b.width(), b.height(), 0, 0};
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            if (b.pixel(x, y) != color::white)
                r = Rect{std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1), std::max(r.bottom, y + 1)};
    return r;
}

}  // namespace

TEST(GifSubImage, RasterIsEightBitWithTheTablePaddedToBlack)
{
    GifStream f;
    f.header(3, 2, 2).image(0, 0, 3, 2, {0, 1, 2, 3, 4, 5}, 3, 0x81);  // local table of 4
    auto gif = load(f);
    GifSubImage& s = gif->images(0);
    const Raster* b = s.raster();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b, s.raster());  // made once, then kept
    EXPECT_EQ(b->pixelFormat(), PixelFormat::Indexed8);
    ASSERT_EQ(b->palette().size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(b->palette()[static_cast<size_t>(i)], i < 4 ? s.colorMap()[i] : Rgb{}) << i;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(b->row(y)[x], s.data()[static_cast<size_t>(y * 3 + x)]);
}

TEST(GifSubImage, PaletteChoiceOrder)
{
    // Sub-image 1 has no local table in every case.
    auto build = [](bool global, bool local0) {
        GifStream f;
        f.header(2, 1, global ? 0 : -1).image(0, 0, 2, 1, {0, 1}, 2, local0 ? 0x81 : 0).image(0, 0, 2, 1, {1, 0});
        return load(f);
    };
    auto withGlobal = build(true, true);
    EXPECT_EQ(withGlobal->images(1).raster()->palette()[1], withGlobal->globalColorMap()[1]);

    auto fromLocal0 = build(false, true);
    EXPECT_EQ(fromLocal0->images(1).raster()->palette()[1], fromLocal0->images(0).colorMap()[1]);

    auto none = build(false, false);
    try {
        none->images(1).raster();
        ADD_FAILURE() << "no error";
    } catch (const InvalidGraphicError& e) {
        EXPECT_STREQ(e.what(), "No global or local color table defined");
    }
}

TEST(GifSubImage, MaskOnlyWhenAPixelIsTransparent)
{
    GifStream f;
    f.header(3, 2, 1).gce(1, 2).image(0, 0, 3, 2, {2, 0, 2, 1, 2, 3}).gce(1, 2).image(0, 0, 3, 2, {0, 1, 1, 3, 3, 0});
    auto gif = load(f);
    const BitMask* m = gif->images(0).mask();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->stride, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(m->test(x, y), gif->images(0).data()[static_cast<size_t>(y * 3 + x)] == 2);
    EXPECT_TRUE(gif->images(1).transparent());
    EXPECT_EQ(gif->images(1).mask(), nullptr);
}

TEST(GifSubImage, DrawPlacesTheImageAsAPartOfTheScreen)
{
    GifStream f;
    f.header(100, 50, 1).image(0, 0, 100, 50, solid(100, 50, 1)).image(0, 0, 1, 1, {1});
    f.image(10, 5, 20, 20, solid(20, 20, 2)).trailer();
    auto gif = load(f);
    const std::pair<Rect, Rect> cases[] = {
        {Rect(0, 0, 100, 50), Rect(10, 5, 30, 25)},
        {Rect(0, 0, 50, 25), Rect(5, 3, 15, 13)},  // 2.5 and 12.5 round up
        {Rect(40, 20, 90, 45), Rect(45, 23, 55, 33)},
    };
    for (const auto& [into, covered] : cases) {
        Raster b = makeSurface(100, 50);
        gif->images(2).draw(b, into, false);
        EXPECT_EQ(changed(b), covered);
    }
}

TEST(GifSubImage, ZeroSizeScreenDrawsNothing)
{
    GifStream f;
    f.header(0, 0, 1).image(0, 0, 4, 4, solid(4, 4, 1)).trailer();
    auto gif = load(f);
    Raster b = makeSurface(10, 10);
    gif->images(0).draw(b, Rect(0, 0, 10, 10), false);
    EXPECT_TRUE(changed(b).isEmpty());
}

TEST(GifSubImage, TransparentPixelsAreLeftOutOnlyWhenAsked)
{
    GifStream f;
    f.header(2, 2, 1).gce(1, 0).image(0, 0, 2, 2, {0, 1, 1, 0}).gce(1, 3).image(0, 0, 2, 2, {1, 1, 1, 1}).trailer();
    auto gif = load(f);
    struct Case {
        int image;
        bool doTransparent;
        int drawn;  // pixels no longer white
    };
    for (const Case& c : {Case{0, true, 2}, Case{0, false, 4}, Case{1, true, 4}}) {
        Raster b = makeSurface(2, 2);
        gif->images(c.image).draw(b, Rect(0, 0, 2, 2), c.doTransparent);
        int drawn = 0;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                drawn += b.pixel(x, y) != color::white;
        EXPECT_EQ(drawn, c.drawn) << c.image << c.doTransparent;
    }
}

// The import draws each image once and then lets its pixels go; sub-image
// 0's palette still serves the later images that have no table.
TEST(GifSubImage, ReleasedImageHandsOutNothingButLendsItsPalette)
{
    GifStream f;
    f.header(64, 64).image(0, 0, 64, 64, solid(64, 64, 1), 2, 0x81).image(0, 0, 2, 1, {1, 0});
    auto gif = load(f);
    GifSubImage& first = gif->images(0);
    const Palette lent = first.raster()->palette();
    const int64_t held = MemoryBudget::used();
    first.releasePixels();
    EXPECT_EQ(MemoryBudget::used(), held - rasterBytes(64, 64, 8));
    EXPECT_EQ(first.raster(), nullptr);
    EXPECT_TRUE(first.data().empty());
    Raster surface = makeSurface(64, 64);
    first.draw(surface, Rect(0, 0, 64, 64), false);
    EXPECT_TRUE(changed(surface).isEmpty());
    EXPECT_EQ(gif->images(1).raster()->palette(), lent);
}

TEST(GifSubImage, RowPaddingIsZeroWhateverTheMemoryHeldBefore)
{
    // Widths that leave 1 to 3 bytes of padding, one image cut short; the
    // memory freed just before holds a pattern the raster may be given.
    struct Case {
        int width, height;
        bool cutShort;
    };
    const Case cases[] = {{1001, 7, false}, {1002, 7, false}, {1003, 9, true}, {3, 2, false}};
    for (const Case& c : cases) {
        GifStream f;
        f.header(c.width, c.height, 1).image(0, 0, c.width, c.height, solid(c.width, c.height, 1));
        if (c.cutShort)
            f.b.resize(f.b.size() - 8);
        const size_t bytes = static_cast<size_t>((c.width + 3) / 4 * 4 * c.height);
        {
            std::vector<uint8_t> old(bytes, 0xAB);
            asm volatile("" : : "r"(old.data()) : "memory");  // the pattern is written, not optimised away
        }
        auto gif = load(f);
        const PixelBuffer& image = gif->images(0).raster()->image();
        for (int y = 0; y < c.height; ++y)
            for (size_t x = static_cast<size_t>(c.width); x < image.stride; ++x)
                ASSERT_EQ(image.row(y)[x], 0) << c.width << " px, row " << y;
    }
}
