#pragma once

// A GIF colour table: 0 to 256 entries of red, green, blue.

#include "codecs/raster/Graphics.h"

namespace abm {

class GifReader;

class GifColorTable {
public:
    // 2 << (flags and 7): the entry count a table-size field of 0..7 gives.
    static int sizeFromFlags(uint8_t flags) { return 2 << (flags & 7); }

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
