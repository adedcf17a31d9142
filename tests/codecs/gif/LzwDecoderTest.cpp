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

// Decodes into rows stored bottom-up, `padding` bytes apart, as a raster
// keeps them (the memory ends with the top row); returns the pixels in stream
// order. The padding must stay as it was.
Decoded decodeIntoRows(const std::vector<uint8_t>& codes, int m, int width, int height, bool interlaced, int padding)
{
    Decoded d;
    LzwDecoder decoder;
    decoder.takeRaw(codes.data(), codes.size());
    const ptrdiff_t stride = width + padding;
    std::vector<uint8_t> memory(static_cast<size_t>(stride * (height - 1) + width), 0x77);
    uint8_t* const top = memory.data() + stride * (height - 1);
    try {
        d.reached = decoder.decode(m, top, -stride, width, height, interlaced, kFill);
    } catch (const InvalidGraphicError& e) {
        d.error = e.what();
    }
    for (auto [first, step] : interlaced ? std::vector<std::pair<int, int>>{{0, 8}, {4, 8}, {2, 4}, {1, 2}}
                                         : std::vector<std::pair<int, int>>{{0, 1}})
        for (int y = first; y < height; y += step)
            d.pixels.insert(d.pixels.end(), top - y * stride, top - y * stride + width);
    for (auto row = memory.begin() + width; row < memory.end(); row += stride)
        EXPECT_EQ(std::count(row, row + padding, 0x77), padding);
    return d;
}

// The decoder as written out plainly, from the code values: each string
// built on a stack from prefix and suffix. Stops at the end code, at a loop
// or once `count` pixels are out.
Decoded stackDecode(const std::vector<int>& codes, int m, size_t count)
{
    const int clear = 1 << m;
    std::vector<int> prefix(4096), suffix(4096);
    int next = 0, previous = 0, first = 0;
    Decoded d;
    for (size_t i = 0; i < codes.size() && codes[i] != clear + 1 && d.pixels.size() < count; ++i) {
        int k = codes[i];
        if (i == 0 || k == clear) {
            for (int j = 0; j < 4096; ++j)
                prefix[j] = 0, suffix[j] = j < clear ? j : 0;
            while (k == clear && i + 1 < codes.size())
                k = codes[++i];
            if (k == clear || k == clear + 1)
                break;
            next = clear + 2, previous = first = k;
            d.pixels.push_back(static_cast<uint8_t>(k));
            continue;
        }
        std::vector<uint8_t> stack;
        if (k >= next)
            stack.push_back(static_cast<uint8_t>(first)), k = previous;
        for (; k >= clear && stack.size() <= 4096; k = prefix[k])
            stack.push_back(static_cast<uint8_t>(suffix[k]));
        if (k >= clear) {
            d.error = "Circular decoder table entry";
            break;
        }
        stack.push_back(static_cast<uint8_t>(first = suffix[k]));
        if (next < 4096)
            prefix[next] = previous, suffix[next++] = first;
        previous = codes[i];
        d.pixels.insert(d.pixels.end(), stack.rbegin(), stack.rend());
    }
    return d;
}

// Codes with the sizes the decoder reads them at.
struct CodeStream {
    int m, next, size;
    bool afterClear = true;
    std::vector<int> codes;
    std::vector<std::pair<int, int>> packed;

    explicit CodeStream(int minCodeSize) : m(minCodeSize), next((1 << m) + 2), size(m + 1) {}
    void Add(int code)
    {
        const int clear = 1 << m;
        codes.push_back(code);
        packed.push_back({code, size});
        if (code == clear || code == clear + 1)
            next = clear + 2, size = m + 1, afterClear = true;
        else if (!std::exchange(afterClear, false) && next < 4096 && ++next >= 1 << size && size < 12)
            ++size;
    }
};

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

