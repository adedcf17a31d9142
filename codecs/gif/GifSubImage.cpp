#include "GifSubImage.h"

#include "GifApplicationExtension.h"
#include "GifWarnings.h"
#include "base/Error.h"
#include "GifGraphicControlExtension.h"
#include "GifImage.h"
#include "LzwDecoder.h"
#include "GifReader.h"

#include "codecs/raster/Canvas.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace abm {

namespace {

// a × b / c rounded to the nearest integer, halves away from zero; a divisor
// of 0 gives −1.
int64_t mulDivRound(int64_t a, int64_t b, int64_t c)
{
    if (c == 0)
        return -1;
    const int64_t p = a * b;
    int64_t q = p / c;
    const int64_t r = p % c;
    if (2 * (r < 0 ? -r : r) >= (c < 0 ? -c : c))
        q += (p < 0) != (c < 0) ? -1 : 1;
    return q;
}

int clampToInt(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// The first offset start + k × step (k ≥ 0) whose copy of `size` reaches past
// `low`.
int64_t firstVisible(int64_t start, int64_t step, int64_t size, int64_t low)
{
    if (start + size > low)
        return start;
    const int64_t k = (low - size - start) / step + 1;
    return start + k * step;
}

}  // namespace

GifSubImage::GifSubImage(GifImage* image) : image_(image), held_(kObjectOverheadBytes)
{
}

GifSubImage::~GifSubImage() = default;

void GifSubImage::readExtensions(GifReader& reader)
{
    int b = reader.readByte();
    while (b >= 0 && b != kGIFImageSeparator && b != kGIFTrailer) {
        if (b != kGIFExtensionIntroducer) {
            reader.warning(kGIFInvalidIntroducer);
            break;
        }
        const int label = reader.readByte();
        if (label < 0)
            throw InvalidGraphicError(ErrorKind::GifPrematureEnd);
        reader.stepBack();
        reader.stepBack();
        std::unique_ptr<GifExtension> ext;
        if (label == kGIFApplicationLabel) {
            ext = GifApplicationExtension::read(reader);
        } else {
            ext = GifExtension::create(static_cast<uint8_t>(label));
            if (!ext)
                throw InvalidGraphicError(ErrorKind::GifUnknownExtension);
            ext->loadFromReader(reader);
        }
        if (label == kGIFGraphicControlLabel) {
            const auto* gce = static_cast<const GifGraphicControlExtension*>(ext.get());
            // The first one is the image's; a later one can still make it transparent.
            if (!graphicControl_)
                graphicControl_ = gce;
            if (gce->transparent())
                transparent_ = true;
        }
        extensions_.push_back(std::move(ext));
        b = reader.readByte();
    }
    if (b >= 0)
        reader.stepBack();
}

void GifSubImage::loadFromReader(GifReader& reader, int64_t& pixelBudget)
{
    readExtensions(reader);

    const int b = reader.readByte();
    if (b < 0)
        return;
    // Extensions with no image after them: the sub-image stays empty.
    reader.stepBack();
    if (b == kGIFTrailer || b == 0)
        return;

    uint8_t d[10];
    reader.readFixed(d, sizeof d);
    auto word = [&](int at) { return d[at] | (d[at + 1] << 8); };
    separator_ = d[0];
    left_ = word(1);
    top_ = word(3);
    width_ = word(5);
    height_ = word(7);
    flags_ = d[9];
    if (width_ == 0 || height_ == 0) {
        reader.warning(kGIFExceedsScreen);
        width_ = image_->width();
        height_ = image_->height();
    }
    if (flags_ & kGifColorTableFlag)
        colorMap_.loadFromReader(reader, GifColorTable::sizeFromFlags(flags_));

    // Checked before anything is reserved: a few bytes of header may claim
    // 65535 × 65535 pixels, directly or through the screen size.
    const int64_t pixels = static_cast<int64_t>(width_) * height_;
    if (pixels > rasterPixelLimit() || pixels > pixelBudget)
        throw InvalidGraphicError(ErrorKind::GifImageTooLarge);
    pixelBudget -= pixels;
    hasImage_ = true;

    hasCodeSize_ = reader.left() > 0;
    if (!hasCodeSize_)
        return;
    codeSizeAt_ = reader.position();
    reader.setPosition(reader.skipSubBlocks(codeSizeAt_ + 1));
}

void GifSubImage::decodePixels(const GifReader& reader, LzwDecoder& decoder)
{
    if (!hasImage_ || width_ == 0 || height_ == 0)
        return;
    // The decoder writes every pixel, the fill value where the data stops short.
    raster_.createForOverwrite(width_, height_, PixelLayout::forFormat(pf8bit));
    PixelBuffer& image = raster_.mutableImage();
    uint8_t* const top = image.row(0);
    // Rows are stored bottom-up: the next row down lies one stride lower.
    const ptrdiff_t step = -static_cast<ptrdiff_t>(image.stride);
    const uint8_t fill = transparent_ && graphicControl_ ? graphicControl_->transparentColorIndex : 0;
    if (!hasCodeSize_) {
        for (int y = 0; y < height_; ++y)
            std::memset(top + y * step, fill, static_cast<size_t>(width_));
        return;
    }
    const int minCodeSize = reader.data()[codeSizeAt_];
    if (minCodeSize > LzwDecoder::kMaxMinCodeSize) {
        raster_ = Raster();
        throw InvalidGraphicError(ErrorKind::GifBadCodeSize);
    }
    decoder.takeSubBlocks(reader.data(), reader.size(), codeSizeAt_ + 1);
    decoder.decode(minCodeSize, top, step, width_, height_, interlaced(), fill);
}

std::vector<uint8_t> GifSubImage::data() const
{
    std::vector<uint8_t> indexes;
    if (raster_.empty())
        return indexes;
    const size_t w = static_cast<size_t>(width_);
    indexes.resize(w * static_cast<size_t>(height_));
    for (int y = 0; y < height_; ++y)
        std::memcpy(indexes.data() + static_cast<size_t>(y) * w, raster_.scanLine(y), w);
    return indexes;
}

SharedPalette GifSubImage::choosePalette() const
{
    const auto padded = [](Palette colors) {
        colors.resize(256, Rgb{0, 0, 0});
        return SharedPalette(std::move(colors));
    };
    if (!colorMap_.empty())
        return padded(colorMap_.colors());
    if (!image_->globalColorMap().empty())
        return image_->globalRasterPalette();
    if (image_->count() > 0) {
        const GifSubImage& first = image_->images(0);
        if (first.bitmapMade_)
            return first.palette_;
        if (!first.colorMap_.empty())
            return padded(first.colorMap_.colors());
    }
    throw InvalidGraphicError(ErrorKind::GifNoColorTable);
}

void GifSubImage::makeBitmap()
{
    SharedPalette palette = choosePalette();
    std::unique_ptr<BitMask> mask;
    if (transparent_) {
        const uint8_t index = graphicControl_ ? graphicControl_->transparentColorIndex : 0;
        auto m = std::make_unique<BitMask>();
        m->width = width_;
        m->height = height_;
        m->stride = (width_ + 15) / 16 * 2;
        const size_t maskBytes = static_cast<size_t>(m->stride) * static_cast<size_t>(height_);
        held_.resize(kObjectOverheadBytes + static_cast<int64_t>(maskBytes));
        m->bits.assign(maskBytes, 0);
        bool any = false;
        for (int y = 0; y < height_; ++y) {
            const uint8_t* row = std::as_const(raster_).scanLine(y);
            uint8_t* bits = m->bits.data() + static_cast<size_t>(y) * static_cast<size_t>(m->stride);
            for (int x = 0; x < width_; ++x) {
                if (row[x] == index) {
                    bits[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
                    any = true;
                }
            }
        }
        if (any)
            mask = std::move(m);
        else
            held_.resize(kObjectOverheadBytes);
    }
    raster_.setPalette(palette);
    palette_ = std::move(palette);
    mask_ = std::move(mask);
    bitmapMade_ = true;
}

const Raster* GifSubImage::raster()
{
    if (released_ || empty() || raster_.empty())
        return nullptr;
    if (!bitmapMade_)
        makeBitmap();
    return &raster_;
}

const BitMask* GifSubImage::mask()
{
    raster();
    return mask_.get();
}

void GifSubImage::releasePixels()
{
    raster_ = Raster();
    mask_.reset();
    held_.resize(kObjectOverheadBytes);
    released_ = true;
}

int GifSubImage::disposal() const
{
    return graphicControl_ ? graphicControl_->disposal() : 0;
}

Rect GifSubImage::placeIn(const Rect& rect) const
{
    const int64_t screenW = image_->width(), screenH = image_->height();
    const int64_t rw = static_cast<int64_t>(rect.right) - rect.left;
    const int64_t rh = static_cast<int64_t>(rect.bottom) - rect.top;
    return Rect(clampToInt(rect.left + mulDivRound(left_, rw, screenW)),
                clampToInt(rect.top + mulDivRound(top_, rh, screenH)),
                clampToInt(rect.left + mulDivRound(static_cast<int64_t>(left_) + width_, rw, screenW)),
                clampToInt(rect.top + mulDivRound(static_cast<int64_t>(top_) + height_, rh, screenH)));
}

void GifSubImage::draw(Canvas& canvas, const Rect& rect, bool doTransparent, bool doTile)
{
    const Raster* bitmap = raster();
    if (!bitmap)
        return;
    const BitMask* mask = doTransparent && transparent_ ? mask_.get() : nullptr;
    auto paint = [&](const Rect& target) {
        if (mask)
            canvas.maskedStretchDraw(target, *bitmap, *mask);
        else
            canvas.stretchDraw(target, bitmap);
    };

    if (!doTile) {
        paint(placeIn(rect));
        return;
    }

    const int64_t screenW = image_->width(), screenH = image_->height();
    // Copies at screen steps while their top-left corner is inside rect.
    // Only those that can reach the surface are visited, and a screen of
    // size 0 gives one copy instead of an endless loop.
    const Rect clip = canvas.clipRect();
    const int64_t stepX = screenW > 0 ? screenW : std::numeric_limits<int>::max();
    const int64_t stepY = screenH > 0 ? screenH : std::numeric_limits<int>::max();
    const int64_t endX = std::min<int64_t>(rect.right, clip.right);
    const int64_t endY = std::min<int64_t>(rect.bottom, clip.bottom);
    const int64_t x0 = firstVisible(static_cast<int64_t>(rect.left) + left_, stepX, width_, clip.left);
    const int64_t y0 = firstVisible(static_cast<int64_t>(rect.top) + top_, stepY, height_, clip.top);
    for (int64_t y = y0; y < endY; y += stepY)
        for (int64_t x = x0; x < endX; x += stepX)
            paint(Rect(clampToInt(x), clampToInt(y), clampToInt(x + width_), clampToInt(y + height_)));
}

}  // namespace abm
