#include "codecs/raster/FrameConversion.h"

#include "codecs/raster/Painter.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace abm;
using abm::test::makeRaster;
using abm::test::pixel16;

namespace {

bool samePixels(const Raster& a, const Raster& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat())
        return false;
    const size_t bytes = static_cast<size_t>(a.width()) * static_cast<size_t>(a.bitsPerPixel()) / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), bytes) != 0)
            return false;
    return true;
}

// Every byte of every row pseudo-random: detail everywhere, every raw value
// of the layout; palette indexes from 200 on lie past the palette.
Raster busy(int w, int h, const PixelLayout& layout)
{
    Palette palette;
    for (int i = 0; layout.bitsPerPixel <= 8 && i < 200; ++i)
        palette.push_back({static_cast<uint8_t>(i * 37), static_cast<uint8_t>(i * 101), static_cast<uint8_t>(i * 13)});
    Raster b;
    b.create(w, h, layout, palette);
    uint32_t seed = 1;
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < b.stride(); ++i)
            b.row(y)[i] = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
    return b;
}

uint32_t rgbOf(Color c)
{
    return static_cast<uint32_t>(redOf(c)) << 16 | greenOf(c) << 8 | blueOf(c);
}

}  // namespace

TEST(FrameConversion, SmoothScalingAveragesTheExactlyCoveredArea)
{
    struct Case {
        int sw, sh, dw, dh;
        std::vector<uint32_t> source, expected;  // 0x00RRGGBB, rows top-down
    };
    const Case cases[] = {
        {2, 2, 1, 1, {0x000000, 0xFFFFFF, 0x0000FF, 0xFF0000}, {0x804080}},  // halves round up
        {2, 2, 1, 1, {0x102030, 0x102030, 0x102030, 0x102034}, {0x102031}},
        // The middle pixel, split between two frame pixels, counts half in each.
        {3, 1, 2, 1, {0x000000, 0x000090, 0x0000F0}, {0x000030, 0x0000D0}},
        {1, 3, 1, 2, {0x000000, 0x009000, 0x00F000}, {0x003000, 0x00D000}},
    };
    for (const Case& c : cases) {
        const Raster picture =
            makeRaster(c.sw, c.sh, PixelFormat::Bgr888, [&](int x, int y) { return c.source[y * c.sw + x]; });
        const Raster scaled = scalePicture(picture, c.dw, c.dh, true);
        ASSERT_EQ(scaled.pixelFormat(), PixelFormat::Bgr888);
        for (int i = 0; i < c.dw * c.dh; ++i)
            EXPECT_EQ(rgbOf(scaled.pixel(i % c.dw, i / c.dw)), c.expected[i]) << c.sw << "x" << c.sh << " pixel " << i;
    }
}

TEST(FrameConversion, AOnePixelLineSurvivesDownscaling)
{
    // Black lines at column 13 and row 30 of a white 64 × 48 picture, quartered:
    // a quarter of each frame pixel they cross, seven sixteenths where they meet.
    const Raster picture =
        makeRaster(64, 48, PixelFormat::Indexed8, [](int x, int y) { return x == 13 || y == 30 ? 0u : 0xFFFFFFu; });
    const Raster smooth = convertToFrame(picture, 16, 12, {.smooth = true});
    const Raster nearest = convertToFrame(picture, 16, 12, {});
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 16; ++x) {
            const uint8_t grey = x == 3 && y == 7 ? 143 : x == 3 || y == 7 ? 191 : 255;
            EXPECT_EQ(pixel16(smooth, x, y), toRgb565(grey, grey, grey)) << x << "," << y;
            EXPECT_EQ(pixel16(nearest, x, y), 0xFFFF) << "nearest drops both lines";
        }
}

