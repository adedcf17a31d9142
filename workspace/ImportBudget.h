#pragma once

// What an import may add to the strip: a cap on its frames (abmtool's ABM
// command stops at four), and the memory the frames of a picture will hold,
// reckoned from its headers before it is decoded so that a picture the memory
// budget cannot take is refused before the work.

#include "FrameStrip.h"

#include <cstdint>
#include <limits>

namespace abm {

// No cap: every frame of every file is imported.
constexpr int kNoFrameCap = std::numeric_limits<int>::max();

// How many more frames the strip may take under `frameCap`.
int framesLeft(const FrameStrip& strip, int frameCap);

// The 16-bit frame the strip's current options make of a picture of
// width × height (its size, the options' size, or the first frame's),
// against the memory budget. A size the raster cap refuses counts as
// nothing: normalising it fails on its own.
int64_t frameRasterBytes(const FrameStrip& strip, int64_t width, int64_t height);

// The source bitmap and the 16-bit frame of one such picture.
int64_t frameBytes(const FrameStrip& strip, int64_t width, int64_t height, int bitsPerPixel);

}  // namespace abm
