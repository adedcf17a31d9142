#include "BmpCodec.h"

#include "base/Error.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

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

}  // namespace

void readBmp(const uint8_t* data, size_t size, PixelBuffer& out)
{
    if (size == 0) {
        const PixelLayout layout = out.layout;
        out = PixelBuffer();
        out.layout = layout;
        return;
    }
    Reader r(data, size);
    const uint8_t* fileHeader = r.take(14);
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M')
        invalid();

    const uint32_t headerSize = u32(r.take(4));
    int64_t width = 0, height = 0;
    int planes = 0, bpp = 0;
    uint32_t compression = kRgb, colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    const bool core = headerSize == 12;
    if (core) {
        const uint8_t* h = r.take(8);
        width = u16(h);
        height = u16(h + 2);
        planes = u16(h + 4);
        bpp = u16(h + 6);
    } else {
        if (headerSize < 4)
            invalid();
        uint8_t h[120] = {};
        const uint8_t* src = r.take(headerSize - 4);
        std::memcpy(h, src, std::min<size_t>(headerSize - 4, sizeof h));
        width = static_cast<int32_t>(u32(h));
        height = static_cast<int32_t>(u32(h + 4));
        planes = u16(h + 8);
        bpp = u16(h + 10);
        compression = u32(h + 12);
        colorsUsed = u32(h + 28);
        if (headerSize >= 52)
            for (int i = 0; i < 3; ++i)
                masks[i] = u32(h + 36 + 4 * i);
    }
    if (planes != 1)
        invalid();
    const bool bitFields = compression == kBitFields && (bpp == 16 || bpp == 32);
    if (bitFields && headerSize < 52) {
        const uint8_t* m = r.take(12);
        for (int i = 0; i < 3; ++i)
            masks[i] = u32(m + 4 * i);
    }

    uint64_t colorCount = colorsUsed;
    if (colorCount == 0 && bpp <= 8)
        colorCount = bpp == 1 ? 2 : bpp == 4 ? 16 : bpp == 8 ? 256 : 0;
    const size_t entrySize = core ? 3 : 4;
    // Writers may leave a gap before the pixels or write a shorter colour
    // table than the bit depth implies; the file header's offset tells. An
    // offset into the headers or past the file is not believed.
    const size_t headersEnd = size - r.left();
    const uint32_t pixelOffset = u32(fileHeader + 10);
    const bool offsetBelieved = pixelOffset >= headersEnd && pixelOffset < size;
    if (offsetBelieved)
        colorCount = std::min<uint64_t>(colorCount, (pixelOffset - headersEnd) / entrySize);
    if (colorCount > r.left() / entrySize)
        throw FileError(ErrorKind::StreamRead);
    const uint8_t* table = r.take(static_cast<size_t>(colorCount) * entrySize);
    Palette palette;
    for (uint64_t i = 0; i < std::min<uint64_t>(colorCount, 256); ++i) {
        const uint8_t* e = table + i * entrySize;
        palette.push_back(Rgb{e[2], e[1], e[0]});
    }

    // What the platform would refuse to make.
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        invalid();
    if (width <= 0 || height == 0 || height < -INT32_MAX)
        invalid();
    const bool topDown = height < 0;
    const int64_t rows = topDown ? -height : height;
    if (compression == kBitFields && !bitFields)
        invalid();
    if (compression == kRle8 && (bpp != 8 || topDown))
        invalid();
    if (compression == kRle4 && (bpp != 4 || topDown))
        invalid();
    if (compression > kBitFields)
        invalid();
    if (width * rows > rasterPixelLimit())
        throw InvalidGraphicError(ErrorKind::PictureTooLarge, {}, width * rows, rasterPixelLimit());

    PixelLayout layout;
    layout.bitsPerPixel = bpp;
    layout.hasMasks = bitFields;
    for (int i = 0; i < 3; ++i)
        layout.masks[i] = bitFields ? masks[i] : 0;

    PixelBuffer img;
    img.layout = layout;
    img.width = static_cast<int>(width);
    img.height = static_cast<int>(rows);
    img.stride = static_cast<size_t>(rowStride(width, bpp));
    img.allocatePixels(img.stride * static_cast<size_t>(rows));
    if (bpp <= 8 || colorCount > 0)
        img.palette = std::move(palette);

    // The image-size field is not believed either: run-length data may be
    // longer than the rows it unpacks into, and a field too small would leave
    // rows black that the file holds. What the file does not hold stays zero.
    const uint8_t* pixels = offsetBelieved ? data + pixelOffset : r.here();
    const size_t available = static_cast<size_t>(data + size - pixels);
    if (compression == kRle8 || compression == kRle4) {
        decodeRle(pixels, available, compression == kRle4, img);
    } else {
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
    out = std::move(img);
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

std::vector<uint8_t> writeBmp(const PixelBuffer& image)
{
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

}  // namespace abm
