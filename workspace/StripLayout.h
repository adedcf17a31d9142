#pragma once

// Where each frame of the strip shows: side by side from the left, a gap
// between neighbours, every frame at the size its normalisation gave it.
// Positions are 64-bit, as a long strip is wider than an int reaches.

#include <cstdint>

namespace abm {

struct ThumbnailBox {
    int64_t left = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const ThumbnailBox&, const ThumbnailBox&) = default;
};

struct StripLayout {
    static constexpr int kThumbnailGap = 3;
    // Below the thumbnails, room for the scroll bar.
    static constexpr int kStripMargin = 20;
    // The strip's height until the first frame fits it.
    static constexpr int kInitialStripHeight = 110;

    // The frame at `index`, shown `width` × `height`. Frames made under other
    // options keep their own width, so neighbours may overlap.
    static constexpr ThumbnailBox thumbnail(int64_t index, int width, int height)
    {
        return {index * (int64_t{kThumbnailGap} + width), width, height};
    }
    // The strip's height that shows its first frame whole.
    static constexpr int stripHeight(int firstFrameHeight) { return firstFrameHeight + kStripMargin; }
};

}  // namespace abm
