#pragma once

// The frames as the phone shows them, written as an animated GIF for a
// computer: one image a frame, each with its own colour table, looping for
// ever. A frame of at most 256 distinct colours is written exactly (5-6-5
// values widened to 8 bits by repeating their top bits); a frame of more is
// reduced to 256 by median cut.
//
// Synopsis:
//   std::vector<uint8_t> gif = encodeGifAnimation({&frame0, &frame1}, 700);

#include "codecs/raster/Raster.h"

#include <array>
#include <cstdint>
#include <vector>

namespace abm {

// 8-bit red, green, blue.
using Rgb8 = std::array<uint8_t, 3>;
Rgb8 widen565(uint16_t pixel);

// A frame's pixels as indexes into at most 256 colours.
struct IndexedFrame {
    std::vector<Rgb8> palette;
    std::vector<uint8_t> indexes;  // row after row
};
IndexedFrame quantiseFrame(const std::vector<uint16_t>& pixels);

// `delayMs` is rounded to the GIF's hundredths of a second.
std::vector<uint8_t> encodeGifAnimation(const std::vector<const Raster*>& frames, int delayMs);

}  // namespace abm