TEST(FrameConversion, DitheringLeavesEveryFiveSixFiveColourFlat)
{
    // Each 4 × 4 block holds the colour that one 16-bit value decodes to;
    // all 65536 of them.
    const auto valueAt = [](int x, int y) { return static_cast<uint32_t>((y / 4) * 256 + x / 4); };
    Raster picture = makeRaster(1024, 1024, PixelFormat::Rgb565, [&](int x, int y) {
        const uint32_t v = valueAt(x, y);
        return (v << 8 & 0xF80000) | (v << 5 & 0xFC00) | (v << 3 & 0xF8);
    });
    picture.setPixelFormat(PixelFormat::Bgr888);
    const Raster frame = convertToFrame(picture, 1024, 1024, {.dither = true});
    for (int y = 0; y < 1024; ++y)
        for (int x = 0; x < 1024; ++x)
            ASSERT_EQ(pixel16(frame, x, y), valueAt(x, y)) << x << "," << y;
}

TEST(FrameConversion, DitheringMixesTheTwoNearestLevelsInProportion)
{
    for (const Color c :
         {rgbColor(128, 128, 128), rgbColor(100, 50, 200), rgbColor(250, 3, 7), rgbColor(12, 253, 129)}) {
        const Raster frame = convertToFrame(makeRaster(4, 4, PixelFormat::Bgr888, [c](int, int) { return rgbOf(c); }),
                                            4, 4, {.dither = true});
        double sum[3] = {0, 0, 0};
        for (int i = 0; i < 16; ++i) {
            const Color p = frame.pixel(i % 4, i / 4);
            sum[0] += redOf(p), sum[1] += greenOf(p), sum[2] += blueOf(p);
        }
        // A block loses at most half a step of up to 9, over 16 pixels.
        EXPECT_NEAR(sum[0] / 16, redOf(c), 0.3) << std::hex << c;
        EXPECT_NEAR(sum[1] / 16, greenOf(c), 0.3) << std::hex << c;
        EXPECT_NEAR(sum[2] / 16, blueOf(c), 0.3) << std::hex << c;
    }
}

TEST(FrameConversion, AStillAreaIsDitheredIdenticallyInEveryFrame)
{
    const Raster first = busy(160, 120, PixelLayout::forFormat(PixelFormat::Bgr888));
    // The next frame differs in source pixels (40, 40)–(59, 59) only, which
    // cover frame columns 31–48 and rows 31–49 (with the pixel around them
    // the averages share); the dither may change the 4 × 4 blocks they touch.
    Raster next = first;
    Painter(next).fillRect(Rect(40, 40, 60, 60), color::white);
    const FrameConversion how{.smooth = true, .dither = true};
    const Raster a = convertToFrame(first, 128, 97, how), again = convertToFrame(first, 128, 97, how);
    const Raster b = convertToFrame(next, 128, 97, how);
    EXPECT_TRUE(samePixels(a, again));
    int changed = 0;
    for (int y = 0; y < 97; ++y)
        for (int x = 0; x < 128; ++x) {
            const bool inside = x >= 28 && x < 52 && y >= 28 && y < 52;
            changed += pixel16(a, x, y) != pixel16(b, x, y);
            if (!inside) {
                ASSERT_EQ(pixel16(a, x, y), pixel16(b, x, y)) << x << "," << y;
            }
        }
    EXPECT_GT(changed, 200);
}

TEST(FrameConversion, EachBlockIsDitheredAsIfAlone)
{
    // Blocks take no error from each other, so a picture drawn unscaled
    // gives the frame it gives drawn a block at a time: whole blocks four
    // abreast and those the picture's edges cut alike.
    struct Case {
        int w, h, left, top;
    };
    const Case cases[] = {{16, 8, 0, 0}, {37, 9, 0, 1}, {64, 12, 2, 3}, {70, 5, 7, 0}, {3, 3, 1, 1}};
    const FrameConversion how{.smooth = true, .dither = true};
    for (const Case& c : cases) {
        const Raster picture = busy(c.w, c.h, PixelLayout::forFormat(PixelFormat::Bgr888));
        const Rect r(c.left, c.top, c.left + c.w, c.top + c.h);
        Raster whole;
        whole.create(80, 16, PixelLayout::forFormat(PixelFormat::Rgb565));
        Raster pieces = whole;
        drawConverted(whole, r, picture, how);
        for (int by = 0; by < 16; by += 4)
            for (int bx = 0; bx < 80; bx += 4) {
                const Rect block = intersect(Rect(bx, by, bx + 4, by + 4), r);
                if (block.isEmpty())
                    continue;
                Raster piece;
                piece.create(block.width(), block.height(), PixelLayout::forFormat(PixelFormat::Bgr888));
                Painter(piece).drawImage(
                    piece.rect(), picture,
                    Rect(block.left - r.left, block.top - r.top, block.right - r.left, block.bottom - r.top));
                drawConverted(pieces, block, piece, how);
            }
        EXPECT_TRUE(samePixels(whole, pieces)) << c.w << "x" << c.h << " at " << c.left << "," << c.top;
    }
}

