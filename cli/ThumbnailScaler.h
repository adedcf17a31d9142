#pragma once

// A picture fitted into size × size, keeping its aspect, from its rows as
// they are read: averaged when it shrinks both ways, whole pixels repeated
// otherwise. An average takes at most 4 × 4 samples of the box it covers, so
// that a thumbnail costs the same whatever the picture's size, and only the
// rows it samples need be read at all.

#include "codecs/raster/Raster.h"

#include <vector>

namespace abm {

// A width × height picture's thumbnail, its longer side `size` long, as
// Rect(0, 0, thumbnail width, thumbnail height).
Rect thumbnailRect(int width, int height, int size);

class ThumbnailScaler {
public:
    ThumbnailScaler(int width, int height, int size);

    // The source rows to feed to AddRow, top to bottom.
    const std::vector<int>& sourceRows() const { return rows_; }
    // Source row y, one of SourceRows in their order, in the given layout.
    void addRow(int y, const uint8_t* row, const PixelLayout& layout, const Palette& palette);
    // The thumbnail, 24-bit, once every row has been fed.
    const Raster& result() const { return out_; }

private:
    // One use of a source row: it adds to target row `target`, which is
    // complete after it when `last`.
    struct RowUse {
        int source;
        int target;
        bool last;
    };

    int targetWidth_ = 0;
    std::vector<int> columns_;      // the sampled source columns, target column by target column
    std::vector<size_t> columnAt_;  // where each target column's samples start in columns_
    std::vector<RowUse> uses_;      // by source row, then target row
    std::vector<int> rows_;
    size_t next_ = 0;
    int rowsAdded_ = 0;           // into the target row being summed
    std::vector<uint64_t> sums_;  // blue, green, red per target column
    Raster out_;
};

}  // namespace abm
