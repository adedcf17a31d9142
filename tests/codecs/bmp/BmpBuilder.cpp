#include "BmpBuilder.h"

#include "codecs/raster/Graphics.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace abm::test {

namespace {

void putU16(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}

void putU32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    putU16(b, at, v & 0xFFFF);
    putU16(b, at + 2, v >> 16);
}

constexpr int kWidth = 29, kHeight = 7;  // odd, so rows need padding

struct Rgb {
    uint8_t r, g, b;
};

Rgb paletteColour(int i)
{
    return {static_cast<uint8_t>(i * 37 + 11), static_cast<uint8_t>(i * 91 + 5), static_cast<uint8_t>(255 - i * 53)};
}

// Three stretches for the run-length coders: one run, pixels all different
// (absolute runs), and singles between pairs, which take more bytes than the
// uncompressed rows they unpack into.
int indexAt(int x, int y, int count)
{
    if (x < 6)
        return (y * 3) % count;
    if (x < 13)
        return (x * 7 + y) % count;
    const int group = (x - 13) / 3, place = (x - 13) % 3;
    return (group * 2 + (place > 0) + y * 5) % count;
}

Rgb directColour(int x, int y)
{
    return {static_cast<uint8_t>(x * 19 + y * 40), static_cast<uint8_t>(x * 7 + y * 33 + 90),
            static_cast<uint8_t>(250 - x * 11 - y * 17)};
}

// An 8-bit channel value stored under a mask, and the 8-bit value the stored
// field stands for: the field's share of its full scale.
uint32_t store(uint8_t c, uint32_t mask)
{
    const int shift = std::countr_zero(mask);
    const double max = static_cast<double>(mask >> shift);
    return static_cast<uint32_t>(std::lround(c * max / 255.0)) << shift;
}

uint8_t meaning(uint32_t raw, uint32_t mask)
{
    const int shift = std::countr_zero(mask);
    const double max = static_cast<double>(mask >> shift);
    return static_cast<uint8_t>(std::lround(((raw & mask) >> shift) * 255.0 / max));
}

// One row as run-length data: runs of two or more as encoded runs, stretches
// of three or more different pixels as absolute runs, the rest as runs of one.
void rleRow(const std::vector<int>& row, bool four, std::vector<uint8_t>& out)
{
    const auto pair = [four](int i) { return static_cast<uint8_t>(four ? i << 4 | i : i); };
    for (size_t x = 0; x < row.size();) {
        size_t run = 1;
        while (x + run < row.size() && row[x + run] == row[x] && run < 255)
            ++run;
        if (run >= 2) {
            out.insert(out.end(), {static_cast<uint8_t>(run), pair(row[x])});
            x += run;
            continue;
        }
        size_t literal = 1;
        while (x + literal < row.size() && literal < 255 &&
               !(x + literal + 1 < row.size() && row[x + literal] == row[x + literal + 1]))
            ++literal;
        if (literal < 3) {
            for (size_t i = 0; i < literal; ++i)
                out.insert(out.end(), {1, pair(row[x + i])});
        } else {
            out.insert(out.end(), {0, static_cast<uint8_t>(literal)});
            const size_t bytes = four ? (literal + 1) / 2 : literal;
            for (size_t i = 0; i < bytes; ++i) {
                if (!four) {
                    out.push_back(static_cast<uint8_t>(row[x + i]));
                    continue;
                }
                const int low = 2 * i + 1 < literal ? row[x + 2 * i + 1] : 0;
                out.push_back(static_cast<uint8_t>(row[x + 2 * i] << 4 | low));
            }
            if (bytes & 1)
                out.push_back(0);
        }
        x += literal;
    }
    out.insert(out.end(), {0, 0});
}

}  // namespace

