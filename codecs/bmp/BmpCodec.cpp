#include "BmpCodec.h"

#include "base/ByteStream.h"
#include "base/Error.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

namespace abm {

namespace {

constexpr uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3;

[[noreturn]] void invalid()
{
    throw InvalidGraphicError(ErrorKind::InvalidBitmap);
}

uint16_t u16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t u32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void putU16(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    out[at] = static_cast<uint8_t>(v);
    out[at + 1] = static_cast<uint8_t>(v >> 8);
}

void putU32(std::vector<uint8_t>& out, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

class Reader {
public:
    Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    const uint8_t* take(size_t count)
    {
        if (count > size_ - pos_)
            throw FileError(ErrorKind::StreamRead);
        const uint8_t* p = data_ + pos_;
        pos_ += count;
        return p;
    }
    size_t left() const { return size_ - pos_; }
    const uint8_t* here() const { return data_ + pos_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Run-length data, decoded into 4- or 8-bit pixel memory. Runs and deltas that
// leave the picture stop at its edge; pixels never reached stay index 0.
void decodeRle(const uint8_t* p, size_t n, bool four, PixelBuffer& img)
{
    const int w = img.width, h = img.height;
    int x = 0, y = 0;  // y counts rows from the bottom, as stored
    size_t i = 0;
    auto put = [&](uint32_t index) {
        if (x < w && y < h) {
            uint8_t* row = img.bits.data() + static_cast<size_t>(y) * img.stride;
            if (four) {
                uint8_t& b = row[x >> 1];
                b = (x & 1) ? static_cast<uint8_t>((b & 0xF0) | (index & 0x0F))
                            : static_cast<uint8_t>((b & 0x0F) | ((index & 0x0F) << 4));
            } else {
                row[x] = static_cast<uint8_t>(index);
            }
        }
        if (x < w)
            ++x;
    };
    while (i + 1 < n && y < h) {
        const uint8_t count = p[i], value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < w; ++k)
                put(four ? ((k & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        if (value == 0) {  // end of line
            x = 0;
            ++y;
        } else if (value == 1) {  // end of bitmap
            return;
        } else if (value == 2) {  // delta
            if (i + 1 >= n)
                return;
            x = std::min(w, x + p[i]);
            y += p[i + 1];
            i += 2;
        } else {  // absolute run, padded to a 16-bit boundary
            const size_t bytes = four ? (value + 1u) / 2 : value;
            const size_t avail = std::min(bytes, n - i);
            for (int k = 0; k < value; ++k) {
                const size_t at = four ? static_cast<size_t>(k / 2) : static_cast<size_t>(k);
                if (at >= avail)
                    return;
                const uint8_t b = p[i + at];
                put(four ? ((k & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            i += bytes + (bytes & 1);
        }
    }
}

// What the headers say about the picture.
struct BmpInfo {
    uint32_t headerSize = 0;
    int64_t width = 0, height = 0;
    int bpp = 0;
    uint32_t compression = kRgb, colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    bool core = false;  // the old 12-byte header: 16-bit sizes, 3-byte colours
    bool bitFields = false;
};

// The header after the file header, and the masks that may follow it.
BmpInfo readInfoHeader(Reader& r)
{
    BmpInfo info;
    info.headerSize = u32(r.take(4));
    int planes = 0;
    info.core = info.headerSize == 12;
    if (info.core) {
        const uint8_t* h = r.take(8);
        info.width = u16(h);
        info.height = u16(h + 2);
        planes = u16(h + 4);
        info.bpp = u16(h + 6);
    } else {
        if (info.headerSize < 4)
            invalid();
        uint8_t h[120] = {};
        const uint8_t* src = r.take(info.headerSize - 4);
        std::memcpy(h, src, std::min<size_t>(info.headerSize - 4, sizeof h));
        info.width = static_cast<int32_t>(u32(h));
        info.height = static_cast<int32_t>(u32(h + 4));
        planes = u16(h + 8);
        info.bpp = u16(h + 10);
        info.compression = u32(h + 12);
        info.colorsUsed = u32(h + 28);
        if (info.headerSize >= 52)
            for (int i = 0; i < 3; ++i)
                info.masks[i] = u32(h + 36 + 4 * i);
    }
    if (planes != 1)
        invalid();
    info.bitFields = info.compression == kBitFields && (info.bpp == 16 || info.bpp == 32);
    if (info.bitFields && info.headerSize < 52) {
        const uint8_t* m = r.take(12);
        for (int i = 0; i < 3; ++i)
            info.masks[i] = u32(m + 4 * i);
    }
    return info;
}

// The colour table, no longer than the bytes before `pixelOffset` when that
// offset is believed (writers may leave a gap before the pixels or write a
// shorter table than the bit depth implies); at most 256 colours are kept.
Palette readColorTable(Reader& r, const BmpInfo& info, std::optional<size_t> tableRoom)
{
    uint64_t colorCount = info.colorsUsed;
    if (colorCount == 0 && info.bpp <= 8)
        colorCount = info.bpp == 1 ? 2 : info.bpp == 4 ? 16 : info.bpp == 8 ? 256 : 0;
    const size_t entrySize = info.core ? 3 : 4;
    if (tableRoom)
        colorCount = std::min<uint64_t>(colorCount, *tableRoom / entrySize);
    if (colorCount > r.left() / entrySize)
        throw FileError(ErrorKind::StreamRead);
    const uint8_t* table = r.take(static_cast<size_t>(colorCount) * entrySize);
    Palette palette;
    for (uint64_t i = 0; i < std::min<uint64_t>(colorCount, 256); ++i) {
        const uint8_t* e = table + i * entrySize;
        palette.push_back(Rgb{e[2], e[1], e[0]});
    }
    return palette;
}

// What the platform would refuse to make.
void requireMakeable(const BmpInfo& info)
{
    const int bpp = info.bpp;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        invalid();
    if (info.width <= 0 || info.height == 0 || info.height < -INT32_MAX)
        invalid();
    const bool topDown = info.height < 0;
    if (info.compression == kBitFields && !info.bitFields)
        invalid();
    if (info.compression == kRle8 && (bpp != 8 || topDown))
        invalid();
    if (info.compression == kRle4 && (bpp != 4 || topDown))
        invalid();
    if (info.compression > kBitFields)
        invalid();
    const int64_t pixels = info.width * std::abs(info.height);
    if (pixels > rasterPixelLimit())
        throw InvalidGraphicError(ErrorKind::PictureTooLarge, {}, pixels, rasterPixelLimit());
}

// Uncompressed rows, top-down in the file when `topDown`; what the file does
// not hold stays zero.
void readRows(const uint8_t* pixels, size_t available, bool topDown, PixelBuffer& img)
{
    const int64_t rows = img.height;
    const uint64_t imageSize = std::min<uint64_t>(img.stride * static_cast<uint64_t>(rows), available);
    for (int64_t i = 0; i < rows; ++i) {
        const uint64_t at = static_cast<uint64_t>(i) * img.stride;
        if (at >= imageSize)
            break;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(img.stride, imageSize - at));
        const int64_t storedRow = topDown ? rows - 1 - i : i;  // bottom-up in memory
        std::memcpy(img.bits.data() + static_cast<size_t>(storedRow) * img.stride, pixels + at, n);
    }
}

}  // namespace

Raster decodeBmp(const uint8_t* data, size_t size)
{
    if (size == 0)
        return Raster();
    Reader r(data, size);
    const uint8_t* fileHeader = r.take(14);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        invalid();
    const BmpInfo info = readInfoHeader(r);
    // An offset into the headers or past the file is not believed.
    const size_t headersEnd = size - r.left();
    const uint32_t pixelOffset = u32(fileHeader + 10);
    const bool offsetBelieved = pixelOffset >= headersEnd && pixelOffset < size;
    Palette palette =
        readColorTable(r, info, offsetBelieved ? std::optional<size_t>(pixelOffset - headersEnd) : std::nullopt);
    requireMakeable(info);

    PixelLayout layout;
    layout.bitsPerPixel = info.bpp;
    layout.hasMasks = info.bitFields;
    for (int i = 0; i < 3; ++i)
        layout.masks[i] = info.bitFields ? info.masks[i] : 0;
    Raster picture;
    picture.create(static_cast<int>(info.width), static_cast<int>(std::abs(info.height)), layout, std::move(palette));
    PixelBuffer& img = picture.mutableImage();

    // The image-size field is not believed either: run-length data may be
    // longer than the rows it unpacks into, and a field too small would leave
    // rows black that the file holds.
    const uint8_t* pixels = offsetBelieved ? data + pixelOffset : r.here();
    const size_t available = static_cast<size_t>(data + size - pixels);
    if (info.compression == kRle8 || info.compression == kRle4)
        decodeRle(pixels, available, info.compression == kRle4, img);
    else
        readRows(pixels, available, info.height < 0, img);
    return picture;
}

Raster readBmp(ByteStream& stream)
{
    const LoadedBytes bytes = stream.readRest();
    return decodeBmp(bytes.data(), bytes.size());
}

Raster readBmpFile(const std::string& fileName)
{
    const LoadedBytes bytes = readWholeFile(fileName);
    return decodeBmp(bytes.data(), bytes.size());
}

bool readBmpSize(const uint8_t* data, size_t size, int64_t& width, int64_t& height, int& bitsPerPixel)
{
    if (size < 26 || data[0] != 'B' || data[1] != 'M')
        return false;
    if (u32(data + 14) == 12) {
        width = u16(data + 18);
        height = u16(data + 20);
        bitsPerPixel = u16(data + 24);
        return true;
    }
    if (size < 30)
        return false;
    width = static_cast<int32_t>(u32(data + 18));
    height = std::abs(static_cast<int64_t>(static_cast<int32_t>(u32(data + 22))));
    bitsPerPixel = u16(data + 28);
    return true;
}

std::vector<uint8_t> encodeBmp(const Raster& raster)
{
    const PixelBuffer& image = raster.image();
    const PixelLayout& layout = image.layout;
    const bool masks = layout.hasMasks && (layout.bitsPerPixel == 16 || layout.bitsPerPixel == 32);
    const size_t colors = std::min<size_t>(image.palette.size(), 256);
    const size_t offset = 14 + 40 + (masks ? 12 : 0) + 4 * colors;
    const size_t imageSize = image.stride * static_cast<size_t>(image.bits.empty() ? 0 : image.height);
    std::vector<uint8_t> out(offset + imageSize, 0);

    out[0] = 'B';
    out[1] = 'M';
    putU32(out, 2, static_cast<uint32_t>(out.size()));
    putU32(out, 10, static_cast<uint32_t>(offset));
    putU32(out, 14, 40);
    putU32(out, 18, static_cast<uint32_t>(image.width));
    putU32(out, 22, static_cast<uint32_t>(image.height));
    putU16(out, 26, 1);
    putU16(out, 28, static_cast<uint32_t>(layout.bitsPerPixel));
    putU32(out, 30, masks ? kBitFields : kRgb);
    putU32(out, 34, static_cast<uint32_t>(imageSize));
    putU32(out, 46, static_cast<uint32_t>(colors));
    size_t at = 54;
    if (masks) {
        for (int i = 0; i < 3; ++i, at += 4)
            putU32(out, at, layout.masks[i]);
    }
    for (size_t i = 0; i < colors; ++i, at += 4) {
        out[at] = image.palette[i].b;
        out[at + 1] = image.palette[i].g;
        out[at + 2] = image.palette[i].r;
    }
    if (imageSize)
        std::memcpy(out.data() + offset, image.bits.data(), imageSize);
    return out;
}

void writeBmp(const Raster& raster, ByteStream& stream)
{
    const std::vector<uint8_t> bytes = encodeBmp(raster);
    stream.write(bytes.data(), bytes.size());
}

void writeBmpFile(const Raster& raster, const std::string& fileName)
{
    const std::vector<uint8_t> bytes = encodeBmp(raster);
    FileStream file(fileName, FileStream::Mode::Create);
    file.write(bytes.data(), bytes.size());
}

}  // namespace abm
