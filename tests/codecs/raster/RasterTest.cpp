#include "codecs/raster/Raster.h"
#include "codecs/raster/Painter.h"
#include "base/Error.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <thread>

using namespace abm;
using abm::test::makeRaster;
using abm::test::pixel16;

TEST(Raster, NewRasterIsEmptyWithoutPalette)
{
    Raster b;
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), 0);
    EXPECT_TRUE(b.empty());
    EXPECT_TRUE(b.palette().empty());
}

TEST(Raster, StrideFollowsWidthAndBitsRoundedToFourBytes)
{
    struct Case {
        int width;
        PixelFormat format;
        int stride;
    };
    const Case cases[] = {
        {1, PixelFormat::Rgb565, 4},     {2, PixelFormat::Rgb565, 4},     {3, PixelFormat::Rgb565, 8},
        {127, PixelFormat::Rgb565, 256}, {128, PixelFormat::Rgb565, 256}, {1, PixelFormat::Bgr888, 4},
        {5, PixelFormat::Bgr888, 16},    {1, PixelFormat::Indexed8, 4},   {5, PixelFormat::Indexed8, 8},
        {33, PixelFormat::Indexed1, 8},  {9, PixelFormat::Indexed4, 8},   {3, PixelFormat::Bgrx8888, 12},
        {1, PixelFormat::Rgb555, 4},
    };
    for (const Case& c : cases) {
        Raster b;
        b.setPixelFormat(c.format);
        b.setSize(c.width, 2);
        EXPECT_EQ(b.stride(), c.stride) << c.width << " px at format " << c.format;
        EXPECT_EQ(b.pixelFormat(), c.format);
    }
}

TEST(Raster, FormatIsDerivedFromThePixelLayout)
{
    struct Case {
        int bpp;
        bool masks;
        uint32_t r, g, b;
        PixelFormat expected;
    };
    const Case cases[] = {
        {1, false, 0, 0, 0, PixelFormat::Indexed1},
        {4, false, 0, 0, 0, PixelFormat::Indexed4},
        {8, false, 0, 0, 0, PixelFormat::Indexed8},
        {16, false, 0, 0, 0, PixelFormat::Rgb555},
        {16, true, 0xF800, 0x07E0, 0x001F, PixelFormat::Rgb565},
        {16, true, 0x7C00, 0x03E0, 0x001F, PixelFormat::Custom},
        {24, false, 0, 0, 0, PixelFormat::Bgr888},
        {32, false, 0, 0, 0, PixelFormat::Bgrx8888},
        {32, true, 0xFF0000, 0xFF00, 0xFF, PixelFormat::Custom},
    };
    for (const Case& c : cases) {
        PixelLayout layout;
        layout.bitsPerPixel = c.bpp;
        layout.hasMasks = c.masks;
        layout.masks[0] = c.r;
        layout.masks[1] = c.g;
        layout.masks[2] = c.b;
        Raster b;
        b.create(2, 2, layout);
        EXPECT_EQ(b.pixelFormat(), c.expected) << c.bpp << " bits";
    }
}

TEST(Raster, ScanLineZeroIsTheTopRowStoredLast)
{
    Raster b = makeRaster(3, 4, PixelFormat::Bgr888, [](int, int y) { return y == 0 ? 0xFF0000u : 0u; });
    EXPECT_EQ(b.row(0)[2], 0xFF);
    // Bottom-up memory: the top row is the last one in the pixel memory.
    const PixelBuffer& image = b.image();
    EXPECT_EQ(b.row(0), image.bits.data() + 3 * image.stride);
    EXPECT_EQ(b.row(1) - b.row(0), -b.stride());
}

TEST(Raster, ScanLineOutsideTheRasterRaises)
{
    Raster b;
    b.setPixelFormat(PixelFormat::Rgb565);
    b.setSize(4, 3);
    for (int y : {-1, 3, 100}) {
        try {
            (void)b.row(y);
            FAIL() << "row " << y << " was accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.kind(), ErrorKind::ScanLineOutOfRange);
            EXPECT_STREQ(e.what(), "Scan line index out of range");
        }
    }
    EXPECT_NO_THROW((void)b.row(2));
}

TEST(Raster, GrowingKeepsTopLeftAndFillsWhite)
{
    Raster b = makeRaster(128, 97, PixelFormat::Rgb565, [](int x, int y) { return (x * 7 + y) & 0xFF; });
    b.setWidth(200);
    ASSERT_EQ(b.width(), 200);
    for (int y : {0, 50, 96}) {
        EXPECT_EQ(pixel16(b, 0, y), toRgb565(0, 0, static_cast<uint8_t>(y & 0xFF)));
        EXPECT_EQ(pixel16(b, 127, y), toRgb565(0, 0, static_cast<uint8_t>((127 * 7 + y) & 0xFF)));
        for (int x : {128, 150, 199})
            EXPECT_EQ(pixel16(b, x, y), 0xFFFF) << x << "," << y;
    }
}

TEST(Raster, ShrinkingCutsRightAndBottom)
{
    Raster b = makeRaster(10, 10, PixelFormat::Bgr888, [](int x, int y) { return static_cast<uint32_t>(x * 16 + y); });
    b.setSize(3, 2);
    EXPECT_EQ(b.width(), 3);
    EXPECT_EQ(b.height(), 2);
    EXPECT_EQ(b.pixel(2, 1), rgbColor(0, 0, 2 * 16 + 1));
}

