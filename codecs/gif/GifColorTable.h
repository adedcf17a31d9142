#pragma once

// A GIF colour table: 0 to 256 entries of red, green, blue.

#include "codecs/raster/Graphics.h"

namespace abm {

class GifReader;

// Bits of the packed byte of the screen and image descriptors.
inline constexpr uint8_t kGifColorTableFlag = 0x80;      // a colour table follows
inline constexpr uint8_t kGifInterlaceFlag = 0x40;       // image descriptor only
inline constexpr uint8_t kGifColorTableSizeMask = 0x07;  // the table holds 2 << size entries

class GifColorTable {
public:
    // The entry count a packed byte's table-size field of 0..7 gives.
    static int sizeFromFlags(uint8_t flags) { return 2 << (flags & kGifColorTableSizeMask); }

    int count() const { return static_cast<int>(colors_.size()); }
    bool empty() const { return colors_.empty(); }
    const Rgb& operator[](int index) const { return colors_[static_cast<size_t>(index)]; }
    const Palette& colors() const { return colors_; }
    void assign(Palette colors);
    void clear() { colors_.clear(); }

    // Reads `count` entries of 3 bytes; a short table is "Premature end of data".
    void loadFromReader(GifReader& reader, int count);

private:
    Palette colors_;
};

}  // namespace abm
