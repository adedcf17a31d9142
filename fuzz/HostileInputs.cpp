#include "HostileInputs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace abm::fuzz {

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// A GIF header with a two-colour global table.
Bytes gifHeader(uint32_t w, uint32_t h)
{
    Bytes b = {'G', 'I', 'F', '8', '9', 'a'};
    put16(b, w);
    put16(b, h);
    b.insert(b.end(), {0x80, 0, 0, 0, 0, 0, 255, 255, 255});
    return b;
}

void gifImage(Bytes& b, uint32_t left, uint32_t top, uint32_t w, uint32_t h, uint8_t minCode, const Bytes& data)
{
    b.push_back(0x2C);
    put16(b, left);
    put16(b, top);
    put16(b, w);
    put16(b, h);
    b.push_back(0);
    b.push_back(minCode);
    for (size_t i = 0; i < data.size(); i += 255) {
        const size_t n = std::min<size_t>(255, data.size() - i);
        b.push_back(static_cast<uint8_t>(n));
        b.insert(b.end(), data.begin() + static_cast<std::ptrdiff_t>(i),
                 data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    b.push_back(0);
}

// Codes of `width` bits, least significant bit first.
Bytes codes(const std::vector<int>& codes, int width)
{
    Bytes out;
    uint32_t acc = 0;
    int bits = 0;
    for (int c : codes) {
        acc |= static_cast<uint32_t>(c) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    }
    if (bits)
        out.push_back(static_cast<uint8_t>(acc));
    return out;
}

Bytes bmp(int32_t w, int32_t h, uint16_t bpp, uint32_t compression, uint32_t headerSize, const Bytes& rest)
{
    Bytes b = {'B', 'M'};
    put32(b, 0);
    put32(b, 0);
    put32(b, 0);
    put32(b, headerSize);
    put32(b, static_cast<uint32_t>(w));
    put32(b, static_cast<uint32_t>(h));
    put16(b, 1);
    put16(b, bpp);
    put32(b, compression);
    for (int i = 0; i < 5; ++i)
        put32(b, 0);
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
}

Bytes abm(uint16_t w, uint16_t h, uint8_t bits, uint8_t count, uint32_t dataSize, size_t pixels)
{
    Bytes b;
    put16(b, w);
    put16(b, h);
    b.insert(b.end(), {bits, 0, count, 0});
    put32(b, 0);
    put32(b, dataSize);
    b.resize(72 + pixels, 0);
    return b;
}

// A baseline JPEG frame header claiming any size, with no usable scan.
Bytes jpegClaiming(uint16_t w, uint16_t h, uint8_t marker)
{
    Bytes b = {0xFF, 0xD8, 0xFF, marker, 0, 17, 8};
    b.push_back(static_cast<uint8_t>(h >> 8));
    b.push_back(static_cast<uint8_t>(h));
    b.push_back(static_cast<uint8_t>(w >> 8));
    b.push_back(static_cast<uint8_t>(w));
    b.insert(b.end(), {3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

// A GIF of `count` images of 1 × 1 pixel, 16 bytes each.
Bytes tinyImages(int count)
{
    Bytes g = gifHeader(2, 2);
    const Bytes data = codes({4, 1, 5}, 3);
    for (int i = 0; i < count; ++i)
        gifImage(g, 0, 0, 1, 1, 2, data);
    g.push_back(0x3B);
    return g;
}

// Codes that start with a clear code, packed at the widths a decoder reads
// them: one bit more each time the table it builds reaches the next power of
// two, up to 12 bits.
Bytes growingCodes(const std::vector<int>& codes, int minCodeSize)
{
    Bytes out;
    uint32_t acc = 0;
    int bits = 0, width = minCodeSize + 1, next = (1 << minCodeSize) + 2;
    for (size_t i = 0; i < codes.size(); ++i) {
        acc |= static_cast<uint32_t>(codes[i]) << bits;
        bits += width;
        while (bits >= 8) {
            out.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
        // The first code after the clear adds no table entry.
        if (i >= 2 && next < 4096 && ++next >= (1 << width) && width < 12)
            ++width;
    }
    if (bits)
        out.push_back(static_cast<uint8_t>(acc));
    return out;
}

// The codes of a picture of `pixels` pixels of index 0 (minimum code size 2),
// packed at the widths the decoder reads them: each code one pixel longer
// than the last until the table is full, then the longest again and again.
// An 8192 × 8192 picture takes some 20 kB.
Bytes flatCodes(int64_t pixels)
{
    constexpr int kClear = 4, kEnd = 5, kMaxCode = 4095;
    std::vector<int> codes = {kClear};
    int64_t left = pixels;
    for (int code = 0; left > 0;) {
        const int64_t length = code == 0 ? 1 : code - kClear;
        if (length > left) {
            codes.push_back(left == 1 ? 0 : static_cast<int>(left) + kClear);
            break;
        }
        codes.push_back(code);
        left -= length;
        code = code == 0 ? kClear + 2 : std::min(code + 1, kMaxCode);
    }
    codes.push_back(kEnd);
    return growingCodes(codes, 2);
}

// A colour baseline JPEG claiming any size, with one quantisation table, one
// Huffman code per table (category 0, end of block) and a little scan data:
// its header reads like any other.
Bytes jpegWithScan(uint16_t w, uint16_t h)
{
    Bytes b = {0xFF, 0xD8, 0xFF, 0xDB, 0, 67, 0};
    b.insert(b.end(), 64, 1);
    b.insert(b.end(), {0xFF, 0xC0, 0, 17, 8});
    b.insert(b.end(), {static_cast<uint8_t>(h >> 8), static_cast<uint8_t>(h), static_cast<uint8_t>(w >> 8),
                       static_cast<uint8_t>(w)});
    b.insert(b.end(), {3, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0});
    b.insert(b.end(), {0xFF, 0xC4, 0, 38});
    for (uint8_t table : {0x00, 0x10}) {
        b.push_back(table);
        b.push_back(1);
        b.insert(b.end(), 15, 0);
        b.push_back(0);
    }
    b.insert(b.end(), {0xFF, 0xDA, 0, 12, 3, 1, 0x00, 2, 0x00, 3, 0x00, 0, 63, 0});
    b.insert(b.end(), 500, 0);
    b.insert(b.end(), {0xFF, 0xD9});
    return b;
}

}  // namespace

std::vector<HostileInput> hostileInputs()
{
    std::vector<HostileInput> in;
    auto add = [&in](const std::string& kind, const std::string& name, Bytes bytes) {
        in.push_back({kind, name, std::move(bytes)});
    };

    // GIF: minimum code sizes at and past the table, codes past the next
    // free entry, a full table without clear, placement past the screen,
    // zero sizes, allocation bombs, and a great many tiny images.
    for (int m : {0, 1, 2, 11, 12, 13, 255}) {
        Bytes g = gifHeader(4, 4);
        gifImage(g, 0, 0, 4, 4, static_cast<uint8_t>(m), {0x00, 0x51, 0xFC, 0x1B, 0x28, 0x70});
        g.push_back(0x3B);
        add("gif", "mincode-" + std::to_string(m) + ".gif", g);
    }
    {
        Bytes g = gifHeader(8, 8);
        gifImage(g, 0, 0, 8, 8, 2, codes({4, 1, 500 & 7, 7, 6, 7, 7, 7, 5}, 3));
        g.push_back(0x3B);
        add("gif", "code-past-next.gif", g);
    }
    {
        std::vector<int> codes = {256};
        for (int i = 0; i < 6000; ++i)
            codes.push_back(i % 256);
        // Written at growing widths the way an encoder without clear would.
        const Bytes data = growingCodes(codes, 8);
        Bytes g = gifHeader(100, 60);
        gifImage(g, 0, 0, 100, 60, 8, data);
        g.push_back(0x3B);
        add("gif", "full-table-no-clear.gif", g);
    }
    {
        Bytes g = gifHeader(10, 10);
        gifImage(g, 65530, 65530, 20, 20, 2, codes({4, 1, 1, 1, 5}, 3));
        gifImage(g, 0xFFFF, 0, 0xFFFF, 1, 2, codes({4, 1, 5}, 3));
        g.push_back(0x3B);
        add("gif", "outside-screen.gif", g);
    }
    {
        Bytes g = gifHeader(0, 0);
        gifImage(g, 0, 0, 0, 0, 2, codes({4, 1, 5}, 3));
        g.push_back(0x3B);
        add("gif", "zero-screen.gif", g);
    }
    {
        Bytes g = gifHeader(65535, 65535);
        gifImage(g, 0, 0, 65535, 65535, 2, codes({4, 1, 5}, 3));
        g.push_back(0x3B);
        add("gif", "bomb-65535.gif", g);
        Bytes z = gifHeader(65535, 65535);
        gifImage(z, 0, 0, 0, 7, 2, codes({4, 1, 5}, 3));
        z.push_back(0x3B);
        add("gif", "bomb-zero-size.gif", z);
    }
    add("gif", "hundred-thousand-images.gif", tinyImages(100000));
    {
        Bytes g = gifHeader(4, 4);
        g.insert(g.end(), {0x21, 0xFF, 3, 'N', 'E', 'T', 0, 0x21, 0x02, 0, 0x21, 0xF9, 2, 1});
        add("gif", "broken-extensions.gif", g);
    }

    // BMP: bombs, stride × height overflow, runs and deltas past the edge,
    // indexes past the table, lying header sizes, masks of 0 and 32 bits.
    add("bmp", "bomb-65535.bmp", bmp(65535, 65535, 24, 0, 40, {}));
    add("bmp", "bomb-3000000.bmp", bmp(3000000, 2000000, 8, 0, 40, Bytes(1024, 0x40)));
    add("bmp", "stride-overflow.bmp", bmp(0x7FFFFFFF, 2, 32, 0, 40, {}));
    add("bmp", "negative-extreme.bmp", bmp(1, static_cast<int32_t>(0x80000000u), 24, 0, 40, {}));
    {
        Bytes rest(1024, 0);
        const Bytes runs = {255, 1, 255, 2, 0, 2, 255, 255, 0, 2, 255, 0, 0, 255, 1, 2, 3, 0, 0, 1};
        rest.insert(rest.end(), runs.begin(), runs.end());
        Bytes b = bmp(4, 4, 8, 1, 40, rest);
        b[34] = static_cast<uint8_t>(runs.size());
        add("bmp", "rle8-past-edge.bmp", b);
        Bytes b4 = bmp(3, 3, 4, 2, 40, Bytes(64, 0));
        b4.insert(b4.end(), {255, 0x12, 0, 2, 255, 255, 0, 200, 1, 2});
        add("bmp", "rle4-past-edge.bmp", b4);
    }
    {
        Bytes rest;
        for (int i = 0; i < 2; ++i)
            put32(rest, 0x00FF00FFu);
        rest.insert(rest.end(), {0xFF, 0xFE, 0x80, 0x7F});
        Bytes b = bmp(4, 1, 8, 0, 40, rest);
        b[46] = 2;  // two colours used, indexes up to 255
        add("bmp", "index-past-table.bmp", b);
    }
    for (uint32_t size : {0u, 5u, 11u, 13u, 39u, 41u, 1000u, 0xFFFFFFFFu}) {
        Bytes b = bmp(2, 2, 24, 0, size, Bytes(16, 7));
        add("bmp", "header-size-" + std::to_string(size) + ".bmp", b);
    }
    for (uint32_t mask : {0u, 0xFFFFFFFFu, 0x80000001u}) {
        Bytes rest;
        put32(rest, mask);
        put32(rest, 0x0000FF00u);
        put32(rest, 0);
        rest.resize(rest.size() + 16, 0xAB);
        add("bmp", "mask-" + std::to_string(mask) + ".bmp", bmp(2, 2, 32, 3, 40, rest));
    }

    // JPEG: sizes past the raster cap, a header with no scan.
    add("jpeg", "claims-65500.jpg", jpegClaiming(65500, 65500, 0xC0));
    add("jpeg", "progressive-claims-40000.jpg", jpegClaiming(40000, 40000, 0xC2));
    add("jpeg", "zero-size.jpg", jpegClaiming(0, 0, 0xC0));
    add("jpeg", "only-soi.jpg", {0xFF, 0xD8});

    // ABM: sizes that overflow signed 32-bit arithmetic.
    add("abm", "datasize-max.abm", abm(1, 1, 16, 1, 0x7FFFFFFF, 0));
    add("abm", "datasize-negative.abm", abm(1, 1, 16, 1, 0xFFFFFFB8u, 0));
    add("abm", "count-overflow.abm", abm(65535, 65535, 16, 255, 0, 0));
    add("abm", "buffer-overflow.abm", abm(65535, 65535, 16, 0, 0, 0));
    add("abm", "zero-width.abm", abm(0, 100, 16, 3, 0, 0));
    add("abm", "wide-row.abm", abm(20000, 1, 16, 1, 40000, 40000));

    // INI: NUL bytes, a byte-order mark, a very long line, duplicate keys.
    {
        const std::string nul("[TMForm]\r\nLoad\0Img=x\r\nSavePath=\0\r\n", 32);
        add("ini", "nul.ini", Bytes(nul.begin(), nul.end()));
        const std::string bom = "\xEF\xBB\xBF[TMForm]\r\nLoadImg=/a/\r\n";
        add("ini", "bom.ini", Bytes(bom.begin(), bom.end()));
        std::string longLine = "[TMForm]\r\nLoadImg=" + std::string(1 << 20, 'x') + "\r\n";
        add("ini", "long-line.ini", Bytes(longLine.begin(), longLine.end()));
        const std::string dup = "[TMForm]\nLoadImg=1\nloadimg=2\n[tmform]\nLOADIMG=3\n";
        add("ini", "duplicates.ini", Bytes(dup.begin(), dup.end()));
        const std::string odd = "TMForm]\r\n[[TMForm]\r\n=\r\n==\r\n[TMForm\r\nkey";
        add("ini", "odd.ini", Bytes(odd.begin(), odd.end()));
    }

    // The import target takes a file, then its extension and options bytes.
    std::vector<HostileInput> forImport;
    for (const HostileInput& h : in) {
        const int kind = h.kind == "gif" ? 0 : h.kind == "bmp" ? 1 : h.kind == "jpeg" ? 2 : h.kind == "abm" ? 3 : -1;
        // A hundred thousand frames of a full frame size each is work, not hostility.
        if (kind < 0 || h.name == "hundred-thousand-images.gif")
            continue;
        for (uint8_t flags : {0x00, 0x07, 0x3A}) {
            Bytes b = h.bytes;
            b.push_back(static_cast<uint8_t>(kind));
            b.push_back(flags);
            forImport.push_back({"import", h.name + "." + std::to_string(flags), std::move(b)});
        }
    }
    in.insert(in.end(), forImport.begin(), forImport.end());
    return in;
}

std::vector<HostileInput> memoryBombs()
{
    std::vector<HostileInput> in;
    auto add = [&in](const std::string& kind, const std::string& name, Bytes bytes, int64_t size = 0) {
        in.push_back({kind, name, std::move(bytes), size});
    };
    add("bmp", "wide-1bit.bmp", bmp(134217728, 1, 1, 0, 40, {0, 0, 0, 0, 255, 255, 255, 0}));
    {
        Bytes g = gifHeader(8192, 8192);
        gifImage(g, 0, 0, 8192, 8192, 2, flatCodes(int64_t{8192} * 8192));
        for (int i = 0; i < 20; ++i)
            gifImage(g, 0, 0, 1, 1, 2, codes({4, 1, 5}, 3));
        g.push_back(0x3B);
        add("gif", "big-and-twenty-tiny.gif", g);
    }
    {
        Bytes g = gifHeader(16384, 16384);
        for (int i = 0; i < 4; ++i)
            gifImage(g, 0, 0, 16384, 16384, 2, codes({4, 1, 5}, 3));
        g.push_back(0x3B);
        add("gif", "four-16384.gif", g);
    }
    add("bmp", "empty-32bit-16384.bmp", bmp(16384, 16384, 32, 0, 40, {}));
    add("jpeg", "claims-16384.jpg", jpegWithScan(16384, 16384));
    // Two frames of 16384 × 16384: exactly 1 GiB of pixels the file never stores.
    add("abm", "sparse-1gb.abm", abm(16384, 16384, 16, 2, 1u << 30, 0), (int64_t{1} << 30) + 72);
    add("gif", "two-hundred-thousand-images.gif", tinyImages(200000));
    // At the raster cap (2^28 pixels), and one row past it.
    for (const int rows : {16384, 16385}) {
        const std::string size = "16384x" + std::to_string(rows);
        add("bmp", "cap-" + size + ".bmp", bmp(16384, rows, 8, 0, 40, Bytes(1024, 0)));
        Bytes g = gifHeader(16384, static_cast<uint32_t>(rows));
        gifImage(g, 0, 0, 16384, static_cast<uint32_t>(rows), 2, codes({4, 1, 5}, 3));
        g.push_back(0x3B);
        add("gif", "cap-" + size + ".gif", g);
        add("jpeg", "cap-" + size + ".jpg", jpegWithScan(16384, static_cast<uint16_t>(rows)));
        const uint32_t data = 16384u * static_cast<uint32_t>(rows) * 2;
        add("abm", "cap-" + size + ".abm", abm(16384, static_cast<uint16_t>(rows), 16, 1, data, 0), int64_t{data} + 72);
    }
    return in;
}

void writeHostileInput(const std::string& path, const HostileInput& input)
{
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(input.bytes.data()), static_cast<std::streamsize>(input.bytes.size()));
    }
    if (input.size > static_cast<int64_t>(input.bytes.size()))
        std::filesystem::resize_file(path, static_cast<uintmax_t>(input.size));
}

}  // namespace abm::fuzz