TEST(FrameConversion, FittingLetterboxesWithExactWhiteBorders)
{
    struct Case {
        int pw, ph, w, h;
        Rect expected;
    };
    const Case cases[] = {
        {200, 100, 128, 97, Rect(0, 16, 128, 80)},  // 33 rows left: 16 above, 17 below
        {100, 200, 128, 97, Rect(39, 0, 88, 97)},   // 48.5 rounds to 49; 79 columns left: 39, 40
        {256, 194, 128, 97, Rect(0, 0, 128, 97)},
        {10, 10, 128, 97, Rect(15, 0, 112, 97)},  // small pictures grow to fit
        {1, 1000, 128, 97, Rect(63, 0, 64, 97)},  // never thinner than a pixel
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fitInside(c.pw, c.ph, c.w, c.h), c.expected) << c.pw << "x" << c.ph;
        const Raster black = makeRaster(c.pw, c.ph, PixelFormat::Bgr888, [](int, int) { return 0u; });
        const Raster frame = convertToFrame(black, c.w, c.h, {.smooth = true, .dither = true, .keepProportions = true});
        const Rect& r = c.expected;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                ASSERT_EQ(pixel16(frame, x, y), x >= r.left && x < r.right && y >= r.top && y < r.bottom ? 0 : 0xFFFF)
                    << c.pw << "x" << c.ph << " at " << x << "," << y;
    }
}

TEST(FrameConversion, WithoutAveragingItIsTheStretchDrawExactly)
{
    PixelLayout masked32 = PixelLayout::forFormat(PixelFormat::Bgrx8888);
    masked32.hasMasks = true;
    masked32.masks[0] = 0x3FF00000, masked32.masks[1] = 0x000FFC00, masked32.masks[2] = 0x000003FF;
    const auto f = PixelLayout::forFormat;
    struct Case {
        PixelLayout layout;
        int sw, sh;
        Rect r;  // in a 128 × 97 frame, parts of it outside
        FrameConversion how;
    };
    // Smoothing asked for where every axis grows, and the dither on 16-bit
    // pictures, whose colours it holds exactly.
    const Case cases[] = {
        {f(PixelFormat::Indexed8), 5, 3, Rect(0, 0, 13, 7), {.smooth = true}},
        {f(PixelFormat::Indexed1), 37, 5, Rect(0, 0, 80, 11), {.smooth = true}},
        {f(PixelFormat::Indexed4), 9, 9, Rect(-7, 90, 23, 110), {.smooth = true}},
        {f(PixelFormat::Rgb555), 6, 4, Rect(3, 2, 10, 11), {.smooth = true}},
        {f(PixelFormat::Rgb565), 40, 30, Rect(0, 0, 128, 97), {.smooth = true, .dither = true}},
        {f(PixelFormat::Rgb565),
         300,
         200,
         Rect(-20, -10, 280, 190),
         {.smooth = true, .dither = true}},  // unscaled, cropped
        {f(PixelFormat::Bgrx8888), 3, 3, Rect(0, 0, 3, 3), {.smooth = true}},
        {masked32, 20, 20, Rect(100, 0, 121, 97), {.smooth = true}},
        {f(PixelFormat::Bgr888), 200, 150, Rect(0, 0, 128, 97), {}},
    };
    for (const Case& c : cases) {
        const Raster picture = busy(c.sw, c.sh, c.layout);
        Raster expected;
        expected.create(128, 97, PixelLayout::forFormat(PixelFormat::Rgb565));
        Raster frame = expected;
        Painter(expected).drawImage(c.r, picture);
        drawConverted(frame, c.r, picture, c.how);
        EXPECT_TRUE(samePixels(frame, expected)) << c.layout.bitsPerPixel << " bits, " << c.sw << "x" << c.sh;
    }
    // Wider but lower: nearest across, averaged down.
    const Raster picture = busy(10, 40, PixelLayout::forFormat(PixelFormat::Bgr888));
    EXPECT_TRUE(samePixels(convertToFrame(picture, 25, 8, {.smooth = true}),
                           convertToFrame(scalePicture(picture, 25, 40, false), 25, 8, {.smooth = true})));
}