std::vector<uint8_t> BmpBuilder::bytes() const
{
    const size_t headerBytes = headerSize == 12 ? 12 : std::clamp<size_t>(headerSize, 16, 124);
    std::vector<uint8_t> header(std::max<size_t>(headerBytes, 56), 0);
    putU32(header, 0, headerSize);
    if (headerSize == 12) {
        putU16(header, 4, static_cast<uint32_t>(width));
        putU16(header, 6, static_cast<uint32_t>(height));
        putU16(header, 8, planes);
        putU16(header, 10, bpp);
    } else {
        putU32(header, 4, static_cast<uint32_t>(width));
        putU32(header, 8, static_cast<uint32_t>(height));
        putU16(header, 12, planes);
        putU16(header, 14, bpp);
        putU32(header, 16, compression);
        putU32(header, 20, sizeImage);
        putU32(header, 32, colorsUsed);
    }
    const bool masksInHeader = headerBytes >= 52;
    if (masksInHeader)
        for (size_t i = 0; i < std::min<size_t>(masks.size(), 3); ++i)
            putU32(header, 40 + 4 * i, masks[i]);
    header.resize(headerBytes);

    std::vector<uint8_t> b(14, 0);
    b[0] = 'B';
    b[1] = 'M';
    b.insert(b.end(), header.begin(), header.end());
    if (!masksInHeader)
        for (uint32_t m : masks) {
            b.resize(b.size() + 4);
            putU32(b, b.size() - 4, m);
        }
    b.insert(b.end(), table.begin(), table.end());
    b.resize(b.size() + gap, 0xA5);
    putU32(b, 10, offset.value_or(static_cast<uint32_t>(b.size())));
    b.insert(b.end(), pixels.begin(), pixels.end());
    putU32(b, 2, static_cast<uint32_t>(b.size()));
    return b;
}

BmpSample writeBmpSample(const BmpLayout& layout)
{
    BmpSample sample;
    sample.width = kWidth;
    sample.height = kHeight;
    const int bpp = layout.bpp;
    const bool indexed = bpp <= 8;
    const bool rle = layout.compression == 1 || layout.compression == 2;

    BmpBuilder b;
    b.headerSize = layout.headerSize;
    b.width = kWidth;
    b.height = layout.topDown ? -kHeight : kHeight;
    b.bpp = layout.bpp;
    b.compression = layout.compression;
    b.gap = layout.gap;

    const int colours = indexed ? (layout.shortTable ? (1 << bpp) * 2 / 5 : 1 << bpp) : 0;
    for (int i = 0; i < colours; ++i) {
        const Rgb c = paletteColour(i);
        b.table.insert(b.table.end(), {c.b, c.g, c.r});
        if (layout.headerSize != 12)
            b.table.push_back(0);
    }
    std::array<uint32_t, 3> masks = layout.masks;
    if (layout.compression == 3)
        b.masks.assign(masks.begin(), masks.end());
    else if (bpp == 16)
        masks = {0x7C00, 0x03E0, 0x001F};
    else
        masks = {0xFF0000, 0xFF00, 0xFF};

    const size_t stride = static_cast<size_t>((kWidth * bpp + 31) / 32) * 4;
    std::vector<uint8_t> rows;
    for (int stored = 0; stored < kHeight; ++stored) {
        const int y = layout.topDown ? stored : kHeight - 1 - stored;
        std::vector<int> indexes;
        std::vector<uint8_t> row(stride, 0);
        for (int x = 0; x < kWidth; ++x) {
            if (indexed) {
                const int i = indexAt(x, y, colours);
                indexes.push_back(i);
                const int bit = x * bpp;
                row[bit / 8] |= static_cast<uint8_t>(i << (8 - bpp - bit % 8));
                continue;
            }
            const Rgb c = directColour(x, y);
            uint32_t raw = store(c.r, masks[0]) | store(c.g, masks[1]) | store(c.b, masks[2]);
            if (bpp == 32 && layout.compression == 0)
                raw |= 0x5A000000;  // the unused byte, not always zero in the wild
            for (int k = 0; k < bpp / 8; ++k)
                row[static_cast<size_t>(x * bpp / 8 + k)] = static_cast<uint8_t>(raw >> (8 * k));
        }
        if (rle)
            rleRow(indexes, layout.compression == 2, rows);
        else
            rows.insert(rows.end(), row.begin(), row.end());
    }
    if (rle)
        rows.insert(rows.end(), {0, 1});
    b.pixels = rows;
    switch (layout.sizeField) {
    case BmpLayout::SizeField::Exact: b.sizeImage = static_cast<uint32_t>(rows.size()); break;
    case BmpLayout::SizeField::Zero: b.sizeImage = 0; break;
    case BmpLayout::SizeField::TooSmall: b.sizeImage = static_cast<uint32_t>(stride); break;
    }
    sample.bytes = b.bytes();

    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (indexed) {
                const Rgb c = paletteColour(indexAt(x, y, colours));
                sample.answer.push_back(toRgb565(c.r, c.g, c.b));
                continue;
            }
            const Rgb c = directColour(x, y);
            const uint32_t raw = store(c.r, masks[0]) | store(c.g, masks[1]) | store(c.b, masks[2]);
            sample.answer.push_back(toRgb565(meaning(raw, masks[0]), meaning(raw, masks[1]), meaning(raw, masks[2])));
        }
    return sample;
}

}  // namespace abm::test
