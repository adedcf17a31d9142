#include "codecs/bmp/BmpCodec.h"
#include "base/Error.h"
#include "BmpBuilder.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
namespace fs = std::filesystem;

namespace {

using abm::test::BmpBuilder;

Raster load(const std::vector<uint8_t>& bytes)
{
    return decodeBmp(bytes.data(), bytes.size());
}

template <class E>
std::string errorOf(const std::vector<uint8_t>& bytes)
{
    try {
        load(bytes);
    } catch (const E& e) {
        return e.what();
    } catch (const std::exception& e) {
        return std::string("wrong class: ") + e.what();
    }
    return "no error";
}

std::vector<uint8_t> greyTable(int n)
{
    std::vector<uint8_t> t;
    for (int i = 0; i < n; ++i) {
        const auto v = static_cast<uint8_t>(i * 255 / std::max(1, n - 1));
        t.insert(t.end(), {v, v, v, 0});
    }
    return t;
}

}  // namespace

TEST(BmpRead, EveryCorpusFileLoadsOrFailsCleanly)
{
    int loaded = 0, refused = 0;
    for (const fs::path& file : abm::test::filesIn(abm::test::corpora() / "bmp", ".bmp")) {
        try {
            Raster b = readBmpFile(file.string());
            b.setPixelFormat(PixelFormat::Rgb565);
            ++loaded;
        } catch (const InvalidGraphicError& e) {
            EXPECT_STREQ(e.what(), "Bitmap image is not valid") << file;
            ++refused;
        } catch (const FileError& e) {
            EXPECT_EQ(e.kind(), ErrorKind::StreamRead);
            ++refused;
        }
    }
    EXPECT_GT(loaded, 100);
    EXPECT_GT(refused, 10);
}

TEST(BmpRead, BadSuiteFilesThatMustFailDoFail)
{
    const fs::path bad = abm::test::corpora() / "bmp" / "bmpsuite" / "b";
    for (const char* name : {"badbitcount.bmp", "badplanes.bmp", "badwidth.bmp", "reallybig.bmp", "rletopdown.bmp"}) {
        EXPECT_THROW(readBmpFile((bad / name).string()), InvalidGraphicError) << name;
    }
}

TEST(BmpRead, EmptyFileGivesAnEmptyRaster)
{
    abm::test::TempDir dir;
    abm::test::writeFile(dir / "empty.bmp", {});
    const Raster b = readBmpFile(dir / "empty.bmp");
    EXPECT_EQ(b.width(), 0);
    EXPECT_EQ(b.height(), 0);
}

TEST(BmpRead, HeaderErrorsUseTheirClassesAndTexts)
{
    BmpBuilder ok;
    ok.pixels.assign(16, 0);
    auto notBm = ok.bytes();
    notBm[0] = 'X';
    EXPECT_EQ(errorOf<InvalidGraphicError>(notBm), "Bitmap image is not valid");

    BmpBuilder planes = ok;
    planes.planes = 2;
    EXPECT_EQ(errorOf<InvalidGraphicError>(planes.bytes()), "Bitmap image is not valid");

    auto cutHeader = ok.bytes();
    cutHeader.resize(30);
    EXPECT_EQ(errorOf<FileError>(cutHeader), "Stream read error");

    BmpBuilder cutTable;
    cutTable.bpp = 8;
    cutTable.table = greyTable(10);  // 256 entries expected
    EXPECT_EQ(errorOf<FileError>(cutTable.bytes()), "Stream read error");

    BmpBuilder cutMasks;
    cutMasks.bpp = 16;
    cutMasks.compression = 3;
    cutMasks.masks = {0xF800};
    EXPECT_EQ(errorOf<FileError>(cutMasks.bytes()), "Stream read error");

    BmpBuilder lyingHeader = ok;
    lyingHeader.headerSize = 0xFFFFFFF0u;
    EXPECT_EQ(errorOf<FileError>(lyingHeader.bytes()), "Stream read error");

    BmpBuilder hugeTable = ok;
    hugeTable.colorsUsed = 0x7FFFFFFF;
    hugeTable.offset = 0;  // not believed: the table is taken as the header says
    EXPECT_EQ(errorOf<FileError>(hugeTable.bytes()), "Stream read error");
}

TEST(BmpRead, AllocationBombsAreRefusedAsInvalid)
{
    struct Case {
        int32_t w, h;
        uint16_t bpp;
    };
    for (const Case c : {Case{65535, 65535, 24}, Case{3000000, 2000000, 8}, Case{-5, 5, 24}, Case{5, 0, 24},
                         Case{16385, -16384, 32}, Case{0x7FFFFFFF, 0x7FFFFFFF, 1}}) {
        BmpBuilder b;
        b.width = c.w;
        b.height = c.h;
        b.bpp = c.bpp;
        if (c.bpp == 8)
            b.table = greyTable(256);
        if (c.bpp == 1)
            b.table = greyTable(2);
        EXPECT_EQ(errorOf<InvalidGraphicError>(b.bytes()), "Bitmap image is not valid") << c.w << "x" << c.h;
    }
}

TEST(BmpRead, CutShortPixelDataLeavesTheTopRowsZero)
{
    for (uint16_t bpp : {16, 24, 32}) {
        BmpBuilder b;
        b.width = 2;
        b.height = 3;
        b.bpp = bpp;
        const size_t stride = ((2 * bpp + 31) / 32) * 4;
        b.pixels.assign(stride + 1, 0xFF);  // the bottom row and one byte more
        Raster r = load(b.bytes());
        ASSERT_EQ(r.height(), 3);
        EXPECT_EQ(r.pixel(0, 2), rgbColor(255, 255, 255)) << bpp;
        EXPECT_EQ(r.pixel(1, 0), color::black) << bpp;
        EXPECT_EQ(r.pixel(1, 1), color::black) << bpp;
    }
}

