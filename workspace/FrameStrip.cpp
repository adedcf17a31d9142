#include "FrameStrip.h"

#include "codecs/jpeg/JpegRows.h"
#include "codecs/raster/FrameConversion.h"

#include <algorithm>
#include <utility>

namespace abm {

namespace {

FrameConversion conversionOf(const FrameOptions& options)
{
    return {.smooth = options.smooth, .dither = options.dither, .keepProportions = options.keepProportions};
}

// The frame the options make of a JPEG smoothed down from rows decoded at
// eighths / 8 of its size: what a full decode gives, within rounding.
Frame frameFromRows(SourcePicture source, const FrameOptions& options, int eighths)
{
    Frame f;
    f.width = options.width.value();
    f.height = options.height.value();
    JpegRows rows(*source.compressedJpeg(), eighths);
    f.picture.create(f.width, f.height, PixelLayout::forFormat(PixelFormat::Rgb565), rows.palette);
    drawFrame(f.picture, rows, conversionOf(options));
    rows.finish();
    f.source = std::move(source);
    return f;
}

}  // namespace

int sourceEighths(const FrameOptions& options, int width, int height)
{
    // A size that is no number: the full decode comes first and the frame
    // fails as it always has.
    if (!options.smooth || !options.stretch || options.autoSize || !options.width.isNumber() ||
        !options.height.isNumber())
        return 8;
    const int frameWidth = options.width.value(), frameHeight = options.height.value();
    if (frameWidth <= 0 || frameHeight <= 0)
        return 8;
    const Rect r = options.keepProportions ? fitInside(width, height, frameWidth, frameHeight)
                                           : Rect(0, 0, frameWidth, frameHeight);
    return jpegEighthsFor(width, height, r.width(), r.height());
}

Frame FrameStrip::normalize(SourcePicture from, const SourcePicture* first) const
{
    if (from.compressedJpeg()) {
        const int eighths = sourceEighths(options_, from.width(), from.height());
        if (eighths < 8)
            return frameFromRows(std::move(from), options_, eighths);
    }
    Frame f;
    f.source = std::move(from);
    const Raster& source = f.source.raster();
    f.picture = source;
    Raster& picture = f.picture;
    // Stretched, a picture with pixels is drawn over the whole frame.
    const bool redrawn = options_.stretch && !source.empty() && !source.image().bits.empty();
    if (options_.autoSize) {
        f.width = first ? first->width() : source.width();
        f.height = first ? first->height() : source.height();
    } else {
        const int width = options_.width.value();
        if (picture.bitsPerPixel() <= 8 && !redrawn) {
            // Padding an indexed picture would take its palette's colour
            // nearest white (grey, when it has no white); the frame becomes
            // 16-bit anyway, so convert first, once the width is cut.
            if (width < picture.width())
                picture.setWidth(width);
            picture.setPixelFormat(PixelFormat::Rgb565);
        }
        picture.setWidth(width);
        picture.setHeight(options_.height.value());
        f.width = picture.width();
        f.height = picture.height();
    }
    const bool sameSize = picture.width() == source.width() && picture.height() == source.height();
    const bool overdrawn = picture.pixelFormat() != PixelFormat::Rgb565 && (options_.stretch ? redrawn : sameSize);
    if (overdrawn) {
        // The draw below covers every pixel, so converting them first would
        // only be thrown away: a fresh 16-bit raster will do.
        SharedPalette palette = picture.sharedPalette();
        const int width = options_.stretch ? f.width : picture.width();
        const int height = options_.stretch ? f.height : picture.height();
        picture.create(width, height, PixelLayout::forFormat(PixelFormat::Rgb565), std::move(palette));
    } else {
        picture.setPixelFormat(PixelFormat::Rgb565);
    }
    const FrameConversion how = conversionOf(options_);
    if (options_.stretch) {
        picture.setWidth(f.width);
        picture.setHeight(f.height);
        drawFrame(picture, source, how);
    } else {
        drawConverted(picture, Rect(0, 0, source.width(), source.height()), source, how);
    }
    return f;
}

std::vector<Frame>& FrameStrip::editFrames()
{
    if (frames_.use_count() > 1)
        frames_ = std::make_shared<std::vector<Frame>>(*frames_);
    // Made as a non-const vector, here or by rebuild, and no state shares it.
    return const_cast<std::vector<Frame>&>(*frames_);
}

void FrameStrip::restore(const StripState& state, bool withOptions)
{
    frames_ = state.frames;
    if (withOptions)
        options_ = state.options;
    changed();
}

void FrameStrip::append(SourcePicture picture)
{
    Frame f = normalize(std::move(picture), empty() ? nullptr : &frames_->front().source);
    editFrames().push_back(std::move(f));
    changed();
}

void FrameStrip::rebuild(const std::vector<const SourcePicture*>& order)
{
    auto frames = std::make_shared<std::vector<Frame>>();
    frames->reserve(order.size());
    for (const SourcePicture* source : order)
        frames->push_back(normalize(*source, frames->empty() ? nullptr : &frames->front().source));
    frames_ = std::move(frames);
    changed();
}

std::vector<const SourcePicture*> FrameStrip::sources() const
{
    std::vector<const SourcePicture*> order;
    order.reserve(frames_->size());
    for (const Frame& f : *frames_)
        order.push_back(&f.source);
    return order;
}

void FrameStrip::remove(const std::vector<int>& indexes)
{
    std::vector<const SourcePicture*> order;
    order.reserve(frames_->size());
    auto next = indexes.begin();
    for (int i = 0; i < count(); ++i) {
        if (next != indexes.end() && *next == i)
            ++next;
        else
            order.push_back(&frame(i).source);
    }
    if (order.size() != frames_->size())
        rebuild(order);
}

void FrameStrip::move(int from, int to)
{
    if (from < 0 || from >= count() || to < 0 || to >= count())
        return;
    std::vector<const SourcePicture*> order = sources();
    const SourcePicture* moved = order[static_cast<size_t>(from)];
    order.erase(order.begin() + from);
    order.insert(order.begin() + to, moved);
    rebuild(order);
}

void FrameStrip::renormalize()
{
    rebuild(sources());
}

void FrameStrip::clear()
{
    frames_ = std::make_shared<std::vector<Frame>>();
    changed();
}

void FrameStrip::truncate(int keep)
{
    if (keep < 0 || keep >= count())
        return;
    std::vector<Frame>& frames = editFrames();
    frames.erase(frames.begin() + keep, frames.end());
    changed();
}

}  // namespace abm
