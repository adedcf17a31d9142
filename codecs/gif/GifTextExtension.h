#pragma once

// The plain text extension: a 13-byte header (text grid and colours), then
// the text in data sub-blocks. Kept as read; nothing renders it.

#include "GifExtension.h"

#include <string>

namespace abm {

class GifTextExtension : public GifExtension {
public:
    uint8_t label() const override { return kGIFPlainTextLabel; }
    void loadFromReader(GifReader& reader) override;

    uint8_t blockSize = 0;
    uint16_t left = 0, top = 0, gridWidth = 0, gridHeight = 0;
    uint8_t cellWidth = 0, cellHeight = 0;
    uint8_t foregroundColorIndex = 0, backgroundColorIndex = 0;
    std::string text;
};

}  // namespace abm
