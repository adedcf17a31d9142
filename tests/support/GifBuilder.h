#pragma once

// Small GIF files made in the tests from a description: a logical screen, an
// optional global colour table and images with their own offsets, sizes,
// tables and transparency (GifBytes.h puts them together block by block).

#include <cstdint>
#include <optional>
#include <vector>

namespace abm::test {

struct GifFileImage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indexes;             // width × height, rows from the top
    std::vector<uint32_t> localTable;         // 0xRRGGBB entries; empty = none
    std::optional<uint8_t> transparentIndex;  // a graphic control extension before the image
    bool interlaced = false;
};

struct GifFile {
    int screenWidth = 0, screenHeight = 0;
    std::vector<uint32_t> globalTable;
    std::vector<GifFileImage> images;
    bool trailingGraphicControl = false;  // a lone extension before the trailer

    std::vector<uint8_t> bytes() const;
};

}  // namespace abm::test