TEST(FrameConversion, ClippedSmoothingAveragesAsTheWholeDoes)
{
    // Drawn partly outside the frame (by whole 4 × 4 blocks), the rows and
    // columns inside are the ones the whole picture scaled alone has there;
    // all but the last row, whose block the frame cuts, so that its error
    // stays in that row.
    const Raster picture = busy(333, 250, PixelLayout::forFormat(PixelFormat::Bgr888));
    const FrameConversion how{.smooth = true, .dither = true};
    const Raster whole = convertToFrame(picture, 200, 150, how);
    Raster frame;
    frame.create(128, 97, PixelLayout::forFormat(PixelFormat::Rgb565));
    drawConverted(frame, Rect(-40, -28, 160, 122), picture, how);
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 128; ++x)
            ASSERT_EQ(pixel16(frame, x, y), pixel16(whole, x + 40, y + 28)) << x << "," << y;
}

TEST(FrameConversion, EveryLayoutOfTheSameColoursGivesTheSameFrame)
{
    // Palette indexes are summed through packed colours up to 8224 pixels
    // wide and a channel at a time beyond; 24- and 32-bit rows are read in place.
    struct Case {
        int sw, sh, w, h;
    };
    const Case cases[] = {{320, 240, 128, 97}, {8224, 6, 128, 5}, {8225, 6, 128, 5}, {9001, 3, 7, 1}};
    for (const Case& c : cases) {
        const Raster indexed = busy(c.sw, c.sh, PixelLayout::forFormat(PixelFormat::Indexed8));
        Raster bgr = indexed, bgrx = indexed;
        bgr.setPixelFormat(PixelFormat::Bgr888);
        bgrx.setPixelFormat(PixelFormat::Bgrx8888);
        const FrameConversion how{.smooth = true, .dither = true};
        const Raster expected = convertToFrame(bgr, c.w, c.h, how);
        EXPECT_TRUE(samePixels(convertToFrame(indexed, c.w, c.h, how), expected)) << c.sw << " wide, 8-bit";
        EXPECT_TRUE(samePixels(convertToFrame(bgrx, c.w, c.h, how), expected)) << c.sw << " wide, 32-bit";
        EXPECT_TRUE(samePixels(scalePicture(indexed, c.w, c.h, true), scalePicture(bgr, c.w, c.h, true)));
    }
}

TEST(FrameConversion, LargeAreasAverageExactly)
{
    // Half white: exactly 127.5, which rounds up; one white pixel fewer
    // falls just short of it. Every source pixel is in the one frame pixel.
    struct Case {
        int sw, sh, whiteLess;
        uint8_t expected;
    };
    const Case cases[] = {{8224, 2, 0, 128}, {8224, 2, 1, 127},    {9000, 4, 0, 128},
                          {9000, 4, 1, 127}, {2000, 2000, 0, 128}, {2000, 2000, 1, 127}};
    for (const Case& c : cases) {
        Raster picture;
        picture.create(c.sw, c.sh, PixelLayout::forFormat(PixelFormat::Indexed8), Palette{{0, 0, 0}, {255, 255, 255}});
        for (int y = 0; y < c.sh; ++y)
            for (int x = 0; x < c.sw; ++x)
                picture.row(y)[x] = x >= c.sw / 2 && !(x == c.sw - 1 && y == 0 && c.whiteLess) ? 1 : 0;
        const Color average = scalePicture(picture, 1, 1, true).pixel(0, 0);
        EXPECT_EQ(average, rgbColor(c.expected, c.expected, c.expected)) << c.sw << "x" << c.sh << " " << c.whiteLess;
    }
}
