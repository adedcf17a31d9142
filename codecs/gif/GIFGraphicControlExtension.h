#pragma once

// The graphic control extension: transparency, disposal and delay of the
// image that follows. Only the transparent flag and index change anything
// here; delay and disposal are kept as read.

#include "GIFExtension.h"

namespace abm {

class TGIFGraphicControlExtension : public TGIFExtension {
public:
    uint8_t Label() const override { return kGIFGraphicControlLabel; }
    void LoadFromReader(TGIFReader& reader) override;

    // The 6 bytes after the label, as stored.
    uint8_t BlockSize = 0;
    uint8_t PackedFields = 0;
    uint16_t Delay = 0;  // hundredths of a second
    uint8_t TransparentColorIndex = 0;
    uint8_t Terminator = 0;

    bool Transparent() const { return (PackedFields & 0x01) != 0; }
    bool UserInput() const { return (PackedFields & 0x02) != 0; }
    int Disposal() const { return (PackedFields >> 2) & 0x07; }
};

}  // namespace abm
