#pragma once

// The phone's animation file: a 72-byte header, then the raw 16-bit pixels
// of at most four frames, rows from the top, no padding.

#include "FrameStrip.h"
#include "codecs/raster/Stream.h"
#include "options/SettingsStore.h"

#include <array>
#include <cstdint>
#include <string>

namespace abm {

struct TAbmHeader {
    static constexpr size_t kSize = 72;
    static constexpr size_t kCreatorTextSize = 52;

    uint16_t FrameWidth = 0;
    uint16_t FrameHeight = 0;
    uint8_t BitCount = 0;
    uint8_t Reserved1 = 0;
    uint8_t FrameCount = 0;
    uint8_t Reserved2 = 0;
    uint32_t Reserved3 = 0;
    int32_t DataSize = 0;
    uint32_t Reserved4 = 0;
    std::array<uint8_t, kCreatorTextSize> CreatorText{};

    // Little-endian, field by field; a short input reads as zero bytes.
    static TAbmHeader Decode(const uint8_t* data, size_t size);
    std::array<uint8_t, kSize> Encode() const;
};

// The complete ABM image of the strip, or nothing (empty strip, or a first
// frame whose format has no bit count).
void WriteAbmStream(const FrameStrip& strip, TMemoryStream& stream);

// Appends the frames of an ABM file, or shows one of the reader's two error
// messages; no error leaves it.
void ReadAbmFile(FrameStrip& strip, const std::string& fileName);

// "Сохранить как ABM".
void SaveToFileAExecute(FrameStrip& strip, ISettingsStore& settings);

}  // namespace abm
