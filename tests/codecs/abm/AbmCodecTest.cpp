#include "codecs/abm/AbmCodec.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace abm;
using abm::test::makeRaster;

TEST(AbmCodec, HeaderEncodesAndDecodesEveryField)
{
    AbmHeader h;
    h.frameWidth = 0x1234;
    h.frameHeight = 0xFEDC;
    h.bitCount = 16;
    h.reserved1 = 1;
    h.frameCount = 255;
    h.reserved2 = 2;
    h.reserved3 = 0x01020304;
    h.dataSize = -2;
    h.reserved4 = 0xA0B0C0D0;
    h.creatorText[51] = 'z';
    const auto bytes = h.encode();
    EXPECT_EQ(bytes[0], 0x34);
    EXPECT_EQ(bytes[3], 0xFE);
    EXPECT_EQ(bytes[12], 0xFE);
    EXPECT_EQ(bytes[15], 0xFF);
    EXPECT_EQ(bytes[71], 'z');
    const AbmHeader back = AbmHeader::decode(bytes.data(), bytes.size());
    EXPECT_EQ(back.encode(), bytes);
}

// Frames to bytes and back, in memory: the pixels come back as written, the
// header's verdict decides, and no frame past the file's four or the
// caller's limit is made.
TEST(AbmCodec, DecodedFramesAreTheEncodedOnes)
{
    struct Case {
        const char* what;
        int frames, maxFrames;
        size_t cut;  // bytes dropped from the end
        AbmVerdict verdict;
        int decoded;
    };
    const Case cases[] = {
        {"one frame", 1, 4, 0, AbmVerdict::Accepted, 1},
        {"six frames keep four", 6, 4, 0, AbmVerdict::Accepted, 4},
        {"caller's limit", 3, 2, 0, AbmVerdict::Accepted, 2},
        {"one byte short", 2, 4, 1, AbmVerdict::BadFormat, 0},
        {"header alone", 2, 4, 2 * 7 * 5 * 2, AbmVerdict::BadFormat, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<Raster> frames;
        std::vector<const Raster*> pointers;
        for (int i = 0; i < c.frames; ++i)
            frames.push_back(makeRaster(7, 5, PixelFormat::Rgb565,
                                        [i](int x, int y) { return static_cast<uint32_t>(i * 40 + x * 9 + y); }));
        for (const Raster& r : frames)
            pointers.push_back(&r);
        std::vector<uint8_t> bytes = encodeAbm(pointers);
        ASSERT_EQ(bytes.size(), AbmHeader::kSize + std::min(c.frames, kMaxAbmFrames) * 7u * 5u * 2u);
        bytes.resize(bytes.size() - c.cut);
        const AbmDecoded d = decodeAbm(bytes.data(), bytes.size(), c.maxFrames);
        EXPECT_EQ(d.check.verdict, c.verdict);
        ASSERT_EQ(d.frames.size(), static_cast<size_t>(c.decoded));
        for (int i = 0; i < c.decoded; ++i)
            for (int y = 0; y < 5; ++y)
                EXPECT_EQ(std::memcmp(d.frames[i].row(y), frames[i].row(y), 7 * 2), 0) << i << "," << y;
    }
    EXPECT_TRUE(encodeAbm({}).empty());
}
