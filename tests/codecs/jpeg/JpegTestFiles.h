#pragma once

// JPEG files made or taken apart for the tests: an in-memory encoder over
// libjpeg, the reference decoder djpeg, and marker surgery for hostile files.

#include "codecs/raster/Raster.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace abm::test {

enum class JpegKind { Color, Gray, Cmyk, Ycck };

struct JpegRecipe {
    int width = 16;
    int height = 16;
    JpegKind kind = JpegKind::Color;
    bool progressive = false;
    int quality = 90;
};

inline void PrintTo(const JpegRecipe& s, std::ostream* os)
{
    static const char* const kinds[] = {"colour", "grey", "CMYK", "YCCK"};
    *os << s.width << "x" << s.height << " " << kinds[static_cast<int>(s.kind)]
        << (s.progressive ? " progressive" : "");
}

using ColorAt = std::function<uint32_t(int, int)>;

// Encodes a picture whose pixel (x, y) is colorAt(x, y) = 0x00RRGGBB (grey
// files take the green byte; four-component files store it as Adobe's
// inverted C, M, Y with a little black ink that varies).
std::vector<uint8_t> encodeJpeg(const JpegRecipe& recipe, const ColorAt& colorAt);

// A smooth test picture with some detail in it.
uint32_t gradient(int x, int y);

void writePpm(const std::filesystem::path& path, int width, int height, const ColorAt& colorAt);

// cjpeg's encoding of the picture with the given options; empty, and the test
// failed, when cjpeg fails.
std::vector<uint8_t> cjpeg(int width, int height, const ColorAt& colorAt, const std::string& options);

// ImageMagick's CMYK JPEG of the picture; empty, and the test failed, when it
// fails.
std::vector<uint8_t> imageMagickCmyk(int width, int height, const ColorAt& colorAt);

// djpeg's decoding of `jpeg` with the given options as a raster, or nothing
// when djpeg refuses the file.
std::optional<Raster> djpeg(const std::filesystem::path& jpeg, const std::string& options);

// ImageMagick's decoding of `jpeg` into 24-bit sRGB, with the float DCT as
// ours; nothing, and the test failed, when it fails.
std::optional<Raster> imageMagickRgb(const std::filesystem::path& jpeg);

// Where each marker segment starts: the offset of its 0xFF and its code.
struct JpegMarker {
    size_t offset;
    uint8_t code;
    size_t end;  // one past the segment, scan data included for SOS
};
std::vector<JpegMarker> jpegMarkers(const std::vector<uint8_t>& jpeg);
// The first marker with this code; fails the test when there is none.
JpegMarker findMarker(const std::vector<uint8_t>& jpeg, uint8_t code);

// Rasters equal in size, format, palette (as far as `a`'s goes) and every
// pixel byte; the first difference is reported.
::testing::AssertionResult samePixels(const Raster& a, const Raster& b);

}  // namespace abm::test
