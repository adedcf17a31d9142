#include "codecs/raster/Raster.h"
#include "codecs/raster/Painter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace abm;
using abm::test::makeRaster;

namespace {

// One character per pixel: the picture as text, for readable expectations.
std::string picture(const Raster& b, const std::map<Color, char>& legend)
{
    std::string out;
    for (int y = 0; y < b.height(); ++y) {
        for (int x = 0; x < b.width(); ++x) {
            auto it = legend.find(b.pixel(x, y));
            out += it == legend.end() ? '?' : it->second;
        }
        out += '\n';
    }
    return out;
}

Raster blank(int w, int h, PixelFormat f = PixelFormat::Bgr888)
{
    return makeRaster(w, h, f, [](int, int) { return 0xFFFFFFu; });
}

const Color kRed = rgbColor(255, 0, 0), kBlue = rgbColor(0, 0, 255);

}  // namespace

TEST(Painter, FillRectCoversRightAndBottomExclusiveAndClips)
{
    Raster b = blank(4, 3);
    Painter painter(b);
    painter.fillRect(Rect(1, 1, 9, 2), kRed);
    EXPECT_EQ(picture(b, {{color::white, '.'}, {kRed, 'r'}}), "....\n.rrr\n....\n");
    painter.fillRect(Rect(-5, -5, 1, 1), kRed);
    EXPECT_EQ(b.pixel(0, 0), kRed);
}

TEST(Painter, DrawIsUnscaledAndClipped)
{
    Raster src = makeRaster(3, 2, PixelFormat::Bgr888, [](int x, int) { return x == 1 ? 0xFF0000u : 0x0000FFu; });
    Raster b = blank(4, 3);
    Painter(b).drawImage(2, 1, src);
    EXPECT_EQ(picture(b, {{color::white, '.'}, {kRed, 'r'}, {kBlue, 'b'}}), "....\n..br\n..br\n");
    Painter(b).drawImage(-2, -1, src);
    EXPECT_EQ(picture(b, {{color::white, '.'}, {kRed, 'r'}, {kBlue, 'b'}}), "b...\n..br\n..br\n");
    Raster empty;
    Painter(b).drawImage(0, 0, empty);
}

TEST(Painter, ScaledDrawRepeatsAndDropsWholeRowsAndColumns)
{
    Raster src =
        makeRaster(2, 2, PixelFormat::Bgr888, [](int x, int y) { return (x + y) % 2 ? 0xFF0000u : 0x0000FFu; });
    Raster big = blank(4, 4);
    Painter(big).drawImage(big.rect(), src);
    EXPECT_EQ(picture(big, {{kRed, 'r'}, {kBlue, 'b'}}), "bbrr\nbbrr\nrrbb\nrrbb\n");

    Raster wide = makeRaster(4, 1, PixelFormat::Bgr888, [](int x, int) { return x < 2 ? 0x0000FFu : 0xFF0000u; });
    Raster small = blank(2, 1);
    Painter(small).drawImage(small.rect(), wide);
    EXPECT_EQ(picture(small, {{kRed, 'r'}, {kBlue, 'b'}}), "br\n");
}

TEST(Painter, DrawingConvertsIntoTheDestinationFormat)
{
    Raster src = makeRaster(1, 1, PixelFormat::Bgr888, [](int, int) { return 0x123456u; });
    Raster dst16 = blank(1, 1, PixelFormat::Rgb565);
    Painter(dst16).drawImage(0, 0, src);
    const uint8_t* row = dst16.row(0);
    EXPECT_EQ(row[0] | (row[1] << 8), toRgb565(0x12, 0x34, 0x56));

    Raster dst8;
    PixelLayout eight;
    eight.bitsPerPixel = 8;
    dst8.create(1, 1, eight, {{0, 0, 0}, {0x10, 0x30, 0x50}, {255, 255, 255}});
    Painter(dst8).drawImage(0, 0, src);
    EXPECT_EQ(dst8.row(0)[0], 1);
}

