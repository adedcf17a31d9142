#pragma once

// The raster every picture ends up in: width × height pixels in a numbered
// format, rows stored bottom-up and padded to 4 bytes, an optional palette,
// and a lazily made drawing surface. Copies share pixel memory until one of
// them changes (copy on change).

#include "Graphics.h"
#include "base/MemoryBudget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace abm {

class TCanvas;
class TStream;

// One process-wide cap on the pixels of any raster: a hostile header may ask
// for more, and is refused as a raster the platform cannot make.
constexpr int64_t kMaxRasterPixels = int64_t{1} << 28;
// The cap in force: kMaxRasterPixels, unless lowered (the fuzzers do, to
// spend their time on variety rather than on huge valid pictures).
int64_t rasterPixelLimit();
void setRasterPixelLimit(int64_t pixels);

// How the pixel memory is laid out; the pixel format is derived from it.
struct TPixelLayout {
    int bitsPerPixel = 32;
    bool device = false;
    bool hasMasks = false;
    uint32_t masks[3] = {0, 0, 0};  // red, green, blue

    static TPixelLayout forFormat(TPixelFormat format);
    TPixelFormat format() const;
    bool sameAs(const TPixelLayout& other) const;
};

// The pixel memory itself; shared between copies of a TBitmap. It holds its
// reservation against the memory budget, so a memory shared by many copies
// counts once.
struct TBitmapImage {
    int width = 0;
    int height = 0;
    TPixelLayout layout = TPixelLayout::forFormat(pfDevice);
    TSharedPalette palette;
    size_t stride = 0;
    std::vector<uint8_t> bits;  // bottom row first
    MemoryReservation reservation;

    TBitmapImage() = default;
    TBitmapImage(TBitmapImage&&) = default;
    TBitmapImage& operator=(TBitmapImage&&) = default;

    // `bytes` of pixel memory, zeroed or copied from `from`, reserved first:
    // MemoryLimitExceeded when they do not fit, Error OutOfMemory when the system
    // has none. On failure the old memory stays.
    void allocatePixels(size_t bytes, const uint8_t* from = nullptr);
    // An equal image with pixel memory of its own.
    std::shared_ptr<TBitmapImage> clone() const;

    uint8_t* row(int y) { return bits.data() + static_cast<size_t>(height - 1 - y) * stride; }
    const uint8_t* row(int y) const { return bits.data() + static_cast<size_t>(height - 1 - y) * stride; }
};

// ((width × bits + 31) div 32) × 4, in 64 bits so hostile sizes cannot wrap.
int64_t rowStride(int64_t width, int bitsPerPixel);
// What a raster of that size holds against the memory budget: its pixel
// memory and its bookkeeping; nothing when it has no pixels.
int64_t rasterBytes(int64_t width, int64_t height, int bitsPerPixel);

class TBitmap {
public:
    TBitmap();
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    TBitmap(TBitmap&& other) noexcept;
    TBitmap& operator=(TBitmap&& other) noexcept;
    ~TBitmap();

    // Copy from a raster, or from nothing (nullptr) to become empty.
    void assign(const TBitmap* source);

    int width() const { return image_->width; }
    int height() const { return image_->height; }
    bool empty() const { return image_->width == 0 || image_->height == 0; }
    void setWidth(int width);
    void setHeight(int height);
    void setSize(int width, int height);

    TPixelFormat pixelFormat() const { return image_->layout.format(); }
    void setPixelFormat(TPixelFormat format);
    const TPixelLayout& layout() const { return image_->layout; }
    int bitsPerPixel() const { return image_->layout.bitsPerPixel; }
    int stride() const { return static_cast<int>(image_->stride); }

    // Address of the leftmost pixel of row y, row 0 at the top. The writable
    // form gives this copy private pixel memory first.
    uint8_t* scanLine(int y);
    const uint8_t* scanLine(int y) const;

    const TPalette& palette() const { return image_->palette; }
    const TSharedPalette& sharedPalette() const { return image_->palette; }
    void setPalette(TSharedPalette palette);

    TCanvas& canvas();

    // Makes fresh zeroed pixel memory of the given layout and palette; refuses
    // sizes past RasterPixelLimit() with InvalidGraphicError InvalidBitmap,
    // and memory past the budget with MemoryLimitExceeded.
    void create(int width, int height, const TPixelLayout& layout, TSharedPalette palette = {});

    // The colour of pixel (x, y); indexes past the palette read as black.
    TColor pixel(int x, int y) const;

    bool sharesPixelsWith(const TBitmap& other) const { return image_ == other.image_; }
    const TBitmapImage& image() const { return *image_; }
    TBitmapImage& mutableImage();

    void loadFromFile(const std::string& fileName);
    void loadFromStream(TStream& stream);
    void loadFromMemory(const uint8_t* data, size_t size);
    void saveToFile(const std::string& fileName) const;
    void saveToStream(TStream& stream) const;
    // The BMP file's bytes, as SaveToFile writes them.
    std::vector<uint8_t> saveToBytes() const;

private:
    friend class TCanvas;
    void resize(int width, int height);
    TColor fillColor() const;

    std::shared_ptr<TBitmapImage> image_;
    std::unique_ptr<TCanvas> canvas_;
};

// The 16 colours of the 4-bit format and the 256 of the 8-bit conversion.
const TPalette& systemPalette16();
const TPalette& halftonePalette();

}  // namespace abm
