#pragma once

// Reading and writing single pixels of any layout, and turning colours into
// the raw values of a layout. Internal to the raster layer.

#include "Raster.h"

#include <array>
#include <cstdint>

namespace abm {

inline uint32_t readRaw(const uint8_t* row, int x, int bpp)
{
    switch (bpp) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
    case 8: return row[x];
    case 16: return static_cast<uint32_t>(row[2 * x]) | (static_cast<uint32_t>(row[2 * x + 1]) << 8);
    case 24: {
        const uint8_t* p = row + 3 * x;
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    }
    default: {
        const uint8_t* p = row + 4 * x;
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
               (static_cast<uint32_t>(p[3]) << 24);
    }
    }
}

inline void writeRaw(uint8_t* row, int x, int bpp, uint32_t v)
{
    switch (bpp) {
    case 1: {
        const uint8_t bit = static_cast<uint8_t>(0x80 >> (x & 7));
        row[x >> 3] = static_cast<uint8_t>((v & 1) ? (row[x >> 3] | bit) : (row[x >> 3] & ~bit));
        break;
    }
    case 4:
        if (x & 1)
            row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0xF0) | (v & 0x0F));
        else
            row[x >> 1] = static_cast<uint8_t>((row[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
        break;
    case 8: row[x] = static_cast<uint8_t>(v); break;
    case 16:
        row[2 * x] = static_cast<uint8_t>(v);
        row[2 * x + 1] = static_cast<uint8_t>(v >> 8);
        break;
    case 24:
        row[3 * x] = static_cast<uint8_t>(v);
        row[3 * x + 1] = static_cast<uint8_t>(v >> 8);
        row[3 * x + 2] = static_cast<uint8_t>(v >> 16);
        break;
    default:
        row[4 * x] = static_cast<uint8_t>(v);
        row[4 * x + 1] = static_cast<uint8_t>(v >> 8);
        row[4 * x + 2] = static_cast<uint8_t>(v >> 16);
        row[4 * x + 3] = static_cast<uint8_t>(v >> 24);
        break;
    }
}

// One colour channel held under a bit mask.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;  // mask >> shift
    int bits = 0;      // width when the mask is contiguous

    explicit Channel(uint32_t m = 0);
    uint8_t decode(uint32_t raw) const;
    uint32_t encode(uint8_t value) const;
};

// How a layout holds colours: palette indexes, or three channels under its
// masks (the fixed 5-5-5 and blue-green-red ones when it stores none).
struct LayoutChannels {
    int bpp;
    bool indexed;
    bool masked;
    Channel r, g, b;
    explicit LayoutChannels(const PixelLayout& layout);
};

// Raw pixel value → colour, for one layout and palette.
class ColorDecoder {
public:
    ColorDecoder(const PixelLayout& layout, const Palette& palette);
    Color decode(uint32_t raw) const;

private:
    LayoutChannels c_;
    const Palette* palette_;
};

// The nearest colour of a palette (lowest index on ties), among its first
// `limit` entries (at most 256). The channels are held apart so that all
// distances are worked out together, many at a time.
class PaletteSearch {
public:
    explicit PaletteSearch(const Palette& palette, size_t limit = 256);
    uint32_t nearest(Color color) const;

private:
    size_t count_ = 0;
    std::array<int16_t, 256> r_{}, g_{}, b_{};
};

// Colour → raw pixel value, for one layout and palette; for indexed layouts
// the nearest palette colour, cached.
class ColorEncoder {
public:
    ColorEncoder(const PixelLayout& layout, const Palette& palette);
    uint32_t encode(Color color);

private:
    LayoutChannels c_;
    PaletteSearch search_;
    static constexpr int kCacheSize = 4096;
    std::array<uint32_t, kCacheSize> cacheKey_{};
    std::array<uint8_t, kCacheSize> cacheValue_{};
};

// The index of the palette entry nearest to a colour (lowest index on ties),
// among the first `limit` entries.
uint32_t nearestPaletteIndex(const Palette& palette, Color color, size_t limit = 256);

}  // namespace abm
