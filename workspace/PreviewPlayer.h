#pragma once

// The 700 ms tick: the preview plays the first four frames centred in a
// 130 × 99 field, and the application icon steps through its pictures.
// The player keeps only positions, never a thumbnail, so no change of the
// strip can leave it pointing at a destroyed frame.

#include "FrameStrip.h"
#include "codecs/abm/AbmCodec.h"
#include "base/Rect.h"
#include "codecs/raster/Raster.h"

namespace abm {

class PreviewPlayer {
public:
    static constexpr int kIntervalMs = 700;
    // A one-pixel black border round a white inside the size of the phone's
    // screen, the largest frame it shows, so such a frame shows whole.
    static constexpr int kFieldWidth = kPhoneFrameWidth + 2;
    static constexpr int kFieldHeight = kPhoneFrameHeight + 2;

    // Where a frame of this size shows: the part of the frame and the place
    // in the field, always of one size, as a frame is never scaled. Each
    // axis alone: a frame that fits is centred whole, a larger one shows
    // its middle part over the whole field, border included.
    struct Placement {
        Rect source;
        Rect field;
    };
    static Placement placement(int frameWidth, int frameHeight);

    // One tick; returns the index of the animatedIcons picture that becomes the
    // application icon. `iconCount` is the number of pictures in animatedIcons.
    int tick(const FrameStrip& strip, int iconCount);

    // The field as the last tick drew it; empty while the strip is.
    const Raster& preview() const { return preview_; }
    // The strip position the next tick shows.
    int nextFrame() const { return nextFrame_; }

private:
    Raster preview_;
    int nextFrame_ = 0;
    int nextIcon_ = 0;
};

}  // namespace abm
