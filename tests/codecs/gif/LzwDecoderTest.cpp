#include "base/Error.h"
#include "codecs/gif/LzwDecoder.h"
#include "GifBytes.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace abm;
using namespace abm::test;

namespace {

constexpr uint8_t kFill = 0xEE;

struct Decoded {
    std::vector<uint8_t> pixels;
    size_t reached = 0;
    std::vector<std::string> warnings;
    std::string error;
};

Decoded decodeRaw(const std::vector<uint8_t>& codes, int minCodeSize, size_t count, bool interlaced = false,
                  int width = 0)
{
    Decoded d;
    LzwDecoder decoder;
    decoder.onWarning = [&](const std::string& w) { d.warnings.push_back(w); };
    decoder.takeRaw(codes.data(), codes.size());
    const int w = width > 0 ? width : static_cast<int>(count);
    d.pixels.assign(count, 0x77);
    try {
        d.reached = decoder.decode(minCodeSize, d.pixels.data(), w, static_cast<int>(count) / w, interlaced, kFill);
    } catch (const InvalidGraphicError& e) {
        d.error = e.what();
    }
    return d;
}

// Noise with runs: the mix real pictures give the table.
std::vector<uint8_t> noise(size_t n, int maxValue, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> p(n);
    for (size_t i = 0; i < n;) {
        const uint8_t v = static_cast<uint8_t>(rng() % static_cast<unsigned>(maxValue + 1));
        for (size_t run = 1 + rng() % 6; run > 0 && i < n; --run)
            p[i++] = v;
    }
    return p;
}

std::vector<uint8_t> fill(std::vector<uint8_t> head, size_t count)
{
    head.resize(count, kFill);
    return head;
}

}  // namespace

TEST(LzwDecoder, DecodesRawCorpusStreamsToTheirReferenceBytes)
{
    const auto dir = corpora() / "gif" / "wuffs";
    for (const char* name : {"bricks-dither.indexes", "bricks-nodither.indexes", "bricks-gray.indexes", "pi.txt"}) {
        SCOPED_TRACE(name);
        const auto stream = readFile(dir / (std::string(name) + ".giflzw"));
        const auto expected = readFile(dir / name);
        ASSERT_GT(stream.size(), 1u);
        ASSERT_FALSE(expected.empty());
        const std::vector<uint8_t> codes(stream.begin() + 1, stream.end());
        const Decoded d = decodeRaw(codes, stream[0], expected.size());
        EXPECT_EQ(d.error, "");
        EXPECT_EQ(d.reached, expected.size());
        EXPECT_TRUE(d.pixels == expected);
    }
}

TEST(LzwDecoder, RoundTripsEveryMinimumCodeSizeAndStreamShape)
{
    struct Shape {
        const char* name;
        LzwOptions options;
    };
    const Shape shapes[] = {
        {"clear at start", {}},
        {"no clear at start", {.clearAtStart = false}},
        {"deferred clear", {.clearEvery = 700}},
        {"full table without clear", {.clearWhenFull = false}},
        {"no end code", {.endCode = false}},
    };
    // Minimum code sizes 0 and 1 have hand-made streams below.
    for (int m = 2; m <= 11; ++m) {
        const auto pixels = noise(60000, m >= 8 ? 255 : (1 << m) - 1, static_cast<unsigned>(m));
        for (const Shape& s : shapes) {
            SCOPED_TRACE(testing::Message() << "m=" << m << ", " << s.name);
            const Decoded d = decodeRaw(lzwEncode(pixels, m, s.options), m, pixels.size());
            EXPECT_EQ(d.error, "");
            EXPECT_EQ(d.reached, pixels.size());
            EXPECT_TRUE(d.pixels == pixels);
        }
    }
}

TEST(LzwDecoder, FullTableStaysAsItIsAndLongestStringsFitTheStack)
{
    // A run of one value builds strings of length 1, 2, 3, … until the table
    // is full; the longest one is then used again and again.
    const size_t tableFull = (4096 - 6) * (4096 - 5) / 2;
    const std::vector<uint8_t> pixels(tableFull + 50000, 1);
    const Decoded d = decodeRaw(lzwEncode(pixels, 2, {.clearWhenFull = false}), 2, pixels.size());
    EXPECT_EQ(d.error, "");
    EXPECT_TRUE(d.pixels == pixels);
}

