#pragma once

// BMP files: reading every usual variant into pixel memory, and writing the
// pixel memory back byte-exact. Callers use Raster::loadFrom* and saveTo*;
// only ReadBmpSize is for the importers, which weigh a file before reading it.

#include "Raster.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace abm {

// Fills `out` from a whole BMP file. An empty input gives an empty raster.
// Raises InvalidGraphicError or FileError StreamRead; `out` is only meaningful on success.
void readBmp(const uint8_t* data, size_t size, PixelBuffer& out);

// The picture's size and bits per pixel from the headers alone, so that a
// caller can weigh a file before its pixels are read; false when the bytes
// do not start like a BMP file.
bool readBmpSize(const uint8_t* data, size_t size, int64_t& width, int64_t& height, int& bitsPerPixel);

std::vector<uint8_t> writeBmp(const PixelBuffer& image);

}  // namespace abm
