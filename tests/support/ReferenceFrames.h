#pragma once

// Frames to compare GIF imports with: ImageMagick's composition of a GIF, and
// colours at the 5-6-5 precision of a frame. Free of the gtest helpers' names,
// so that the window's tests can use it beside their own.

#include "codecs/raster/Raster.h"

#include <cstdint>
#include <filesystem>
#include <vector>

namespace abm::test {

struct RgbaImage;

// A GIF's frames as ImageMagick composes them ("-coalesce"), flattened on
// white; none, and a failure, when convert fails.
std::vector<Raster> coalescedByImageMagick(const std::filesystem::path& gif);
// Colours cut to 5-6-5, rows from the top: a 16-bit raster's own values, any
// other raster's colours, a PNG's flattened on white.
std::vector<uint16_t> colours565(const Raster& picture);
std::vector<uint16_t> colours565(const RgbaImage& picture);

}  // namespace abm::test
