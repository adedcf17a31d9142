#pragma once

// A raster as a PNG file (8-bit RGB), through libpng.

#include "codecs/raster/Raster.h"

#include <cstdint>
#include <string>
#include <vector>

namespace abm {

std::vector<uint8_t> encodePng(const Raster& bitmap);

// Fits a raster into size × size keeping its aspect, as ThumbnailScaler
// does. Gives a 24-bit raster.
Raster fitInto(const Raster& bitmap, int size);

}  // namespace abm
