#pragma once

// BMP files as functions over rasters: reading every usual variant (1 to 32
// bits, 4- and 8-bit run-length data, bit-field masks, the old 12-byte
// header, rows top-down), and writing a raster's pixel memory back
// byte-exact. Reading returns a new raster, so a failed read leaves the
// caller's as it was.

#include "codecs/raster/Raster.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace abm {

class ByteStream;

// A whole BMP file. Empty bytes give an empty raster. Raises
// InvalidGraphicError (InvalidBitmap, PictureTooLarge) or FileError StreamRead.
Raster decodeBmp(const uint8_t* data, size_t size);
// The rest of the stream, or the whole file (FileError FileOpen too).
Raster readBmp(ByteStream& stream);
Raster readBmpFile(const std::string& fileName);

// The picture's size and bits per pixel from the headers alone, so that an
// importer can weigh a file before its pixels are read; false when the bytes
// do not start like a BMP file.
bool readBmpSize(const uint8_t* data, size_t size, int64_t& width, int64_t& height, int& bitsPerPixel);

// The file header, the 40-byte header, the masks of 16- and 32-bit pixels
// with masks, the palette (at most 256 entries), then the rows bottom-up.
std::vector<uint8_t> encodeBmp(const Raster& raster);
void writeBmp(const Raster& raster, ByteStream& stream);
// Creates the file or empties it first (FileError FileCreate).
void writeBmpFile(const Raster& raster, const std::string& fileName);

}  // namespace abm
