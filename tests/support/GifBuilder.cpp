#include "GifBuilder.h"

#include <algorithm>

namespace abm::test {

namespace {

void put16(std::vector<uint8_t>& b, int v)
{
    b.push_back(static_cast<uint8_t>(v & 0xFF));
    b.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

// Table size field for n entries: 2 << field >= n.
int sizeField(size_t n)
{
    int field = 0;
    while ((size_t{2} << field) < n)
        ++field;
    return field;
}

void putTable(std::vector<uint8_t>& b, const std::vector<uint32_t>& table)
{
    const size_t n = size_t{2} << sizeField(table.size());
    for (size_t i = 0; i < n; ++i) {
        const uint32_t c = i < table.size() ? table[i] : 0;
        b.push_back(static_cast<uint8_t>(c >> 16));
        b.push_back(static_cast<uint8_t>(c >> 8));
        b.push_back(static_cast<uint8_t>(c));
    }
}

}  // namespace

std::vector<uint8_t> lzwLiterals(const std::vector<uint8_t>& indexes, int minCodeSize)
{
    const int clear = 1 << minCodeSize, end = clear + 1, width = minCodeSize + 1;
    std::vector<uint8_t> bytes;
    uint32_t acc = 0;
    int bits = 0;
    auto emit = [&](int code) {
        acc |= static_cast<uint32_t>(code) << bits;
        bits += width;
        while (bits >= 8) {
            bytes.push_back(static_cast<uint8_t>(acc));
            acc >>= 8;
            bits -= 8;
        }
    };
    // Clearing before the table grows keeps every code at the starting width.
    const int room = (1 << width) - clear - 3;
    int sinceClear = room;
    for (uint8_t index : indexes) {
        if (sinceClear >= room) {
            emit(clear);
            sinceClear = 0;
        }
        emit(index);
        ++sinceClear;
    }
    emit(end);
    if (bits > 0)
        bytes.push_back(static_cast<uint8_t>(acc));
    std::vector<uint8_t> blocks;
    for (size_t i = 0; i < bytes.size(); i += 255) {
        const size_t n = std::min<size_t>(255, bytes.size() - i);
        blocks.push_back(static_cast<uint8_t>(n));
        blocks.insert(blocks.end(), bytes.begin() + static_cast<std::ptrdiff_t>(i),
                      bytes.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    blocks.push_back(0);
    return blocks;
}

std::vector<uint8_t> GifFile::bytes() const
{
    std::vector<uint8_t> b = {'G', 'I', 'F', '8', '9', 'a'};
    put16(b, screenWidth);
    put16(b, screenHeight);
    b.push_back(static_cast<uint8_t>(globalTable.empty() ? 0 : 0x80 | sizeField(globalTable.size())));
    b.push_back(0);
    b.push_back(0);
    if (!globalTable.empty())
        putTable(b, globalTable);
    for (const GifFileImage& image : images) {
        if (image.transparentIndex) {
            b.insert(b.end(), {0x21, 0xF9, 4, 1, 0, 0, *image.transparentIndex, 0});
        }
        b.push_back(0x2C);
        put16(b, image.left);
        put16(b, image.top);
        put16(b, image.width);
        put16(b, image.height);
        uint8_t flags = image.interlaced ? 0x40 : 0;
        if (!image.localTable.empty())
            flags |= static_cast<uint8_t>(0x80 | sizeField(image.localTable.size()));
        b.push_back(flags);
        if (!image.localTable.empty())
            putTable(b, image.localTable);
        b.push_back(8);
        const auto data = lzwLiterals(image.indexes, 8);
        b.insert(b.end(), data.begin(), data.end());
    }
    if (trailingGraphicControl)
        b.insert(b.end(), {0x21, 0xF9, 4, 0, 0, 0, 0, 0});
    b.push_back(0x3B);
    return b;
}

}  // namespace abm::test
