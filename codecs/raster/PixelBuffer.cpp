#include "Raster.h"

#include "base/Error.h"
#include "base/MemoryBudget.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

// Pixel memory: its limits, its allocation against the memory budget, and
// the layouts its bytes come in.

namespace abm {

namespace {
std::atomic<int64_t> gRasterPixelLimit{kMaxRasterPixels};
}  // namespace

int64_t rasterPixelLimit()
{
    return gRasterPixelLimit.load(std::memory_order_relaxed);
}

void setRasterPixelLimit(int64_t pixels)
{
    gRasterPixelLimit.store(std::min(pixels, kMaxRasterPixels), std::memory_order_relaxed);
}

int64_t rowStride(int64_t width, int bitsPerPixel)
{
    return ((width * bitsPerPixel + 31) / 32) * 4;
}

int64_t rasterBytes(int64_t width, int64_t height, int bitsPerPixel)
{
    if (width <= 0 || height <= 0)
        return 0;
    return rowStride(width, bitsPerPixel) * height + kObjectOverheadBytes;
}

void PixelBytes::Free::operator()(uint8_t* p) const
{
    std::free(p);
}

void PixelBytes::allocate(size_t size, Fill fill)
{
    if (size == 0) {
        data_.reset();
        size_ = 0;
        return;
    }
    void* p = fill == Fill::Zero ? std::calloc(size, 1) : std::malloc(size);
    if (!p)
        throw std::bad_alloc();
    data_.reset(static_cast<uint8_t*>(p));
    size_ = size;
}

void PixelBytes::assign(const uint8_t* from, size_t size)
{
    PixelBytes copy;
    copy.allocate(size, Fill::None);
    if (size > 0)
        std::memcpy(copy.data(), from, size);
    *this = std::move(copy);
}

bool PixelBytes::equal(const PixelBytes& a, const uint8_t* b, size_t size)
{
    return a.size_ == size && (size == 0 || std::memcmp(a.data(), b, size) == 0);
}

namespace {

void allocateReserved(PixelBuffer& image, size_t bytes, const uint8_t* from, PixelBytes::Fill fill)
{
    MemoryReservation held(static_cast<int64_t>(bytes) + kObjectOverheadBytes);
    try {
        if (from)
            image.bits.assign(from, bytes);
        else
            image.bits.allocate(bytes, fill);
    } catch (const std::bad_alloc&) {
        throw Error(ErrorKind::OutOfMemory);
    }
    image.reservation = std::move(held);
}

}  // namespace

void PixelBuffer::allocatePixels(size_t bytes, const uint8_t* from)
{
    allocateReserved(*this, bytes, from, PixelBytes::Fill::Zero);
}

void PixelBuffer::allocatePixelsForOverwrite(size_t bytes)
{
    allocateReserved(*this, bytes, nullptr, PixelBytes::Fill::None);
}

std::shared_ptr<PixelBuffer> PixelBuffer::clone() const
{
    auto copy = std::make_shared<PixelBuffer>();
    copy->width = width;
    copy->height = height;
    copy->layout = layout;
    copy->palette = palette;
    copy->stride = stride;
    if (!bits.empty())
        copy->allocatePixels(bits.size(), bits.data());
    return copy;
}

PixelLayout PixelLayout::forFormat(PixelFormat format)
{
    PixelLayout l;
    switch (format) {
    case PixelFormat::DeviceDependent:
        l.bitsPerPixel = 32;
        l.device = true;
        break;
    case PixelFormat::Indexed1: l.bitsPerPixel = 1; break;
    case PixelFormat::Indexed4: l.bitsPerPixel = 4; break;
    case PixelFormat::Indexed8: l.bitsPerPixel = 8; break;
    case PixelFormat::Rgb555: l.bitsPerPixel = 16; break;
    case PixelFormat::Rgb565:
        l.bitsPerPixel = 16;
        l.hasMasks = true;
        l.masks[0] = 0xF800;
        l.masks[1] = 0x07E0;
        l.masks[2] = 0x001F;
        break;
    case PixelFormat::Bgr888: l.bitsPerPixel = 24; break;
    case PixelFormat::Bgrx8888: l.bitsPerPixel = 32; break;
    case PixelFormat::Custom: throw InvalidGraphicError(ErrorKind::InvalidPixelFormat);
    }
    return l;
}

PixelFormat PixelLayout::format() const
{
    if (device)
        return PixelFormat::DeviceDependent;
    switch (bitsPerPixel) {
    case 1: return PixelFormat::Indexed1;
    case 4: return PixelFormat::Indexed4;
    case 8: return PixelFormat::Indexed8;
    case 16:
        if (!hasMasks)
            return PixelFormat::Rgb555;
        // Only the frame layout itself: any other masks, even with its green
        // (blue-green-red 5-6-5, say), must be converted to become a frame.
        return masks[0] == 0xF800 && masks[1] == 0x07E0 && masks[2] == 0x001F ? PixelFormat::Rgb565
                                                                              : PixelFormat::Custom;
    case 24: return PixelFormat::Bgr888;
    case 32: return hasMasks ? PixelFormat::Custom : PixelFormat::Bgrx8888;
    default: return PixelFormat::Custom;
    }
}

bool PixelLayout::sameAs(const PixelLayout& o) const
{
    if (bitsPerPixel != o.bitsPerPixel || device != o.device || hasMasks != o.hasMasks)
        return false;
    return !hasMasks || (masks[0] == o.masks[0] && masks[1] == o.masks[1] && masks[2] == o.masks[2]);
}

}  // namespace abm
