#pragma once

// The variable-length LZW decoder of GIF image data, usable on its own.
//
// One decoder serves every image of a file: the prefix/suffix table pair and
// the byte stack are fixed arrays inside it, and the code bytes of an image
// are gathered once into a reused buffer, so nothing is allocated per code.
// The code reader takes its bytes either from an image's data sub-blocks or
// from a raw run of code bytes (which counts as one block followed by the
// zero-length block).

#include "base/MemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace abm {

class LzwDecoder {
public:
    static constexpr int kMaxCodes = 4096;
    // 12 would put the clear code outside the tables.
    static constexpr int kMaxMinCodeSize = 11;

    // Problems the decoder can live with ("Decoder bit buffer under-run",
    // "Premature end of data"); unset, they are ignored.
    std::function<void(const std::string&)> onWarning;

    LzwDecoder();

    // Takes the data sub-blocks that start at data[position] (a length byte).
    // Returns the position after the zero-length block, or `size` when the
    // data ends before it.
    size_t takeSubBlocks(const uint8_t* data, size_t size, size_t position);
    // Takes a raw run of code bytes, ended as if by the zero-length block.
    void takeRaw(const uint8_t* codes, size_t size);

    // Fills the width × height pixels (rows top-down, `width` bytes apart)
    // with `fill`, then decodes the taken codes into them, in interlaced row
    // order if asked. Returns how many pixels the code stream reached.
    // A minimum code size above 11 raises InvalidGraphicError GifBadCodeSize before any pixel is
    // written; a cycle in the table raises "Circular decoder table entry".
    size_t decode(int minCodeSize, uint8_t* pixels, int width, int height, bool interlaced, uint8_t fill = 0);
    // The same into rows `step` bytes apart, row 0 at `firstRow`: straight
    // into a raster's memory (a negative step walks a raster stored bottom-up).
    size_t decode(int minCodeSize, uint8_t* firstRow, ptrdiff_t step, int width, int height, bool interlaced,
                  uint8_t fill = 0);

private:
    static constexpr int kStackSize = kMaxCodes + 2;
    // Room behind the stack top and the code bytes for fixed-size reads.
    static constexpr int kPadding = 16;

    struct SlowCode {
        int code;
        uint64_t bitPos;
    };
    SlowCode readCodeSlow(uint64_t bitPos, unsigned size);
    void hold(size_t bytes);
    void warning(const char* message) const;

    uint16_t prefix_[kMaxCodes];
    uint8_t suffix_[kMaxCodes];
    // Strings are written downwards from the top, so a decoded string lies in
    // pixel order and is copied into the row at once.
    uint8_t stack_[kStackSize + kPadding];
    // Entries from the clear code up to here may be non-zero.
    int dirtyEnd_ = 0;

    std::vector<uint8_t> codes_;
    MemoryReservation held_;  // for the capacity of codes_
    uint64_t totalBits_ = 0;
    bool terminated_ = false;
    bool blockEndRead_ = false;
};

}  // namespace abm