TEST(LzwDecoder, RowsInTheSameBytesRebuildEveryStringFromTheTable)
{
    // No string then has a place to be copied from: the longest ones walk
    // the whole table, which is no loop. The bytes keep the stream's last row.
    const size_t tableFull = (4096 - 6) * (4096 - 5) / 2;
    const std::vector<uint8_t> sources[] = {std::vector<uint8_t>(tableFull + 50000, 1), noise(600000, 3, 9)};
    const int width = 1000;
    for (const auto& source : sources)
        for (bool interlaced : {false, true}) {
            const int height = static_cast<int>(source.size()) / width;
            const std::vector<uint8_t> pixels(source.begin(), source.begin() + width * height);
            const auto codes = lzwEncode(pixels, 2, {.clearWhenFull = false});
            LzwDecoder decoder;
            decoder.takeRaw(codes.data(), codes.size());
            std::vector<uint8_t> row(width, 0x77);
            EXPECT_EQ(decoder.decode(2, row.data(), ptrdiff_t{0}, width, height, interlaced), pixels.size());
            EXPECT_TRUE(std::equal(row.begin(), row.end(), pixels.end() - width));
        }
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
        // Code 10 past next: entry 9, made after it, points ahead to entry 10.
        {"an entry not made yet reads as 0 0",
         {{4, 3}, {1, 3}, {1, 3}, {1, 3}, {10, 4}, {2, 4}, {9, 4}, {5, 4}},
         {1, 1, 1, 1, 1, 2, 0, 0, 2},
         9},
        {"a string changes once the entry it points ahead to is made",
         {{4, 3}, {1, 3}, {1, 3}, {1, 3}, {10, 4}, {2, 4}, {3, 4}, {9, 4}, {5, 4}},
         {1, 1, 1, 1, 1, 2, 3, 2, 3, 2},
         10},
        // Clear 512, end 513, 10-bit codes.
        {"wide literals keep their low 8 bits", {{512, 10}, {300, 10}, {511, 10}, {513, 10}}, {300 & 0xFF, 0xFF}, 2, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Decoded d = decodeRaw(packCodes(c.codes), c.minCodeSize, 12);
        EXPECT_EQ(d.error, "");
        EXPECT_EQ(d.reached, c.reached);
        EXPECT_EQ(d.pixels, fill(c.pixels, 12));
    }
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

TEST(LzwDecoder, CopiesStringsAcrossRowEndsAndInterlacePasses)
{
    // One value makes every code repeat the previous string plus its first
    // pixel, with strings longer than the rows; runs and noise fill the table.
    std::vector<uint8_t> longRuns(6000);
    for (size_t i = 0; i < longRuns.size(); ++i)
        longRuns[i] = static_cast<uint8_t>((i / 170) % 3);
    const std::vector<uint8_t> sources[] = {std::vector<uint8_t>(6000, 1), longRuns, noise(6000, 15, 5)};
    const LzwOptions shapes[] = {{}, {.clearWhenFull = false}, {.clearEvery = 300}};
    const std::pair<int, int> sizes[] = {{1, 9}, {7, 5}, {16, 16}, {17, 33}, {60, 100}};
    for (const auto& source : sources)
        for (const LzwOptions& shape : shapes)
            for (auto [w, h] : sizes)
                for (bool interlaced : {false, true}) {
                    SCOPED_TRACE(testing::Message() << w << "x" << h << (interlaced ? " interlaced" : ""));
                    const std::vector<uint8_t> pixels(source.begin(), source.begin() + w * h);
                    const Decoded d = decodeIntoRows(lzwEncode(pixels, 4, shape), 4, w, h, interlaced, 3);
                    EXPECT_EQ(d.error, "");
                    EXPECT_EQ(d.reached, pixels.size());
                    EXPECT_TRUE(d.pixels == pixels);
                }
}

TEST(LzwDecoder, MatchesTheStackDecoderOnAnyCodeStream)
{
    // Code 10 past next makes entry 9 point ahead to entry 10, made later;
    // codes equal to next then chain every other entry behind it, and the
    // last one is used until the chain runs through the whole table.
    CodeStream chain(2);
    for (int code : {4, 1, 1, 1, 10, 2, 9})
        chain.Add(code);
    while (chain.next < 4096)
        chain.Add(chain.next);
    for (int code : {4095, 4095, 5})
        chain.Add(code);
    std::vector<std::tuple<CodeStream, int, int>> streams = {{chain, 4096, 2100}};

    // Codes past next, clears and end codes among valid ones: entries that
    // point ahead or at themselves, strings that change, loops.
    std::mt19937 rng(18);
    for (int round = 0; round < 3000; ++round) {
        CodeStream s(2 + static_cast<int>(rng() % 7));
        const int clear = 1 << s.m;
        const unsigned wild = 1 + rng() % 60;
        for (int i = 0; i < 1500 && (s.codes.empty() || s.codes.back() != clear + 1); ++i) {
            const unsigned r = rng() % 1000, made = static_cast<unsigned>(s.next - clear - 2);
            s.Add(r < 3                  ? clear
                  : r < 3 + wild         ? static_cast<int>(rng() % (1u << s.size))
                  : r < 400 || made == 0 ? static_cast<int>(rng() % static_cast<unsigned>(clear))
                  : r < 450              ? std::min(s.next, 4095)
                                         : clear + 2 + static_cast<int>(rng() % made));
        }
        streams.push_back({s, 1 + static_cast<int>(rng() % 64), 1 + static_cast<int>(rng() % 32)});
    }
    for (size_t i = 0; i < streams.size(); ++i) {
        const auto& [s, w, h] = streams[i];
        SCOPED_TRACE(testing::Message() << "stream " << i);
        const Decoded expected = stackDecode(s.codes, s.m, static_cast<size_t>(w * h));
        const size_t reached = std::min(expected.pixels.size(), static_cast<size_t>(w * h));
        const Decoded d = decodeIntoRows(packCodes(s.packed), s.m, w, h, i % 2 == 1, static_cast<int>(i % 4));
        EXPECT_EQ(d.error, expected.error);
        if (expected.error.empty()) {
            EXPECT_EQ(d.reached, reached);
        }
        ASSERT_TRUE(d.pixels == fill({expected.pixels.begin(), expected.pixels.begin() + static_cast<long>(reached)},
                                     static_cast<size_t>(w * h)));
    }
}
