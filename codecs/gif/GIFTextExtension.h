#pragma once

// The plain text extension: a 13-byte header (text grid and colours), then
// the text in data sub-blocks. Kept as read; nothing renders it.

#include "GIFExtension.h"

#include <string>

namespace abm {

class TGIFTextExtension : public TGIFExtension {
public:
    uint8_t Label() const override { return kGIFPlainTextLabel; }
    void LoadFromReader(TGIFReader& reader) override;

    uint8_t BlockSize = 0;
    uint16_t Left = 0, Top = 0, GridWidth = 0, GridHeight = 0;
    uint8_t CellWidth = 0, CellHeight = 0;
    uint8_t ForegroundColorIndex = 0, BackgroundColorIndex = 0;
    std::string Text;
};

}  // namespace abm
