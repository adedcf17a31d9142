#include "FrameStrip.h"

#include "base/Numbers.h"
#include "codecs/raster/Canvas.h"
#include "codecs/raster/FrameConversion.h"

#include <algorithm>
#include <utility>

namespace abm {

Frame FrameStrip::normalize(Raster source, const Raster* first) const
{
    Frame f;
    f.picture = source;
    f.source = std::move(source);
    Raster& picture = f.picture;
    // Stretched, a picture with pixels is drawn over the whole frame.
    const bool redrawn = options_->stretch() && !f.source.empty() && !f.source.image().bits.empty();
    if (options_->autoSize()) {
        f.width = (first ? *first : f.source).width();
        f.height = (first ? *first : f.source).height();
    } else {
        const int width = parseInt(options_->widthText());
        if (picture.bitsPerPixel() <= 8 && !redrawn) {
            // Padding an indexed picture would take its palette's colour
            // nearest white (grey, when it has no white); the frame becomes
            // 16-bit anyway, so convert first, once the width is cut.
            if (width < picture.width())
                picture.setWidth(width);
            picture.setPixelFormat(pf16bit);
        }
        picture.setWidth(width);
        picture.setHeight(parseInt(options_->heightText()));
        f.width = picture.width();
        f.height = picture.height();
    }
    const bool sameSize = picture.width() == f.source.width() && picture.height() == f.source.height();
    const bool overdrawn = picture.pixelFormat() != pf16bit && (options_->stretch() ? redrawn : sameSize);
    if (overdrawn) {
        // The draw below covers every pixel, so converting them first would
        // only be thrown away: a fresh 16-bit raster will do.
        SharedPalette palette = picture.sharedPalette();
        const int width = options_->stretch() ? f.width : picture.width();
        const int height = options_->stretch() ? f.height : picture.height();
        picture.create(width, height, PixelLayout::forFormat(pf16bit), std::move(palette));
    } else {
        picture.setPixelFormat(pf16bit);
    }
    const FrameConversion how{
        .smooth = options_->smooth(), .dither = options_->dither(), .keepProportions = options_->keepProportions()};
    if (options_->stretch()) {
        picture.setWidth(f.width);
        picture.setHeight(f.height);
        drawFrame(picture, f.source, how);
    } else {
        drawConverted(picture, Rect(0, 0, f.source.width(), f.source.height()), f.source, how);
    }
    return f;
}

void FrameStrip::append(Raster picture)
{
    Frame f = normalize(std::move(picture), frames_.empty() ? nullptr : &frames_.front().source);
    frames_.push_back(std::move(f));
    changed();
}

void FrameStrip::rebuild(const std::vector<const Raster*>& order)
{
    std::vector<Frame> frames;
    frames.reserve(order.size());
    for (const Raster* source : order)
        frames.push_back(normalize(*source, frames.empty() ? nullptr : &frames.front().source));
    frames_ = std::move(frames);
    changed();
}

std::vector<const Raster*> FrameStrip::sources() const
{
    std::vector<const Raster*> order;
    order.reserve(frames_.size());
    for (const Frame& f : frames_)
        order.push_back(&f.source);
    return order;
}

void FrameStrip::remove(int index)
{
    if (index < 0 || index >= count())
        return;
    std::vector<const Raster*> order = sources();
    order.erase(order.begin() + index);
    rebuild(order);
}

void FrameStrip::move(int from, int to)
{
    if (from < 0 || from >= count() || to < 0 || to >= count())
        return;
    std::vector<const Raster*> order = sources();
    const Raster* moved = order[static_cast<size_t>(from)];
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
    frames_.clear();
    changed();
}

void FrameStrip::truncate(int keep)
{
    if (keep < 0 || keep >= count())
        return;
    frames_.erase(frames_.begin() + keep, frames_.end());
    changed();
}

}  // namespace abm
