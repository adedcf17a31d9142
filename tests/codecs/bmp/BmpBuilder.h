#pragma once

// BMP files put together field by field, for the cases no corpus file has,
// and pictures written in every layout with what each pixel means at 5-6-5.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace abm::test {

struct BmpBuilder {
    uint32_t headerSize = 40;
    int32_t width = 2, height = 2;
    uint16_t planes = 1, bpp = 24;
    uint32_t compression = 0, sizeImage = 0, colorsUsed = 0;
    std::vector<uint32_t> masks;     // inside a header of 52 bytes or more, else after it
    std::vector<uint8_t> table;      // raw colour-table bytes
    size_t gap = 0;                  // junk bytes between the colour table and the pixels
    std::optional<uint32_t> offset;  // the file header's pixel offset; by default where they are
    std::vector<uint8_t> pixels;

    std::vector<uint8_t> bytes() const;
};

// One way of writing the test picture.
struct BmpLayout {
    const char* name;
    uint32_t headerSize;
    uint16_t bpp;
    uint32_t compression = 0;
    std::array<uint32_t, 3> masks{};  // red, green, blue, with compression 3
    bool topDown = false;
    enum class SizeField { Exact, Zero, TooSmall } sizeField = SizeField::Exact;
    size_t gap = 0;
    // A colour table shorter than the bit depth's, with nothing but the pixel
    // offset to tell.
    bool shortTable = false;
};

struct BmpSample {
    std::vector<uint8_t> bytes;
    int width = 0, height = 0;
    std::vector<uint16_t> answer;  // the frame's pixels, top row first
};

BmpSample writeBmpSample(const BmpLayout& layout);

}  // namespace abm::test
