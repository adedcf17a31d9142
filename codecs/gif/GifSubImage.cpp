#include "GifSubImage.h"

#include "GifWarnings.h"
#include "base/Error.h"
#include "GifImage.h"
#include "LzwDecoder.h"
#include "GifReader.h"

#include "codecs/raster/Painter.h"

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

// The graphic control extension's flags byte.
constexpr uint8_t kTransparentFlag = 0x01;
constexpr int kDisposalShift = 2;
constexpr uint8_t kDisposalMask = 0x07;

int clampToInt(int64_t v)
{
    return static_cast<int>(std::clamp<int64_t>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// An application block: its size byte must be at least 10; the 11-byte
// identifier is read all the same (a 10-byte block gives its last byte back
// to the data sub-blocks), bytes past 11 are skipped, then the data.
void skipApplication(GifReader& reader)
{
    uint8_t size = 0;
    reader.readFixed(&size, 1);
    if (size < 10)
        throw InvalidGraphicError(ErrorKind::GifBadAppBlockSize);
    reader.skipFixed(11);  // the identifier
    if (size == 10)
        reader.stepBack();
    else if (size > 11)
        reader.skip(static_cast<size_t>(size) - 11);
    reader.skipSubBlocks();
}

}  // namespace

GifSubImage::GifSubImage(GifImage* image) : image_(image), held_(kObjectOverheadBytes)
{
}

GifSubImage::~GifSubImage() = default;

// Always 6 bytes after the label, whatever the block size byte claims: block
// size, flags, delay, transparent index, terminator.
void GifSubImage::readGraphicControl(GifReader& reader)
{
    uint8_t b[6] = {};
    if (reader.readSome(b, sizeof b) < sizeof b)
        reader.warning(kGIFPrematureEnd);
    const bool transparent = (b[1] & kTransparentFlag) != 0;
    if (!hasGraphicControl_) {
        hasGraphicControl_ = true;
        control_.transparentIndex = b[4];
        control_.disposal = (b[1] >> kDisposalShift) & kDisposalMask;
        control_.delay = static_cast<uint16_t>(b[2] | (b[3] << 8));
    }
    control_.transparent = control_.transparent || transparent;
}

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
        switch (label) {
        case kGIFGraphicControlLabel: readGraphicControl(reader); break;
        case kGIFApplicationLabel: skipApplication(reader); break;
        case kGIFPlainTextLabel:
            reader.skipFixed(13);  // the text grid and its colours
            reader.skipSubBlocks();
            break;
        case kGIFCommentLabel: reader.skipSubBlocks(); break;
        default: throw InvalidGraphicError(ErrorKind::GifUnknownExtension);
        }
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
        sizeless_ = true;
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
    reader.setPosition(reader.subBlocksEnd(codeSizeAt_ + 1));
}

void GifSubImage::decodePixels(const GifReader& reader, LzwDecoder& decoder)
{
    if (!hasImage_ || width_ == 0 || height_ == 0)
        return;
    // The decoder writes every pixel, the fill value where the data stops short.
    raster_.createForOverwrite(width_, height_, PixelLayout::forFormat(PixelFormat::Indexed8));
    PixelBuffer& image = raster_.mutableImage();
    uint8_t* const top = image.row(0);
    // Rows are stored bottom-up: the next row down lies one stride lower.
    const ptrdiff_t step = -static_cast<ptrdiff_t>(image.stride);
    const uint8_t fill = control_.transparent ? control_.transparentIndex : 0;
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
        std::memcpy(indexes.data() + static_cast<size_t>(y) * w, raster_.row(y), w);
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
    if (control_.transparent) {
        const uint8_t index = control_.transparentIndex;
        auto m = std::make_unique<BitMask>();
        m->width = width_;
        m->height = height_;
        m->stride = (width_ + 15) / 16 * 2;
        const size_t maskBytes = static_cast<size_t>(m->stride) * static_cast<size_t>(height_);
        held_.resize(kObjectOverheadBytes + static_cast<int64_t>(maskBytes));
        m->bits.assign(maskBytes, 0);
        bool any = false;
        for (int y = 0; y < height_; ++y) {
            const uint8_t* row = std::as_const(raster_).row(y);
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

void GifSubImage::draw(Raster& onto, const Rect& rect, bool doTransparent)
{
    const Raster* bitmap = raster();
    if (!bitmap)
        return;
    const BitMask* mask = doTransparent && control_.transparent ? mask_.get() : nullptr;
    if (mask)
        Painter(onto).drawImage(placeIn(rect), *bitmap, *mask);
    else
        Painter(onto).drawImage(placeIn(rect), *bitmap);
}

}  // namespace abm
