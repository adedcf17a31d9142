#pragma once

// BMP files: reading every usual variant into pixel memory, and writing the
// pixel memory back byte-exact. Internal to the raster layer; callers use
// TBitmap::LoadFrom* and SaveTo*.

#include "Bitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace abm {

// Fills `out` from a whole BMP file. An empty input gives an empty raster.
// Raises EInvalidGraphic or EReadError; `out` is only meaningful on success.
void ReadBmp(const uint8_t* data, size_t size, TBitmapImage& out);

std::vector<uint8_t> WriteBmp(const TBitmapImage& image);

}  // namespace abm
