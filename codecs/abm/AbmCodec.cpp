#include "AbmCodec.h"

#include "base/Error.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace abm {

namespace {

constexpr char kCreator[] = "Created by PLIX";
// Rows wider than this are refused rather than copied.
constexpr int kMaxCopiedRow = 16384;

int32_t checkedMul(int32_t a, int32_t b)
{
    int32_t r;
    if (__builtin_mul_overflow(a, b, &r))
        throw Error(ErrorKind::IntOverflow);
    return r;
}

uint32_t le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void put32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

int bitCountOf(PixelFormat format)
{
    switch (format) {
    case PixelFormat::Indexed8: return 8;
    case PixelFormat::Rgb565: return 16;
    case PixelFormat::Bgr888: return 24;
    case PixelFormat::Bgrx8888: return 32;
    default: return 0;
    }
}

}  // namespace

AbmHeader AbmHeader::decode(const uint8_t* data, size_t size)
{
    uint8_t b[kSize] = {};
    if (size > 0)
        std::memcpy(b, data, std::min(size, kSize));
    AbmHeader h;
    h.frameWidth = static_cast<uint16_t>(b[0] | (b[1] << 8));
    h.frameHeight = static_cast<uint16_t>(b[2] | (b[3] << 8));
    h.bitCount = b[4];
    h.reserved1 = b[5];
    h.frameCount = b[6];
    h.reserved2 = b[7];
    h.reserved3 = le32(b + 8);
    h.dataSize = static_cast<int32_t>(le32(b + 12));
    h.reserved4 = le32(b + 16);
    std::memcpy(h.creatorText.data(), b + 20, kCreatorTextSize);
    return h;
}

std::array<uint8_t, AbmHeader::kSize> AbmHeader::encode() const
{
    std::array<uint8_t, kSize> b{};
    b[0] = static_cast<uint8_t>(frameWidth);
    b[1] = static_cast<uint8_t>(frameWidth >> 8);
    b[2] = static_cast<uint8_t>(frameHeight);
    b[3] = static_cast<uint8_t>(frameHeight >> 8);
    b[4] = bitCount;
    b[5] = reserved1;
    b[6] = frameCount;
    b[7] = reserved2;
    put32(b.data() + 8, reserved3);
    put32(b.data() + 12, static_cast<uint32_t>(dataSize));
    put32(b.data() + 16, reserved4);
    std::memcpy(b.data() + 20, creatorText.data(), kCreatorTextSize);
    return b;
}

AbmHeaderCheck checkAbmHeader(const uint8_t* bytes, size_t size, int64_t fileSize)
{
    AbmHeaderCheck check{AbmHeader::decode(bytes, size), AbmVerdict::Accepted};
    const AbmHeader& h = check.header;
    const auto verdict = [&check](AbmVerdict v) {
        check.verdict = v;
        return check;
    };
    int32_t fileBytes = 0, dataBytes = 0;
    if (__builtin_add_overflow(h.dataSize, static_cast<int32_t>(AbmHeader::kSize), &fileBytes))
        return verdict(AbmVerdict::CannotOpen);
    if (fileSize != fileBytes || h.bitCount != 16)
        return verdict(AbmVerdict::BadFormat);
    if (__builtin_mul_overflow(h.frameCount * 2 * h.frameWidth, int32_t{h.frameHeight}, &dataBytes))
        return verdict(AbmVerdict::CannotOpen);
    if (dataBytes != h.dataSize)
        return verdict(AbmVerdict::BadFormat);
    // What the frames need: a frame buffer within the 32-bit range, a frame
    // of pixels to fill, rows short enough to copy, and a raster the cap allows.
    const int64_t pixels = int64_t{h.frameWidth} * h.frameHeight;
    if (pixels * 2 > std::numeric_limits<int32_t>::max())
        return verdict(AbmVerdict::CannotOpen);
    if (h.frameCount > 0 && (pixels == 0 || h.frameWidth > kMaxCopiedRow || pixels > rasterPixelLimit()))
        return verdict(AbmVerdict::CannotOpen);
    return check;
}

int64_t abmFrameBytes(const AbmHeader& header)
{
    return int64_t{header.frameWidth} * header.frameHeight * 2;
}

Raster abmFrameRaster(const AbmHeader& header, const uint8_t* frameBytes)
{
    Raster raster;
    raster.create(header.frameWidth, header.frameHeight, PixelLayout::forFormat(PixelFormat::Rgb565));
    const size_t rowBytes = static_cast<size_t>(header.frameWidth) * 2;
    for (int y = 0; y < header.frameHeight; ++y)
        std::memcpy(raster.row(y), frameBytes + static_cast<size_t>(y) * rowBytes, rowBytes);
    return raster;
}

AbmDecoded decodeAbm(const uint8_t* data, size_t size, int maxFrames)
{
    AbmDecoded decoded{checkAbmHeader(data, size, static_cast<int64_t>(size)), {}};
    if (decoded.check.verdict != AbmVerdict::Accepted)
        return decoded;
    const AbmHeader& h = decoded.check.header;
    const auto frameBytes = static_cast<size_t>(abmFrameBytes(h));
    const int frames = std::min<int>(h.frameCount, maxFrames);
    for (int f = 0; f < frames; ++f)
        decoded.frames.push_back(abmFrameRaster(h, data + AbmHeader::kSize + static_cast<size_t>(f) * frameBytes));
    return decoded;
}

std::vector<uint8_t> encodeAbm(const std::vector<const Raster*>& frames)
{
    std::vector<uint8_t> out;
    if (frames.empty())
        return out;
    const Raster& first = *frames.front();
    if (first.width() > 0xFFFF || first.height() > 0xFFFF)
        throw Error(ErrorKind::RangeCheck);
    const int bitCount = bitCountOf(first.pixelFormat());
    if (bitCount == 0)
        return out;

    AbmHeader h;
    h.frameWidth = static_cast<uint16_t>(first.width());
    h.frameHeight = static_cast<uint16_t>(first.height());
    h.bitCount = static_cast<uint8_t>(bitCount);
    h.frameCount = static_cast<uint8_t>(std::min<size_t>(frames.size(), kMaxAbmFrames));
    h.dataSize = checkedMul(checkedMul(checkedMul(h.frameWidth, h.frameHeight), bitCount / 8), h.frameCount);
    std::memcpy(h.creatorText.data(), kCreator, sizeof kCreator - 1);

    out.reserve(AbmHeader::kSize + static_cast<size_t>(h.dataSize));
    const auto header = h.encode();
    out.assign(header.begin(), header.end());

    const size_t rowBytes = static_cast<size_t>(h.frameWidth) * (bitCount / 8);
    for (int f = 0; f < h.frameCount; ++f) {
        const Raster& frame = *frames[static_cast<size_t>(f)];
        // A narrower frame contributes white for the columns it lacks; its
        // row is never read past its end.
        const size_t have = std::min(rowBytes, static_cast<size_t>(frame.width()) * (frame.bitsPerPixel() / 8));
        for (int y = 0; y < h.frameHeight; ++y) {
            const uint8_t* row = frame.row(y);
            const size_t at = out.size();
            out.resize(at + rowBytes, 0xFF);
            std::memcpy(out.data() + at, row, have);
        }
    }
    return out;
}

}  // namespace abm