TEST(Painter, EightBitSourcesMapThroughTheirPaletteIntoAnotherPalette)
{
    PixelLayout eight;
    eight.bitsPerPixel = 8;
    Raster src;
    src.create(2, 1, eight, {{255, 0, 0}, {0, 0, 250}});
    src.row(0)[0] = 1;
    src.row(0)[1] = 0;
    Raster dst;
    dst.create(2, 1, eight, {{0, 0, 0}, {250, 0, 0}, {0, 0, 255}});
    Painter(dst).drawImage(0, 0, src);
    EXPECT_EQ(dst.row(0)[0], 2);
    EXPECT_EQ(dst.row(0)[1], 1);
}

TEST(Painter, MaskedDrawLeavesMaskedPixelsAlone)
{
    Raster src = makeRaster(3, 1, PixelFormat::Bgr888, [](int, int) { return 0xFF0000u; });
    BitMask mask{3, 1, 2, {0x40, 0}};  // middle pixel masked
    Raster dst = blank(6, 2);
    Painter(dst).drawImage(dst.rect(), src, mask);
    EXPECT_EQ(picture(dst, {{color::white, '.'}, {kRed, 'r'}}), "rr..rr\nrr..rr\n");
}

TEST(Painter, UnscaledMaskedDrawWritesExactlyThePixelsWhoseBitIsClear)
{
    // Whole mask bytes of either kind between mixed ones.
    const uint8_t bits[] = {0x00, 0xFF, 0xA5, 0x0F, 0xFF, 0x00, 0x81, 0x3C};
    struct Case {
        int width, maskWidth, x, y;
        PixelFormat from, onto;
    };
    const Case cases[] = {
        {29, 29, 0, 0, PixelFormat::Indexed8, PixelFormat::Indexed8},
        {29, 29, 3, 1, PixelFormat::Indexed8, PixelFormat::Rgb565},
        {29, 29, -5, -1, PixelFormat::Bgr888, PixelFormat::Bgr888},
        {29, 20, 2, 0, PixelFormat::Rgb565, PixelFormat::Rgb565},
        {31, 31, 9, 0, PixelFormat::Indexed8, PixelFormat::Bgr888},
        {8, 8, 1, 0, PixelFormat::Bgr888, PixelFormat::Rgb565},
    };
    for (const Case& c : cases) {
        const Raster src = makeRaster(c.width, 3, c.from, [](int x, int y) { return 0x0800u * x + 0x40u * y; });
        BitMask mask{c.maskWidth, 2, (c.maskWidth + 15) / 16 * 2, {}};
        for (int y = 0; y < mask.height; ++y)
            for (int i = 0; i < mask.stride; ++i)
                mask.bits.push_back(bits[(i + 3 * y) % sizeof bits]);
        const Raster before = blank(c.width + 4, 4, c.onto);
        Raster masked(before), full(before);
        const Rect r(c.x, c.y, c.x + c.width, c.y + 3);
        Painter(masked).drawImage(r, src, mask);
        Painter(full).drawImage(r, src);
        for (int y = 0; y < before.height(); ++y) {
            for (int x = 0; x < before.width(); ++x) {
                const int sx = x - c.x, sy = y - c.y;
                const bool left = sx < mask.width && sy >= 0 && sy < mask.height && sx >= 0 && mask.test(sx, sy);
                ASSERT_EQ(masked.pixel(x, y), (left ? before : full).pixel(x, y))
                    << x << "," << y << " in case " << (&c - cases);
            }
        }
    }
}

TEST(Painter, DrawingAPartScalesItOntoTheTarget)
{
    Raster src = makeRaster(4, 2, PixelFormat::Rgb565, [](int x, int) { return x >= 2 ? 0xFF0000u : 0x0000FFu; });
    Raster dst = blank(3, 2, PixelFormat::Rgb565);
    Painter(dst).drawImage(Rect(1, 0, 3, 1), src, Rect(1, 0, 3, 2));
    EXPECT_EQ(picture(dst, {{color::white, '.'}, {kRed, 'r'}, {kBlue, 'b'}}), ".br\n...\n");
}

TEST(Painter, DrawingARasterOntoItselfReadsTheOldPixels)
{
    Raster b = makeRaster(2, 1, PixelFormat::Bgr888, [](int x, int) { return x ? 0xFF0000u : 0x0000FFu; });
    Painter(b).drawImage(1, 0, b);
    EXPECT_EQ(picture(b, {{kRed, 'r'}, {kBlue, 'b'}}), "bb\n");
}
