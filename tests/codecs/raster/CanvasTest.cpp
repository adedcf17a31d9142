#include "codecs/raster/Bitmap.h"
#include "codecs/raster/Canvas.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace abm;
using abm::test::MakeRaster;

namespace {

// One character per pixel: the picture as text, for readable expectations.
std::string Picture(const TBitmap& b, const std::map<TColor, char>& legend)
{
    std::string out;
    for (int y = 0; y < b.Height(); ++y) {
        for (int x = 0; x < b.Width(); ++x) {
            auto it = legend.find(b.Pixel(x, y));
            out += it == legend.end() ? '?' : it->second;
        }
        out += '\n';
    }
    return out;
}

TBitmap Blank(int w, int h, TPixelFormat f = pf24bit)
{
    return MakeRaster(w, h, f, [](int, int) { return 0xFFFFFFu; });
}

const TColor kRed = rgbColor(255, 0, 0), kBlue = rgbColor(0, 0, 255);

}  // namespace

TEST(Canvas, FillRectCoversRightAndBottomExclusiveAndClips)
{
    TBitmap b = Blank(4, 3);
    b.Canvas().BrushColor = kRed;
    b.Canvas().FillRect(Rect(1, 1, 9, 2));
    EXPECT_EQ(Picture(b, {{clWhite, '.'}, {kRed, 'r'}}), "....\n.rrr\n....\n");
    b.Canvas().FillRect(Rect(-5, -5, 1, 1));
    EXPECT_EQ(b.Pixel(0, 0), kRed);
}

TEST(Canvas, RectangleHasAPenRingAroundABrushFill)
{
    TBitmap b = Blank(5, 4);
    b.Canvas().BrushColor = kBlue;
    b.Canvas().Rectangle(Rect(0, 0, 5, 4));
    EXPECT_EQ(Picture(b, {{clBlack, '#'}, {kBlue, 'b'}}), "#####\n#bbb#\n#bbb#\n#####\n");
}

TEST(Canvas, DrawIsUnscaledAndClipped)
{
    TBitmap src = MakeRaster(3, 2, pf24bit, [](int x, int) { return x == 1 ? 0xFF0000u : 0x0000FFu; });
    TBitmap b = Blank(4, 3);
    b.Canvas().Draw(2, 1, src);
    EXPECT_EQ(Picture(b, {{clWhite, '.'}, {kRed, 'r'}, {kBlue, 'b'}}), "....\n..br\n..br\n");
    b.Canvas().Draw(-2, -1, src);
    EXPECT_EQ(Picture(b, {{clWhite, '.'}, {kRed, 'r'}, {kBlue, 'b'}}), "b...\n..br\n..br\n");
    TBitmap empty;
    b.Canvas().Draw(0, 0, empty);
}

TEST(Canvas, StretchDrawRepeatsAndDropsWholeRowsAndColumns)
{
    TBitmap src = MakeRaster(2, 2, pf24bit, [](int x, int y) { return (x + y) % 2 ? 0xFF0000u : 0x0000FFu; });
    TBitmap big = Blank(4, 4);
    big.Canvas().StretchDraw(Rect(0, 0, 4, 4), &src);
    EXPECT_EQ(Picture(big, {{kRed, 'r'}, {kBlue, 'b'}}), "bbrr\nbbrr\nrrbb\nrrbb\n");

    TBitmap wide = MakeRaster(4, 1, pf24bit, [](int x, int) { return x < 2 ? 0x0000FFu : 0xFF0000u; });
    TBitmap small = Blank(2, 1);
    small.Canvas().StretchDraw(Rect(0, 0, 2, 1), &wide);
    EXPECT_EQ(Picture(small, {{kRed, 'r'}, {kBlue, 'b'}}), "br\n");

    small.Canvas().StretchDraw(Rect(0, 0, 2, 1), nullptr);
}

TEST(Canvas, DrawingConvertsIntoTheDestinationFormat)
{
    TBitmap src = MakeRaster(1, 1, pf24bit, [](int, int) { return 0x123456u; });
    TBitmap dst16 = Blank(1, 1, pf16bit);
    dst16.Canvas().Draw(0, 0, src);
    const uint8_t* row = dst16.ScanLine(0);
    EXPECT_EQ(row[0] | (row[1] << 8), ToRgb565(0x12, 0x34, 0x56));

    TBitmap dst8;
    TPixelLayout eight;
    eight.bitsPerPixel = 8;
    dst8.Create(1, 1, eight, {{0, 0, 0}, {0x10, 0x30, 0x50}, {255, 255, 255}});
    dst8.Canvas().Draw(0, 0, src);
    EXPECT_EQ(dst8.ScanLine(0)[0], 1);
}

TEST(Canvas, EightBitSourcesMapThroughTheirPaletteIntoAnotherPalette)
{
    TPixelLayout eight;
    eight.bitsPerPixel = 8;
    TBitmap src;
    src.Create(2, 1, eight, {{255, 0, 0}, {0, 0, 250}});
    src.ScanLine(0)[0] = 1;
    src.ScanLine(0)[1] = 0;
    TBitmap dst;
    dst.Create(2, 1, eight, {{0, 0, 0}, {250, 0, 0}, {0, 0, 255}});
    dst.Canvas().Draw(0, 0, src);
    EXPECT_EQ(dst.ScanLine(0)[0], 2);
    EXPECT_EQ(dst.ScanLine(0)[1], 1);
}

TEST(Canvas, MaskedDrawLeavesMaskedPixelsAlone)
{
    TBitmap src = MakeRaster(3, 1, pf24bit, [](int, int) { return 0xFF0000u; });
    TBitMask mask{3, 1, 2, {0x40, 0}};  // middle pixel masked
    TBitmap dst = Blank(6, 2);
    dst.Canvas().MaskedStretchDraw(Rect(0, 0, 6, 2), src, mask);
    EXPECT_EQ(Picture(dst, {{clWhite, '.'}, {kRed, 'r'}}), "rr..rr\nrr..rr\n");
}

TEST(Canvas, CopyRectScalesOneSurfaceOntoAnother)
{
    TBitmap src = MakeRaster(4, 2, pf16bit, [](int x, int) { return x >= 2 ? 0xFF0000u : 0x0000FFu; });
    TBitmap dst = Blank(3, 2, pf16bit);
    dst.Canvas().CopyRect(Rect(1, 0, 3, 1), src.Canvas(), Rect(1, 0, 3, 2));
    EXPECT_EQ(Picture(dst, {{clWhite, '.'}, {kRed, 'r'}, {kBlue, 'b'}}), ".br\n...\n");
}

TEST(Canvas, DrawingARasterOntoItselfReadsTheOldPixels)
{
    TBitmap b = MakeRaster(2, 1, pf24bit, [](int x, int) { return x ? 0xFF0000u : 0x0000FFu; });
    b.Canvas().Draw(1, 0, b);
    EXPECT_EQ(Picture(b, {{kRed, 'r'}, {kBlue, 'b'}}), "bb\n");
}
