#pragma once

// The raster every picture ends up in: width × height pixels in a numbered
// format, rows stored bottom-up and padded to 4 bytes, an optional palette.
// Copies share pixel memory until one of them changes (copy on change).
// Drawing on it is a Painter's (Painter.h), BMP files are codecs/bmp's.

#include "Graphics.h"
#include "base/MemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

namespace abm {

// One process-wide cap on the pixels of any raster: a hostile header may ask
// for more, and is refused as a raster the platform cannot make.
constexpr int64_t kMaxRasterPixels = int64_t{1} << 28;
// The cap in force: kMaxRasterPixels, unless lowered (the fuzzers do, to
// spend their time on variety rather than on huge valid pictures).
int64_t rasterPixelLimit();
void setRasterPixelLimit(int64_t pixels);

// How the pixel memory is laid out; the pixel format is derived from it.
struct PixelLayout {
    int bitsPerPixel = 32;
    bool device = false;
    bool hasMasks = false;
    uint32_t masks[3] = {0, 0, 0};  // red, green, blue

    static PixelLayout forFormat(PixelFormat format);
    PixelFormat format() const;
    bool sameAs(const PixelLayout& other) const;
};

// The bytes of a pixel memory. Unlike a vector they can be had without being
// zeroed first, for a decoder that writes every pixel itself; zeroed memory
// comes from calloc, which fresh pages from the system need no filling for.
class PixelBytes {
public:
    PixelBytes() = default;
    PixelBytes(PixelBytes&& other) noexcept : data_(std::move(other.data_)), size_(std::exchange(other.size_, 0)) {}
    PixelBytes& operator=(PixelBytes&& other) noexcept
    {
        data_ = std::move(other.data_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }

    enum class Fill { Zero, None };
    // Replaces the bytes; raises std::bad_alloc and keeps the old ones then.
    void allocate(size_t size, Fill fill);
    void assign(const uint8_t* from, size_t size);

    uint8_t* data() { return data_.get(); }
    const uint8_t* data() const { return data_.get(); }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    const uint8_t* begin() const { return data_.get(); }
    const uint8_t* end() const { return data_.get() + size_; }

    // A copy, for callers that keep pixels apart from any raster.
    operator std::vector<uint8_t>() const { return std::vector<uint8_t>(begin(), end()); }  // NOLINT
    friend bool operator==(const PixelBytes& a, const PixelBytes& b) { return equal(a, b.data(), b.size()); }
    friend bool operator==(const PixelBytes& a, const std::vector<uint8_t>& b) { return equal(a, b.data(), b.size()); }

private:
    struct Free {
        void operator()(uint8_t* p) const;
    };
    static bool equal(const PixelBytes& a, const uint8_t* b, size_t size);
    std::unique_ptr<uint8_t[], Free> data_;
    size_t size_ = 0;
};

// The pixel memory itself; shared between copies of a Raster. It holds its
// reservation against the memory budget, so a memory shared by many copies
// counts once.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    PixelLayout layout = PixelLayout::forFormat(PixelFormat::DeviceDependent);
    SharedPalette palette;
    size_t stride = 0;
    PixelBytes bits;  // bottom row first
    MemoryReservation reservation;

    PixelBuffer() = default;
    PixelBuffer(PixelBuffer&&) = default;
    PixelBuffer& operator=(PixelBuffer&&) = default;

    // `bytes` of pixel memory, zeroed or copied from `from`, reserved first:
    // MemoryLimitExceeded when they do not fit, Error OutOfMemory when the system
    // has none. On failure the old memory stays.
    void allocatePixels(size_t bytes, const uint8_t* from = nullptr);
    // The same, left as it comes, for a caller that writes every byte.
    void allocatePixelsForOverwrite(size_t bytes);
    // An equal image with pixel memory of its own.
    std::shared_ptr<PixelBuffer> clone() const;

    uint8_t* row(int y) { return bits.data() + static_cast<size_t>(height - 1 - y) * stride; }
    const uint8_t* row(int y) const { return bits.data() + static_cast<size_t>(height - 1 - y) * stride; }
};

// ((width × bits + 31) div 32) × 4, in 64 bits so hostile sizes cannot wrap.
int64_t rowStride(int64_t width, int bitsPerPixel);
// What a raster of that size holds against the memory budget: its pixel
// memory and its bookkeeping; nothing when it has no pixels.
int64_t rasterBytes(int64_t width, int64_t height, int bitsPerPixel);

class Raster {
public:
    Raster();
    Raster(const Raster& other);
    Raster& operator=(const Raster& other);
    Raster(Raster&& other) noexcept;
    Raster& operator=(Raster&& other) noexcept;
    ~Raster();

    // Copy from a raster, or from nothing (nullptr) to become empty.
    void assign(const Raster* source);

    int width() const { return image_->width; }
    int height() const { return image_->height; }
    bool empty() const { return image_->width == 0 || image_->height == 0; }
    Rect rect() const { return Rect(0, 0, image_->width, image_->height); }
    // Resizing keeps the top-left part and fills new area white.
    void setWidth(int width);
    void setHeight(int height);
    void setSize(int width, int height);

    PixelFormat pixelFormat() const { return image_->layout.format(); }
    void setPixelFormat(PixelFormat format);
    const PixelLayout& layout() const { return image_->layout; }
    int bitsPerPixel() const { return image_->layout.bitsPerPixel; }
    int stride() const { return static_cast<int>(image_->stride); }

    // Address of the leftmost pixel of row y, row 0 at the top. The writable
    // form gives this copy private pixel memory first.
    uint8_t* row(int y);
    const uint8_t* row(int y) const;

    const Palette& palette() const { return image_->palette; }
    const SharedPalette& sharedPalette() const { return image_->palette; }
    void setPalette(SharedPalette palette);

    // Makes fresh zeroed pixel memory of the given layout and palette; refuses
    // sizes past rasterPixelLimit() with InvalidGraphicError InvalidBitmap,
    // and memory past the budget with MemoryLimitExceeded.
    void create(int width, int height, const PixelLayout& layout, SharedPalette palette = {});
    // As create, but only the padding at the end of each row is zeroed: the
    // caller writes every pixel before anything reads them.
    void createForOverwrite(int width, int height, const PixelLayout& layout);

    // The colour of pixel (x, y); indexes past the palette read as black.
    Color pixel(int x, int y) const;

    bool sharesPixelsWith(const Raster& other) const { return image_ == other.image_; }
    const PixelBuffer& image() const { return *image_; }
    PixelBuffer& mutableImage();

private:
    void resize(int width, int height);

    std::shared_ptr<PixelBuffer> image_;
};

// The 16 colours of the 4-bit format and the 256 of the 8-bit conversion.
const Palette& systemPalette16();
const Palette& halftonePalette();

}  // namespace abm
