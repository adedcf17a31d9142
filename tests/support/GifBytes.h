#pragma once

// Byte streams for the GIF tests: codes packed least significant bit first,
// a plain LZW encoder, and a GIF file put together block by block.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace abm::test {

// (code, bit size) pairs packed into bytes as a GIF code stream.
inline std::vector<uint8_t> packCodes(const std::vector<std::pair<int, int>>& codes)
{
    std::vector<uint8_t> out;
    uint32_t acc = 0;
    int bits = 0;
    for (auto [code, size] : codes) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += size;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits > 0)
        out.push_back(static_cast<uint8_t>(acc));
    return out;
}

struct LzwOptions {
    bool clearAtStart = true;
    bool clearWhenFull = true;  // else the full table is used as it stands
    int clearEvery = 0;         // codes between extra clears, 0 for none
    bool endCode = true;
};

// A straightforward encoder: grows the code size one code late, as GIF
// decoders expect. Minimum code sizes 2 to 11 only: below 2 the first codes
// after a clear do not fit their bit size.
inline std::vector<uint8_t> lzwEncode(const std::vector<uint8_t>& pixels, int minCodeSize, LzwOptions o = {})
{
    const int clear = 1 << minCodeSize, end = clear + 1;
    std::vector<std::pair<int, int>> codes;
    std::unordered_map<uint32_t, int> dict;
    int next = clear + 2, size = minCodeSize + 1, emitted = 0;
    auto reset = [&] {
        dict.clear();
        next = clear + 2;
        size = minCodeSize + 1;
    };
    if (o.clearAtStart)
        codes.push_back({clear, size});
    auto emit = [&](int code) {
        codes.push_back({code, size});
        if (next >= (1 << size) && size < 12)
            ++size;
        ++emitted;
    };
    int cur = -1;
    for (uint8_t p : pixels) {
        const int c = p & (clear - 1);
        if (cur < 0) {
            cur = c;
            continue;
        }
        const uint32_t key = (static_cast<uint32_t>(cur) << 8) | static_cast<uint32_t>(c);
        if (auto it = dict.find(key); it != dict.end()) {
            cur = it->second;
            continue;
        }
        emit(cur);
        if (next < 4096)
            dict[key] = next++;
        else if (o.clearWhenFull) {
            codes.push_back({clear, size});
            reset();
        }
        if (o.clearEvery > 0 && emitted % o.clearEvery == 0) {
            codes.push_back({clear, size});
            reset();
        }
        cur = c;
    }
    if (cur >= 0)
        emit(cur);
    if (o.endCode)
        codes.push_back({end, size});
    return packCodes(codes);
}

// Cuts code bytes into data sub-blocks and adds the zero-length block.
inline std::vector<uint8_t> subBlocks(const std::vector<uint8_t>& bytes, size_t blockSize = 255, bool terminate = true)
{
    std::vector<uint8_t> out;
    for (size_t i = 0; i < bytes.size(); i += blockSize) {
        const size_t n = std::min(blockSize, bytes.size() - i);
        out.push_back(static_cast<uint8_t>(n));
        out.insert(out.end(), bytes.begin() + static_cast<long>(i), bytes.begin() + static_cast<long>(i + n));
    }
    if (terminate)
        out.push_back(0);
    return out;
}

struct GifStream {
    std::vector<uint8_t> b;

    GifStream& bytes(std::initializer_list<int> v)
    {
        for (int x : v)
            b.push_back(static_cast<uint8_t>(x));
        return *this;
    }
    GifStream& append(const std::vector<uint8_t>& v)
    {
        b.insert(b.end(), v.begin(), v.end());
        return *this;
    }
    GifStream& word(int v) { return bytes({v & 0xFF, (v >> 8) & 0xFF}); }
    GifStream& table(int bits, int seed = 0)
    {
        for (int i = 0; i < (2 << bits); ++i)
            bytes({(i * 7 + seed) & 0xFF, (i * 13 + seed) & 0xFF, (i * 29 + seed) & 0xFF});
        return *this;
    }
    // "GIF89a" and a screen; a global table of 2 << tableBits entries if asked.
    GifStream& header(int w, int h, int tableBits = -1)
    {
        bytes({'G', 'I', 'F', '8', '9', 'a'}).word(w).word(h);
        bytes({tableBits >= 0 ? 0x80 | tableBits : 0, 0, 0});
        return tableBits >= 0 ? table(tableBits) : *this;
    }
    GifStream& gce(int flags, int transparentIndex, int delay = 0)
    {
        return bytes({0x21, 0xF9, 4, flags}).word(delay).bytes({transparentIndex, 0});
    }
    GifStream& comment(const std::string& text)
    {
        bytes({0x21, 0xFE});
        return append(subBlocks(std::vector<uint8_t>(text.begin(), text.end())));
    }
    GifStream& descriptor(int left, int top, int w, int h, int flags = 0)
    {
        return bytes({0x2C}).word(left).word(top).word(w).word(h).bytes({flags});
    }
    // A whole image: descriptor, optional local table, LZW data in sub-blocks.
    GifStream& image(int left, int top, int w, int h, const std::vector<uint8_t>& pixels, int minCodeSize = 2,
                     int flags = 0, LzwOptions o = {})
    {
        descriptor(left, top, w, h, flags);
        if (flags & 0x80)
            table(flags & 7, 99);
        bytes({minCodeSize});
        return append(subBlocks(lzwEncode(pixels, minCodeSize, o)));
    }
    GifStream& trailer() { return bytes({0x3B}); }
};

}  // namespace abm::test