TEST(Raster, ConvertingToTheSameFormatTouchesNothing)
{
    Raster b = makeRaster(5, 5, PixelFormat::Rgb565, [](int x, int) { return x * 40u; });
    b.setPalette({{1, 2, 3}});
    Raster shared(b);
    const uint8_t* before = b.image().bits.data();
    b.setPixelFormat(PixelFormat::Rgb565);
    EXPECT_EQ(b.image().bits.data(), before);
    EXPECT_TRUE(b.sharesPixelsWith(shared));
    EXPECT_EQ(b.palette().size(), 1u);
}

TEST(Raster, CustomFormatIsRefused)
{
    Raster b;
    try {
        b.setPixelFormat(PixelFormat::Custom);
        FAIL();
    } catch (const InvalidGraphicError& e) {
        EXPECT_STREQ(e.what(), "Invalid pixel format");
    }
}

TEST(Raster, EmptyRasterRecordsItsFormatForALaterResize)
{
    Raster b;
    b.setPixelFormat(PixelFormat::Rgb565);
    EXPECT_EQ(b.pixelFormat(), PixelFormat::Rgb565);
    b.setWidth(3);
    b.setHeight(2);
    EXPECT_EQ(b.pixelFormat(), PixelFormat::Rgb565);
    EXPECT_EQ(b.stride(), 8);
    EXPECT_EQ(pixel16(b, 2, 1), 0xFFFF);  // new area is white
}

TEST(Raster, ConversionReducesEachColourToFiveSixFive)
{
    struct Case {
        uint32_t rgb;
        uint16_t expected;
    };
    const Case cases[] = {
        {0xFF0000, 0xF800}, {0x00FF00, 0x07E0}, {0x0000FF, 0x001F}, {0xFFFFFF, 0xFFFF},
        {0x000000, 0x0000}, {0x808080, 0x8410}, {0x070307, 0x0000}, {0x080408, 0x0821},
    };
    for (PixelFormat from : {PixelFormat::Bgr888, PixelFormat::Bgrx8888}) {
        for (const Case& c : cases) {
            Raster b = makeRaster(1, 1, from, [&](int, int) { return c.rgb; });
            b.setPixelFormat(PixelFormat::Rgb565);
            EXPECT_EQ(pixel16(b, 0, 0), c.expected) << std::hex << c.rgb;
        }
    }
}

TEST(Raster, PaletteSurvivesConversionAndIndexesPastItAreBlack)
{
    Raster b;
    PixelLayout layout;
    layout.bitsPerPixel = 8;
    Palette palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = {static_cast<uint8_t>(i), 0, static_cast<uint8_t>(255 - i)};
    b.create(2, 1, layout, palette);
    b.row(0)[0] = 255;
    b.row(0)[1] = 0;
    b.setPixelFormat(PixelFormat::Rgb565);
    EXPECT_EQ(b.palette(), palette);
    EXPECT_EQ(pixel16(b, 0, 0), toRgb565(255, 0, 0));
    EXPECT_EQ(pixel16(b, 1, 0), toRgb565(0, 0, 255));

    Raster shortTable;
    shortTable.create(1, 1, layout, {{200, 200, 200}});
    shortTable.row(0)[0] = 7;
    EXPECT_EQ(shortTable.pixel(0, 0), color::black);
}

TEST(Raster, ConversionToEightBitsPicksNearestHalftoneColour)
{
    Raster b = makeRaster(2, 1, PixelFormat::Bgr888, [](int x, int) { return x ? 0xFFFFFFu : 0xFE0101u; });
    b.setPixelFormat(PixelFormat::Indexed8);
    EXPECT_EQ(b.palette().size(), 256u);
    EXPECT_EQ(b.pixel(0, 0), rgbColor(255, 0, 0));
    EXPECT_EQ(b.pixel(1, 0), color::white);
}

TEST(Raster, CopiesShareMemoryUntilOneChanges)
{
    Raster a = makeRaster(4, 4, PixelFormat::Rgb565, [](int, int) { return 0u; });
    Raster b(a);
    Raster c;
    c.assign(&a);
    EXPECT_TRUE(a.sharesPixelsWith(b));
    EXPECT_TRUE(a.sharesPixelsWith(c));
    b.row(1)[0] = 0xAB;
    EXPECT_FALSE(a.sharesPixelsWith(b));
    EXPECT_EQ(a.row(1)[0], 0);
    EXPECT_EQ(b.row(1)[0], 0xAB);
    Painter(c).fillRect(Rect(0, 0, 1, 1), color::white);
    EXPECT_EQ(std::as_const(a).row(0)[0], 0);
    c.assign(nullptr);
    EXPECT_TRUE(c.empty());
}

TEST(Raster, ShareCountHoldsUnderConcurrentCopies)
{
    Raster original = makeRaster(8, 8, PixelFormat::Rgb565, [](int x, int y) { return static_cast<uint32_t>(x + y); });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&original, t] {
            for (int i = 0; i < 2000; ++i) {
                Raster copy(original);
                copy.row(0)[0] = static_cast<uint8_t>(t);
            }
        });
    }
    for (auto& th : threads)
        th.join();
    EXPECT_EQ(pixel16(original, 0, 0), 0);
}

TEST(Raster, SizesPastTheCapAreRefusedBeforeAllocating)
{
    const std::pair<int, int> sizes[] = {{65535, 65535}, {16385, 16384}, {2000000000, 2}};
    for (auto [w, h] : sizes) {
        Raster b;
        b.setPixelFormat(PixelFormat::Rgb565);
        try {
            b.setSize(w, h);
            FAIL() << w << "x" << h;
        } catch (const InvalidGraphicError& e) {
            EXPECT_STREQ(e.what(), "Bitmap image is not valid");
        }
        EXPECT_EQ(b.width(), 0);
    }
}
