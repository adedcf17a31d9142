#pragma once

// The graphic control extension: transparency, disposal and delay of the
// image that follows. Only the transparent flag and index change anything
// here; delay and disposal are kept as read.

#include "GifExtension.h"

namespace abm {

class GifGraphicControlExtension : public GifExtension {
public:
    uint8_t label() const override { return kGIFGraphicControlLabel; }
    void loadFromReader(GifReader& reader) override;

    // The 6 bytes after the label, as stored.
    uint8_t blockSize = 0;
    uint8_t packedFields = 0;
    uint16_t delay = 0;  // hundredths of a second
    uint8_t transparentColorIndex = 0;
    uint8_t terminator = 0;

    // Bits of the packed byte.
    static constexpr uint8_t kTransparentFlag = 0x01;
    static constexpr uint8_t kUserInputFlag = 0x02;
    static constexpr int kDisposalShift = 2;
    static constexpr uint8_t kDisposalMask = 0x07;

    bool transparent() const { return (packedFields & kTransparentFlag) != 0; }
    bool userInput() const { return (packedFields & kUserInputFlag) != 0; }
    int disposal() const { return (packedFields >> kDisposalShift) & kDisposalMask; }
};

}  // namespace abm
