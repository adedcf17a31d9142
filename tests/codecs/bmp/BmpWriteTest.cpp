#include "codecs/bmp/BmpCodec.h"
#include "base/Error.h"
#include "base/ByteStream.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace abm;
using abm::test::le16;
using abm::test::le32;
using abm::test::makeRaster;

namespace {

std::vector<uint8_t> saved(const Raster& b)
{
    MemoryStream s;
    writeBmp(b, s);
    return s.bytes();
}

}  // namespace

TEST(BmpWrite, OnePixelFrameIsSeventyBytes)
{
    Raster b = makeRaster(1, 1, PixelFormat::Rgb565, [](int, int) { return 0xFF0000u; });
    EXPECT_EQ(b.stride(), 4);
    const auto bytes = saved(b);
    ASSERT_EQ(bytes.size(), 70u);
    EXPECT_EQ(le32(bytes, 34), 4u);       // image size
    EXPECT_EQ(le16(bytes, 66), 0xF800u);  // the red pixel
    EXPECT_EQ(le16(bytes, 68), 0u);       // row padding
}

TEST(BmpWrite, FrameHeaderIsByteExact)
{
    Raster b =
        makeRaster(128, 97, PixelFormat::Rgb565, [](int x, int y) { return static_cast<uint32_t>(x * 2 + y * 0x100); });
    const auto bytes = saved(b);
    ASSERT_EQ(bytes.size(), 24898u);
    const std::vector<uint8_t> head = {0x42, 0x4D, 0x42, 0x61, 0, 0, 0, 0, 0, 0, 0x42, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 14), head);
    struct Field {
        size_t at;
        uint32_t value;
        int size;
    };
    for (const Field& f : {Field{14, 40, 4}, Field{18, 128, 4}, Field{22, 97, 4}, Field{26, 1, 2}, Field{28, 16, 2},
                           Field{30, 3, 4}, Field{34, 24832, 4}, Field{38, 0, 4}, Field{42, 0, 4}, Field{46, 0, 4},
                           Field{50, 0, 4}, Field{54, 0xF800, 4}, Field{58, 0x07E0, 4}, Field{62, 0x001F, 4}})
        EXPECT_EQ(f.size == 2 ? le16(bytes, f.at) : le32(bytes, f.at), f.value) << "offset " << f.at;
    // Bottom row first: the first pixel written is (0, 96).
    const uint8_t* bottom = b.row(96);
    EXPECT_EQ(bytes[66], bottom[0]);
    EXPECT_EQ(bytes[67], bottom[1]);
}

TEST(BmpWrite, PaletteOfTheSourceTravelsIntoTheFile)
{
    PixelLayout eight;
    eight.bitsPerPixel = 8;
    Palette palette(256);
    for (int i = 0; i < 256; ++i)
        palette[i] = {static_cast<uint8_t>(i), static_cast<uint8_t>(255 - i), 7};
    Raster b;
    b.create(4, 2, eight, palette);
    b.setPixelFormat(PixelFormat::Rgb565);
    const auto bytes = saved(b);
    EXPECT_EQ(le32(bytes, 10), 1090u);
    EXPECT_EQ(le32(bytes, 46), 256u);
    EXPECT_EQ(le32(bytes, 2), 1090u + 16u);
    EXPECT_EQ(bytes[66 + 4 * 3 + 0], 7);    // blue
    EXPECT_EQ(bytes[66 + 4 * 3 + 1], 252);  // green
    EXPECT_EQ(bytes[66 + 4 * 3 + 2], 3);    // red
    EXPECT_EQ(bytes[66 + 4 * 3 + 3], 0);
}

TEST(BmpWrite, SavingTwiceGivesIdenticalFiles)
{
    abm::test::TempDir dir;
    Raster b =
        makeRaster(127, 33, PixelFormat::Rgb565, [](int x, int y) { return static_cast<uint32_t>(x * y * 977); });
    writeBmpFile(b, dir / "a.bmp");
    writeBmpFile(b, dir / "b.bmp");
    EXPECT_EQ(abm::test::readFile(dir / "a.bmp"), abm::test::readFile(dir / "b.bmp"));
}

TEST(BmpWrite, EveryFormatReadsBackUnchanged)
{
    for (PixelFormat f : {PixelFormat::Indexed1, PixelFormat::Indexed4, PixelFormat::Indexed8, PixelFormat::Rgb555,
                          PixelFormat::Rgb565, PixelFormat::Bgr888, PixelFormat::Bgrx8888}) {
        Raster b = makeRaster(13, 7, f,
                              [](int x, int y) { return static_cast<uint32_t>((x * 0x1F3A7 + y * 0x3B) & 0xFFFFFF); });
        MemoryStream stream;
        writeBmp(b, stream);
        stream.setPosition(0);
        const Raster back = readBmp(stream);
        EXPECT_EQ(encodeBmp(back), stream.bytes());
        EXPECT_EQ(back.pixelFormat(), f);
        EXPECT_EQ(back.palette(), b.palette());
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(back.pixel(x, y), b.pixel(x, y)) << "format " << f << " at " << x << "," << y;
    }
}

TEST(BmpWrite, UncreatableFileRaisesTheCreateError)
{
    Raster b = makeRaster(1, 1, PixelFormat::Rgb565, [](int, int) { return 0u; });
    try {
        writeBmpFile(b, "/nonexistent-folder/x.bmp");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileCreate);
        EXPECT_EQ(std::string(e.what()).rfind("Cannot create file \"/nonexistent-folder/x.bmp\". ", 0), 0u) << e.what();
    }
    try {
        (void)readBmpFile("/nonexistent-folder/x.bmp");
        FAIL();
    } catch (const FileError& e) {
        EXPECT_EQ(e.kind(), ErrorKind::FileOpen);
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"/nonexistent-folder/x.bmp\". No such file or directory");
    }
}
