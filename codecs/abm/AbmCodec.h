#pragma once

// The phone's animation file (docs/formats/abm.md): a 72-byte header, then
// the raw 16-bit pixels of at most four frames, rows from the top, no
// padding. Pure functions over bytes: no file, no strip, no message.

#include "codecs/raster/Raster.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace abm {

// The most frames an ABM file written here holds.
constexpr int kMaxAbmFrames = 4;
// The phone's screen: the largest frame it shows, and the frame size a
// picture is made into unless the user asks for another.
constexpr int kPhoneFrameWidth = 128;
constexpr int kPhoneFrameHeight = 97;

struct AbmHeader {
    static constexpr size_t kSize = 72;
    static constexpr size_t kCreatorTextSize = 52;

    uint16_t frameWidth = 0;
    uint16_t frameHeight = 0;
    uint8_t bitCount = 0;
    uint8_t reserved1 = 0;
    uint8_t frameCount = 0;
    uint8_t reserved2 = 0;
    uint32_t reserved3 = 0;
    int32_t dataSize = 0;
    uint32_t reserved4 = 0;
    std::array<uint8_t, kCreatorTextSize> creatorText{};

    // Little-endian, field by field; a short input reads as zero bytes.
    static AbmHeader decode(const uint8_t* data, size_t size);
    std::array<uint8_t, kSize> encode() const;
};

// The reader's verdict on a file, which its header and its size decide.
enum class AbmVerdict { Accepted, BadFormat, CannotOpen };

struct AbmHeaderCheck {
    AbmHeader header;
    AbmVerdict verdict = AbmVerdict::Accepted;
};

// The header from a file's first bytes (a short file's missing bytes read as
// 0) and the reader's verdict on it with the file's size: its tests (size,
// bit count, frame bytes, in 32-bit arithmetic where an overflow cannot be
// opened), then whether its frames can be made at all. Reads no pixel.
AbmHeaderCheck checkAbmHeader(const uint8_t* bytes, size_t size, int64_t fileSize);

// The bytes of one frame of an accepted header: width × height 16-bit pixels.
int64_t abmFrameBytes(const AbmHeader& header);
// One frame's bytes (rows from the top, no padding) as a 16-bit raster.
Raster abmFrameRaster(const AbmHeader& header, const uint8_t* frameBytes);

struct AbmDecoded {
    AbmHeaderCheck check;
    std::vector<Raster> frames;  // empty unless accepted
};

// A whole file in memory: its header's verdict and, when accepted, its
// first `maxFrames` frames.
AbmDecoded decodeAbm(const uint8_t* data, size_t size, int maxFrames = kMaxAbmFrames);

// The file of the first kMaxAbmFrames frames, sized by the first one: a
// narrower frame gives white for the columns it lacks. Nothing when there is
// no frame or the first one's format has no bit count; Error RangeCheck for a
// first frame wider or higher than 65535.
std::vector<uint8_t> encodeAbm(const std::vector<const Raster*>& frames);

}  // namespace abm
