#pragma once

// Helpers shared by the test programs: the corpora, temporary folders, PNG
// references and small file utilities.

#include "base/Error.h"
#include "base/MemoryBudget.h"
#include "codecs/raster/Raster.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace abm::test {

// The kind of the Error that `run` raises, or nothing when it raises none;
// any other exception passes through.
template <class Run>
std::optional<ErrorKind> kindOfError(Run&& run)
{
    try {
        run();
    } catch (const Error& e) {
        return e.kind();
    }
    return std::nullopt;
}

// The GIF reader's own refusals.
inline bool isGifError(const Error& e)
{
    return e.kind() >= ErrorKind::GifInvalidSignature && e.kind() <= ErrorKind::GifImageTooLarge;
}

// The corpora folder; a missing folder fails the calling test.
std::filesystem::path corpora();
std::vector<std::filesystem::path> filesIn(const std::filesystem::path& folder, const std::string& extension = "");

std::vector<uint8_t> readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// A fresh folder, removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A character device for a save to write into: as root one made in `folder`
// (the null device "null", the always-full one "full"), so that a save that
// replaced devices would never touch the system's; else the system's own.
std::string characterDevice(const TempDir& folder, const std::string& name);

struct RgbaImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;        // top row first
    uint32_t at(int x, int y) const;  // 0xAARRGGBB
};
RgbaImage readPng(const std::filesystem::path& path);

// A raster of the given format filled from a function of (x, y) → 0x00RRGGBB.
template <class F>
Raster makeRaster(int width, int height, PixelFormat format, F colorAt);

// The memory budget's limit for one test, put back afterwards; the peak
// starts again from what is held when it is set.
class ScopedMemoryLimit {
public:
    explicit ScopedMemoryLimit(int64_t bytes) : old_(MemoryBudget::limit())
    {
        MemoryBudget::setLimit(bytes);
        MemoryBudget::resetPeak();
    }
    ~ScopedMemoryLimit() { MemoryBudget::setLimit(old_); }
    ScopedMemoryLimit(const ScopedMemoryLimit&) = delete;
    ScopedMemoryLimit& operator=(const ScopedMemoryLimit&) = delete;

private:
    int64_t old_;
};

// Peak signal to noise of b against a, same size, over every channel of
// every pixel as 8 bits; infinite for equal pictures.
double psnr(const Raster& a, const Raster& b);

// The raw value of pixel (x, y) of a 16-bit raster.
inline uint16_t pixel16(const Raster& raster, int x, int y)
{
    const uint8_t* row = raster.scanLine(y);
    return static_cast<uint16_t>(row[2 * x] | (row[2 * x + 1] << 8));
}

// Little-endian readers for checking written bytes.
inline uint32_t le16(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8);
}
inline uint32_t le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

}  // namespace abm::test

#include "codecs/raster/Canvas.h"

namespace abm::test {

template <class F>
Raster makeRaster(int width, int height, PixelFormat format, F colorAt)
{
    Raster bmp;
    bmp.setPixelFormat(pf24bit);
    bmp.setSize(width, height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = bmp.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const uint32_t c = colorAt(x, y);
            row[3 * x] = static_cast<uint8_t>(c);
            row[3 * x + 1] = static_cast<uint8_t>(c >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(c >> 16);
        }
    }
    bmp.setPixelFormat(format);
    return bmp;
}

}  // namespace abm::test
