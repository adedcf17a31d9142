#pragma once

// The phone's animation file: a 72-byte header, then the raw 16-bit pixels
// of at most four frames, rows from the top, no padding.

#include "FrameStrip.h"
#include "ImportBudget.h"
#include "base/ByteStream.h"
#include "settings/SettingsStore.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace abm {

// The most frames an ABM file written here holds.
constexpr int kMaxAbmFrames = 4;

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
// Opens the file and checks its header and size (FileError FileOpen when it cannot
// be opened); `file` is left just past the header, at frame 0.
AbmHeaderCheck readAbmHeader(FileStream& file);
// The reader's message for a verdict other than Accepted.
std::string abmVerdictMessage(AbmVerdict verdict, const std::string& fileName);

// The bytes of one frame of an accepted header: width × height 16-bit pixels.
int64_t abmFrameBytes(const AbmHeader& header);
// One frame's bytes (rows from the top, no padding) as a 16-bit raster.
Raster abmFrameRaster(const AbmHeader& header, const uint8_t* frameBytes);

// Opens an ABM file and checks its header as the reader does, then hands an
// accepted file, standing at frame 0, to `frames`. Every failure but
// MemoryLimitExceeded ends in the reader's message through `prompts`.
void readAbmFrames(const std::string& fileName, UserPrompts& prompts,
                   const std::function<void(FileStream& file, const AbmHeader& header)>& frames);

// The complete ABM image of the strip, or nothing (empty strip, or a first
// frame whose format has no bit count).
void writeAbmStream(const FrameStrip& strip, MemoryStream& stream);

// Appends the frames of an ABM file (those the strip may take under
// `frameCap`), reading one frame at a time, or shows one of the reader's two
// error messages. Only MemoryLimitExceeded leaves it: frames that would not
// fit the memory budget are refused before the first is read.
void readAbmFile(FrameStrip& strip, const std::string& fileName, int frameCap = kNoFrameCap);

// "Сохранить как ABM".
void saveAbm(FrameStrip& strip, SettingsStore& settings);

}  // namespace abm
