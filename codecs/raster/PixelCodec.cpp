#include "PixelCodec.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdint>

namespace abm {

Channel::Channel(uint32_t m) : mask(m)
{
    if (m == 0)
        return;
    shift = std::countr_zero(m);
    max = m >> shift;
    bits = std::bit_width(max);
}

uint8_t Channel::decode(uint32_t raw) const
{
    if (max == 0)
        return 0;
    const uint64_t v = (raw & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
}

uint32_t Channel::encode(uint8_t value) const
{
    if (max == 0)
        return 0;
    uint64_t v;
    if (bits <= 8 && max == (1u << bits) - 1)
        v = value >> (8 - bits);  // keep the high bits, as the 5-6-5 reduction does
    else
        v = static_cast<uint64_t>(value) * max / 255;
    return static_cast<uint32_t>(v << shift) & mask;
}

LayoutChannels::LayoutChannels(const PixelLayout& layout)
    : bpp(layout.bitsPerPixel),
      indexed(layout.bitsPerPixel <= 8),
      masked(layout.hasMasks),
      r(layout.hasMasks ? layout.masks[0] : (bpp == 16 ? 0x7C00u : 0x00FF0000u)),
      g(layout.hasMasks ? layout.masks[1] : (bpp == 16 ? 0x03E0u : 0x0000FF00u)),
      b(layout.hasMasks ? layout.masks[2] : (bpp == 16 ? 0x001Fu : 0x000000FFu))
{
}

ColorDecoder::ColorDecoder(const PixelLayout& layout, const Palette& palette) : c_(layout), palette_(&palette)
{
}

Color ColorDecoder::decode(uint32_t raw) const
{
    if (c_.indexed) {
        if (raw >= palette_->size())
            return color::black;
        const Rgb& e = (*palette_)[raw];
        return rgbColor(e.r, e.g, e.b);
    }
    if (!c_.masked && c_.bpp >= 24)
        return rgbColor(static_cast<uint8_t>(raw >> 16), static_cast<uint8_t>(raw >> 8), static_cast<uint8_t>(raw));
    return rgbColor(c_.r.decode(raw), c_.g.decode(raw), c_.b.decode(raw));
}

ColorEncoder::ColorEncoder(const PixelLayout& layout, const Palette& palette)
    : c_(layout), search_(c_.indexed ? palette : Palette(), size_t{1} << std::min(c_.bpp, 8))
{
    if (c_.indexed)
        cacheKey_.fill(0xFFFFFFFFu);
}

uint32_t ColorEncoder::encode(Color color)
{
    color &= 0xFFFFFF;
    if (c_.indexed) {
        const uint32_t slot = (color ^ (color >> 11) ^ (color >> 19)) & (kCacheSize - 1);
        if (cacheKey_[slot] == color)
            return cacheValue_[slot];
        const uint32_t index = search_.nearest(color);
        cacheKey_[slot] = color;
        cacheValue_[slot] = static_cast<uint8_t>(index);
        return index;
    }
    const uint8_t r = redOf(color), g = greenOf(color), b = blueOf(color);
    if (!c_.masked && c_.bpp >= 24)
        return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | b;
    return c_.r.encode(r) | c_.g.encode(g) | c_.b.encode(b);
}

PaletteSearch::PaletteSearch(const Palette& palette, size_t limit)
    : count_(std::min({limit, palette.size(), size_t{256}}))
{
    // Entries past the table lie too far away to be chosen, so that every
    // search covers all 256 and the compiler can work on many at once; near
    // enough that a distance, 3 × (kFar + 255)² at most, fits 23 bits.
    constexpr int16_t kFar = 1024;
    r_.fill(kFar);
    g_.fill(kFar);
    b_.fill(kFar);
    for (size_t i = 0; i < count_; ++i) {
        r_[i] = palette[i].r;
        g_[i] = palette[i].g;
        b_[i] = palette[i].b;
    }
}

uint32_t PaletteSearch::nearest(Color color) const
{
    if (count_ == 0)
        return 0;
    const int16_t r = redOf(color), g = greenOf(color), b = blueOf(color);
    // Distance and index in one key, so that one minimum finds both and the
    // lowest index wins a tie.
    int32_t best = INT32_MAX;
    for (size_t i = 0; i < r_.size(); ++i) {
        const int16_t dr = static_cast<int16_t>(r_[i] - r), dg = static_cast<int16_t>(g_[i] - g),
                      db = static_cast<int16_t>(b_[i] - b);
        const int32_t distance = int32_t{dr} * dr + int32_t{dg} * dg + int32_t{db} * db;
        best = std::min(best, distance << 8 | static_cast<int32_t>(i));
    }
    return static_cast<uint32_t>(best & 0xFF);
}

uint32_t nearestPaletteIndex(const Palette& palette, Color color, size_t limit)
{
    return PaletteSearch(palette, limit).nearest(color);
}

}  // namespace abm
