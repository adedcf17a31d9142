#pragma once

// The 700 ms tick: the preview plays the first four frames centred in a
// 130 × 98 field, and the application icon steps through its pictures.
// The player keeps only positions, never a thumbnail, so no change of the
// strip can leave it pointing at a destroyed frame.

#include "FrameStrip.h"
#include "codecs/raster/Raster.h"

#include <cstdint>

namespace abm {

class PreviewPlayer {
public:
    static constexpr int kIntervalMs = 700;
    static constexpr int kFieldWidth = 130;
    static constexpr int kFieldHeight = 98;

    uint16_t previewIndex = 0;
    uint16_t iconIndex = 0;
    Raster preview;          // preview's picture
    int previewWidth = 130;  // preview's control size
    int previewHeight = 99;

    // One tick; returns the index of the animatedIcons picture that becomes the
    // application icon. `iconCount` is the number of pictures in animatedIcons.
    int tick(const FrameStrip& strip, int iconCount);

    // Copies b centred into r, cropping what does not fit, each axis alone.
    static void drawPreviewFrame(Canvas& target, const Raster& b, const Rect& r);
    // The source and destination rectangles DrawPreviewFrame copies between.
    static void previewRects(const Raster& b, const Rect& r, Rect& source, Rect& dest);
};

}  // namespace abm