TEST(LzwDecoder, HandMadeCodeStreams)
{
    // Minimum code size 2: clear 4, end 5, first free entry 6, codes of 3 bits
    // until entry 7 is made, then 4 bits.
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> codes;
        std::vector<uint8_t> pixels;  // then the fill value
        size_t reached;
        int minCodeSize = 2;
    };
    const Case cases[] = {
        // Clear 1, end 2, first free entry 3; 1-bit codes, 2 bits once entry 3
        // is made, 3 bits after entry 4.
        {"minimum code size 0", {{1, 1}, {0, 1}, {0, 1}, {3, 2}, {2, 3}}, {0, 0, 0, 0}, 4, 0},
        // Clear 2, end 3, first free entry 4; 3 bits once entry 4 is made.
        {"minimum code size 1", {{2, 2}, {1, 2}, {1, 2}, {4, 3}, {3, 3}}, {1, 1, 1, 1}, 4, 1},
        {"code equal to next repeats the previous string plus its first pixel",
         {{4, 3}, {1, 3}, {6, 3}, {5, 3}},
         {1, 1, 1},
         3},
        {"code above next is taken as next", {{4, 3}, {1, 3}, {7, 3}, {7, 3}, {5, 4}}, {1, 1, 1, 0, 0, 1}, 6},
        {"end code before the last pixel leaves the rest at the fill value",
         {{4, 3}, {1, 3}, {2, 3}, {5, 3}, {3, 3}, {3, 3}},
         {1, 2},
         2},
        {"first code is clear without reading", {{2, 3}, {3, 3}, {5, 3}}, {2, 3}, 2},
        {"repeated clears", {{4, 3}, {4, 3}, {4, 3}, {3, 3}, {5, 3}}, {3}, 1},
        {"end code right after clear gives no pixel", {{4, 3}, {5, 3}, {1, 3}}, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = decodeRaw(packCodes(c.codes), c.minCodeSize, 8);
        EXPECT_EQ(d.error, "");
        EXPECT_EQ(d.reached, c.reached);
        EXPECT_EQ(d.pixels, fill(c.pixels, 8));
    }
}

TEST(LzwDecoder, KeepsTheLowEightBitsOfWideLiterals)
{
    // Minimum code size 9: clear 512, end 513, 10-bit codes.
    const Decoded d = decodeRaw(packCodes({{512, 10}, {300, 10}, {511, 10}, {513, 10}}), 9, 2);
    EXPECT_EQ(d.pixels, (std::vector<uint8_t>{300 & 0xFF, 511 & 0xFF}));
}

TEST(LzwDecoder, DetectsCircularTableEntries)
{
    const std::vector<std::pair<int, int>> cycles[] = {
        // Entry 6 made from code 7 (past next): entry 7 then points at itself.
        {{4, 3}, {1, 3}, {7, 3}, {0, 3}, {7, 4}},
        // Entries 6 and 7 point at each other.
        {{4, 3}, {7, 3}, {6, 3}, {0, 3}, {6, 4}},
    };
    for (const auto& codes : cycles) {
        const Decoded d = decodeRaw(packCodes(codes), 2, 64);
        EXPECT_EQ(d.error, "Circular decoder table entry");
    }
}

TEST(LzwDecoder, RefusesMinimumCodeSizesPastElevenBeforeWritingAPixel)
{
    for (int m : {12, 13, 255}) {
        const Decoded d = decodeRaw(packCodes({{1 << 12, 13}, {1, 13}}), m, 4);
        EXPECT_EQ(d.error, "Invalid LZW minimum code size");
        EXPECT_EQ(d.pixels, std::vector<uint8_t>(4, 0x77));
    }
}

TEST(LzwDecoder, FillsInterlacedRowsInPassOrder)
{
    const std::vector<std::vector<int>> orders = {
        {0}, {0, 1}, {0, 2, 1}, {0, 4, 2, 1, 3}, {0, 4, 2, 6, 1, 3, 5, 7}, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9},
    };
    for (const auto& order : orders) {
        const int h = static_cast<int>(order.size());
        // Row i of the stream is 3 pixels of value i.
        std::vector<uint8_t> stream;
        for (int i = 0; i < h; ++i)
            stream.insert(stream.end(), 3, static_cast<uint8_t>(i));
        const Decoded d = decodeRaw(lzwEncode(stream, 4), 4, stream.size(), true, 3);
        for (int i = 0; i < h; ++i)
            EXPECT_EQ(d.pixels[static_cast<size_t>(order[static_cast<size_t>(i)]) * 3], i) << "height " << h;
    }
}

TEST(LzwDecoder, DataThatRunsOutWarnsOfUnderrunAndKeepsTheFill)
{
    // Two whole codes, then a partial one; no end code.
    const Decoded d = decodeRaw(packCodes({{4, 3}, {1, 3}, {1, 2}}), 2, 6);
    EXPECT_EQ(d.pixels, fill({1, 1}, 6));
    EXPECT_EQ(d.reached, 2u);
    EXPECT_EQ(d.warnings, std::vector<std::string>{"Decoder bit buffer under-run"});

    const Decoded none = decodeRaw({}, 2, 3);
    EXPECT_EQ(none.pixels, fill({}, 3));
    EXPECT_EQ(none.reached, 0u);
}
