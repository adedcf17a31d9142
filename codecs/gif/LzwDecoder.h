#pragma once

// The variable-length LZW decoder of GIF image data, usable on its own.
//
// One decoder serves every image of a file: the code table and a string
// buffer are fixed arrays inside it, and the code bytes of an image are
// gathered once into a reused buffer, so nothing is allocated per code.
// A table entry knows its string's length and where in the output the string
// was written, so most codes become one copy from earlier pixels.
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

namespace gif_rows {
class RowOrder;
}

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

    // Decodes the taken codes into the width × height pixels (rows top-down,
    // `width` bytes apart), in interlaced row order if asked; pixels the code
    // stream does not reach get `fill`. Returns how many pixels it reached.
    // A minimum code size above 11 raises InvalidGraphicError GifBadCodeSize before any pixel is
    // written; a cycle in the table raises "Circular decoder table entry".
    size_t decode(int minCodeSize, uint8_t* pixels, int width, int height, bool interlaced, uint8_t fill = 0);
    // The same into rows `step` bytes apart, row 0 at `firstRow`: straight
    // into a raster's memory (a negative step walks a raster stored bottom-up).
    // Rows that overlap decode more slowly.
    size_t decode(int minCodeSize, uint8_t* firstRow, ptrdiff_t step, int width, int height, bool interlaced,
                  uint8_t fill = 0);

private:
    // Room behind the code bytes, and behind a copied string, for
    // fixed-size reads and writes.
    static constexpr int kPadding = 16;
    static constexpr uint32_t kNoPlace = 0xFFFFFFFF;
    static constexpr uint32_t kAcrossRows = 0x80000000;

    // A code's string and where it was written: an offset from the lowest
    // row in memory when it lies in one row, else kAcrossRows plus its
    // position in pixels written; kNoPlace when it has none (a literal not
    // written yet, or a string rebuilt from prefix and suffix).
    // length 0 marks a string that entries made after it can still change:
    // only invalid code streams make those.
    struct Entry {
        uint32_t at;
        uint16_t length;
        uint16_t prefix;
    };

    struct SlowCode {
        int code;
        uint64_t bitPos;
    };
    // What one decode holds fixed, where it stands, and the string a code
    // gives when it is not copied whole from earlier output (LzwDecoder.cpp).
    struct Pass;
    struct Cursor;
    struct Parts;
    enum class Step { next, full, general };

    SlowCode readCodeSlow(uint64_t bitPos, unsigned size);
    void hold(size_t bytes);
    void warning(const char* message) const;

    // The steps of decode, each for one kind of code; all but decodeCodes
    // are inlined into its loop, so that the cursor stays in registers.
    Cursor decodeCodes(Pass pass, gif_rows::RowOrder& rows, Cursor c);
    void readCode(const Pass& pass, Cursor& c);
    void addEntry(Cursor& c, uint8_t suffix);
    Step copyPlacedString(const Pass& pass, gif_rows::RowOrder& rows, Cursor& c);
    bool restartAfterClear(const Pass& pass, Cursor& c, Parts& s);
    void gatherFromTable(const Pass& pass, gif_rows::RowOrder& rows, Cursor& c, Parts& s);
    Step writeGathered(const Pass& pass, gif_rows::RowOrder& rows, Cursor& c, const Parts& s);

    // One more entry than codes: the entry the next code would add is kept
    // ahead, also once the table is full.
    Entry entries_[kMaxCodes + 1];
    uint8_t suffix_[kMaxCodes + 1];
    // Strings that no single copy gives are built here, downwards from the top.
    uint8_t string_[kMaxCodes];

    std::vector<uint8_t> codes_;
    MemoryReservation held_;  // for the capacity of codes_
    uint64_t totalBits_ = 0;
    bool terminated_ = false;
    bool blockEndRead_ = false;
};

}  // namespace abm
