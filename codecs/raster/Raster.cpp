#include "Raster.h"

#include "BmpCodec.h"
#include "Canvas.h"
#include "base/Error.h"
#include "PixelCodec.h"
#include "base/ByteStream.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>

namespace abm {

namespace {

// Guards the share count test and the switch to a private copy.
std::mutex& shareLock()
{
    static std::mutex lock;
    return lock;
}

std::shared_ptr<PixelBuffer> newImage(int width, int height, const PixelLayout& layout, SharedPalette palette,
                                      PixelBytes::Fill fill = PixelBytes::Fill::Zero)
{
    if (width < 0 || height < 0)
        throw InvalidGraphicError(ErrorKind::InvalidBitmap);
    auto image = std::make_shared<PixelBuffer>();
    image->layout = layout;
    image->palette = std::move(palette);
    image->width = width;
    image->height = height;
    if (width == 0 || height == 0)
        return image;  // no pixels, but the format and sizes are kept
    const int64_t stride = rowStride(width, layout.bitsPerPixel);
    if (static_cast<int64_t>(width) * height > rasterPixelLimit() || stride * height > 4 * rasterPixelLimit())
        throw InvalidGraphicError(ErrorKind::PictureTooLarge, {}, int64_t{width} * height, rasterPixelLimit());
    image->stride = static_cast<size_t>(stride);
    if (fill == PixelBytes::Fill::Zero) {
        image->allocatePixels(static_cast<size_t>(stride * height));
        return image;
    }
    image->allocatePixelsForOverwrite(static_cast<size_t>(stride * height));
    // Padding bytes reach BMP files and clones: they must not carry old heap contents.
    const size_t used = static_cast<size_t>((int64_t{width} * layout.bitsPerPixel + 7) / 8);
    if (used < image->stride)
        for (int y = 0; y < height; ++y)
            std::memset(image->row(y) + used, 0, image->stride - used);
    return image;
}

// At most 256 colours are kept.
SharedPalette trimmed(SharedPalette palette)
{
    if (palette.size() <= 256)
        return palette;
    return Palette(palette.colors().begin(), palette.colors().begin() + 256);
}

}  // namespace

Raster::Raster() : image_(std::make_shared<PixelBuffer>())
{
}

Raster::Raster(const Raster& other)
{
    std::lock_guard<std::mutex> guard(shareLock());
    image_ = other.image_;
}

Raster& Raster::operator=(const Raster& other)
{
    assign(&other);
    return *this;
}

Raster::Raster(Raster&& other) noexcept : image_(std::move(other.image_)), canvas_(std::move(other.canvas_))
{
    if (canvas_)
        canvas_->owner_ = this;
    other.image_ = std::make_shared<PixelBuffer>();
}

Raster& Raster::operator=(Raster&& other) noexcept
{
    if (this != &other) {
        image_ = std::move(other.image_);
        canvas_ = std::move(other.canvas_);
        if (canvas_)
            canvas_->owner_ = this;
        other.image_ = std::make_shared<PixelBuffer>();
    }
    return *this;
}

Raster::~Raster() = default;

void Raster::assign(const Raster* source)
{
    if (source == this)
        return;
    if (!source) {
        const PixelLayout layout = image_->layout;
        image_ = std::make_shared<PixelBuffer>();
        image_->layout = layout;
        return;
    }
    {
        std::lock_guard<std::mutex> guard(shareLock());
        image_ = source->image_;
    }
}

PixelBuffer& Raster::mutableImage()
{
    std::lock_guard<std::mutex> guard(shareLock());
    if (image_.use_count() > 1)
        image_ = image_->clone();
    return *image_;
}

Color Raster::fillColor() const
{
    return canvas_ ? canvas_->brushColor : clWhite;
}

void Raster::resize(int width, int height)
{
    if (width == image_->width && height == image_->height)
        return;
    auto fresh = newImage(width, height, image_->layout, image_->palette);
    if (!fresh->bits.empty()) {
        fillImageRect(*fresh, Rect(0, 0, width, height), fillColor());
        stretchBlit(*fresh, Rect(0, 0, image_->width, image_->height), *image_,
                    Rect(0, 0, image_->width, image_->height));
    }
    image_ = std::move(fresh);
}

void Raster::setWidth(int width)
{
    resize(width, image_->height);
}

void Raster::setHeight(int height)
{
    resize(image_->width, height);
}

void Raster::setSize(int width, int height)
{
    resize(width, height);
}

void Raster::setPixelFormat(PixelFormat format)
{
    if (format == pixelFormat())
        return;
    if (format == pfCustom)
        throw InvalidGraphicError(ErrorKind::InvalidPixelFormat);
    const PixelLayout layout = PixelLayout::forFormat(format);
    SharedPalette palette;
    if (format == pf4bit)
        palette = systemPalette16();
    else if (format == pf8bit)
        palette = halftonePalette();
    else
        palette = image_->palette;
    if (format == pf1bit && palette.size() < 2)
        palette = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    // Above 8 bits every pixel is converted over, so the new memory need not be zeroed first.
    const bool overwritten = layout.bitsPerPixel > 8 && !image_->bits.empty();
    auto fresh = newImage(image_->width, image_->height, layout, std::move(palette),
                          overwritten ? PixelBytes::Fill::None : PixelBytes::Fill::Zero);
    if (!fresh->bits.empty()) {
        if (layout.bitsPerPixel <= 8)
            fillImageRect(*fresh, Rect(0, 0, fresh->width, fresh->height), fillColor());
        stretchBlit(*fresh, Rect(0, 0, image_->width, image_->height), *image_,
                    Rect(0, 0, image_->width, image_->height));
    }
    image_ = std::move(fresh);
}

// A raster 0 pixels wide still has rows; they hold no bytes.
static uint8_t gNoPixels[4];

uint8_t* Raster::scanLine(int y)
{
    if (y < 0 || y >= image_->height)
        throw Error(ErrorKind::ScanLineOutOfRange);
    if (image_->bits.empty())
        return gNoPixels;
    return mutableImage().row(y);
}

const uint8_t* Raster::scanLine(int y) const
{
    if (y < 0 || y >= image_->height)
        throw Error(ErrorKind::ScanLineOutOfRange);
    if (image_->bits.empty())
        return gNoPixels;
    return image_->row(y);
}

void Raster::setPalette(SharedPalette palette)
{
    mutableImage().palette = trimmed(std::move(palette));
}

Canvas& Raster::canvas()
{
    if (!canvas_)
        canvas_ = std::make_unique<Canvas>(this);
    return *canvas_;
}

void Raster::create(int width, int height, const PixelLayout& layout, SharedPalette palette)
{
    image_ = newImage(width, height, layout, trimmed(std::move(palette)));
}

void Raster::createForOverwrite(int width, int height, const PixelLayout& layout)
{
    image_ = newImage(width, height, layout, {}, PixelBytes::Fill::None);
}

Color Raster::pixel(int x, int y) const
{
    if (x < 0 || x >= image_->width)
        throw Error(ErrorKind::ScanLineOutOfRange);
    const uint8_t* row = scanLine(y);
    return ColorDecoder(image_->layout, image_->palette).decode(readRaw(row, x, image_->layout.bitsPerPixel));
}

void Raster::loadFromFile(const std::string& fileName)
{
    const LoadedBytes bytes = readWholeFile(fileName);
    loadFromMemory(bytes.data(), bytes.size());
}

void Raster::loadFromStream(ByteStream& stream)
{
    const LoadedBytes bytes = stream.readRest();
    loadFromMemory(bytes.data(), bytes.size());
}

void Raster::loadFromMemory(const uint8_t* data, size_t size)
{
    auto image = std::make_shared<PixelBuffer>();
    image->layout = image_->layout;
    readBmp(data, size, *image);
    image_ = std::move(image);
}

void Raster::saveToFile(const std::string& fileName) const
{
    const std::vector<uint8_t> bytes = writeBmp(*image_);
    FileStream file(fileName, FileStream::Mode::Create);
    file.write(bytes.data(), bytes.size());
}

std::vector<uint8_t> Raster::saveToBytes() const
{
    return writeBmp(*image_);
}

void Raster::saveToStream(ByteStream& stream) const
{
    const std::vector<uint8_t> bytes = writeBmp(*image_);
    stream.write(bytes.data(), bytes.size());
}

const Palette& systemPalette16()
{
    static const Palette palette = {
        {0, 0, 0},     {128, 0, 0},     {0, 128, 0},     {128, 128, 0},   {0, 0, 128}, {128, 0, 128},
        {0, 128, 128}, {192, 192, 192}, {128, 128, 128}, {255, 0, 0},     {0, 255, 0}, {255, 255, 0},
        {0, 0, 255},   {255, 0, 255},   {0, 255, 255},   {255, 255, 255},
    };
    return palette;
}

const Palette& halftonePalette()
{
    // A 6 × 6 × 6 colour cube followed by the grey levels the cube lacks.
    static const Palette palette = [] {
        Palette p;
        for (int r = 0; r < 6; ++r)
            for (int g = 0; g < 6; ++g)
                for (int b = 0; b < 6; ++b)
                    p.push_back(
                        {static_cast<uint8_t>(r * 51), static_cast<uint8_t>(g * 51), static_cast<uint8_t>(b * 51)});
        for (int i = 1; i <= 40; ++i) {
            const auto v = static_cast<uint8_t>(i * 255 / 41);
            p.push_back({v, v, v});
        }
        return p;
    }();
    return palette;
}

}  // namespace abm