TEST(BmpRead, NegativeHeightStoresRowsTopDown)
{
    BmpBuilder b;
    b.width = 1;
    b.height = -2;
    b.pixels = {0, 0, 255, 0, 255, 0, 0, 0};  // top row red, then blue
    Raster r = load(b.bytes());
    EXPECT_EQ(r.height(), 2);
    EXPECT_EQ(r.pixel(0, 0), rgbColor(255, 0, 0));
    EXPECT_EQ(r.pixel(0, 1), rgbColor(0, 0, 255));
}

TEST(BmpRead, OldTwelveByteHeaderUsesThreeByteColourEntries)
{
    BmpBuilder b;
    b.headerSize = 12;
    b.width = 2;
    b.height = 1;
    b.bpp = 1;
    b.table = {0, 0, 255, 255, 0, 0};  // red, blue as B G R triples
    b.pixels = {0x40, 0, 0, 0};
    Raster r = load(b.bytes());
    EXPECT_EQ(r.pixelFormat(), PixelFormat::Indexed1);
    EXPECT_EQ(r.pixel(0, 0), rgbColor(255, 0, 0));
    EXPECT_EQ(r.pixel(1, 0), rgbColor(0, 0, 255));
}

TEST(BmpRead, BitFieldsGiveSixteenBitOrCustomFormats)
{
    struct Case {
        uint16_t bpp;
        std::vector<uint32_t> masks;
        PixelFormat format;
    };
    const Case cases[] = {
        {16, {0xF800, 0x07E0, 0x001F}, PixelFormat::Rgb565}, {16, {0x7C00, 0x03E0, 0x001F}, PixelFormat::Custom},
        {16, {0x001F, 0x07E0, 0xF800}, PixelFormat::Custom}, {16, {0, 0, 0}, PixelFormat::Custom},
        {32, {0xFF0000, 0xFF00, 0xFF}, PixelFormat::Custom}, {32, {0xFFFFFFFF, 0, 0}, PixelFormat::Custom},
    };
    for (const Case& c : cases) {
        BmpBuilder b;
        b.width = 1;
        b.height = 1;
        b.bpp = c.bpp;
        b.compression = 3;
        b.masks = c.masks;
        b.pixels = {0xFF, 0xFF, 0xFF, 0xFF};
        Raster r = load(b.bytes());
        EXPECT_EQ(r.pixelFormat(), c.format);
        r.setPixelFormat(PixelFormat::Rgb565);  // any mask, even 0 or 32 bits wide, converts
    }
    BmpBuilder plain16;
    plain16.width = 1;
    plain16.height = 1;
    plain16.bpp = 16;
    plain16.pixels = {0x00, 0x7C, 0, 0};  // 5-5-5 red
    Raster r = load(plain16.bytes());
    EXPECT_EQ(r.pixelFormat(), PixelFormat::Rgb555);
    EXPECT_EQ(r.pixel(0, 0), rgbColor(255, 0, 0));
}

TEST(BmpRead, RunLengthDataDecodesAndStopsAtTheEdges)
{
    BmpBuilder rle8;
    rle8.width = 4;
    rle8.height = 3;
    rle8.bpp = 8;
    rle8.compression = 1;
    rle8.table = greyTable(256);
    rle8.pixels = {
        3,   10,                  // run of three 10s on the bottom row
        0,   0,                   // end of line
        200, 20,                  // run far past the edge: cut at width
        0,   0,                   //
        0,   3,  1,   2,   3, 0,  // absolute run of three, padded
        0,   2,  200, 200,        // delta far out of the picture
        5,   99,                  // never reached
        0,   1,
    };
    rle8.sizeImage = static_cast<uint32_t>(rle8.pixels.size());
    Raster r = load(rle8.bytes());
    const uint8_t* bottom = r.row(2);
    EXPECT_EQ(std::vector<uint8_t>(bottom, bottom + 4), (std::vector<uint8_t>{10, 10, 10, 0}));
    const uint8_t* middle = r.row(1);
    EXPECT_EQ(std::vector<uint8_t>(middle, middle + 4), (std::vector<uint8_t>{20, 20, 20, 20}));
    const uint8_t* top = r.row(0);
    EXPECT_EQ(std::vector<uint8_t>(top, top + 4), (std::vector<uint8_t>{1, 2, 3, 0}));

    BmpBuilder rle4;
    rle4.width = 5;
    rle4.height = 1;
    rle4.bpp = 4;
    rle4.compression = 2;
    rle4.table = greyTable(16);
    rle4.pixels = {3, 0x12, 0, 3, 0xAB, 0xC0, 0, 1};
    rle4.sizeImage = static_cast<uint32_t>(rle4.pixels.size());
    Raster r4 = load(rle4.bytes());
    const uint8_t* row = r4.row(0);
    EXPECT_EQ(row[0], 0x12);
    EXPECT_EQ(row[1], 0x1A);
    EXPECT_EQ(row[2] & 0xF0, 0xB0);
}

TEST(BmpRead, ColourTableBecomesThePaletteAlsoAboveEightBits)
{
    BmpBuilder b;
    b.width = 1;
    b.height = 1;
    b.bpp = 24;
    b.colorsUsed = 2;
    b.table = {1, 2, 3, 0, 4, 5, 6, 0};
    b.pixels = {0, 0, 0, 0};
    Raster r = load(b.bytes());
    ASSERT_EQ(r.palette().size(), 2u);
    EXPECT_EQ(r.palette()[1], (Rgb{6, 5, 4}));
}
