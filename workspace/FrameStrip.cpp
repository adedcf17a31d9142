#include "FrameStrip.h"

#include "codecs/raster/Canvas.h"
#include "base/Error.h"
#include "base/Numbers.h"

#include <algorithm>
#include <utility>

namespace abm {

FrameStrip::FrameStrip(FrameOptions& options, UserPrompts& prompts) : options_(options), prompts_(prompts)
{
}

FrameStrip::~FrameStrip() = default;

void FrameStrip::setStripHeight(int height)
{
    stripHeight_ = height;
    changed();
}

bool FrameStrip::contains(const Thumbnail* control) const
{
    return control && live_.contains(control);
}

Thumbnail& FrameStrip::createFrameThumbnail()
{
    auto t = std::make_unique<Thumbnail>();
    t->tag = count();
    t->hasPopupMenu = true;
    live_.insert(t.get());
    thumbnails_.push_back(std::move(t));
    changed();
    return *thumbnails_.back();
}

void FrameStrip::normalizeFrame(Thumbnail& t)
{
    const int i = count() - 1;
    sources_.push_back(std::make_unique<Raster>(t.picture));
    const Raster& source = *sources_.back();
    changed();
    try {
        t.top = 0;
        t.dragModeAutomatic = true;
        if (options_.autoSize()) {
            t.width = sources_.front()->width();
            t.height = sources_.front()->height();
        } else {
            const int width = parseInt(options_.widthText());
            if (t.picture.bitsPerPixel() <= 8) {
                // Padding an indexed picture would take its palette's colour
                // nearest white (grey, when it has no white); the frame becomes
                // 16-bit anyway, so convert first, once the width is cut.
                if (width < t.picture.width())
                    t.picture.setWidth(width);
                t.picture.setPixelFormat(pf16bit);
            }
            t.picture.setWidth(width);
            t.picture.setHeight(parseInt(options_.heightText()));
            t.width = t.picture.width();
            t.height = t.picture.height();
        }
        t.left = i * kThumbnailGap + i * t.width;
        const bool overdrawn = !options_.stretch() && t.picture.width() == source.width() &&
                               t.picture.height() == source.height() && t.picture.pixelFormat() != pf16bit;
        if (overdrawn) {
            // The unscaled draw below covers every pixel, so converting them
            // first would only be thrown away: a fresh 16-bit raster will do.
            SharedPalette palette = t.picture.sharedPalette();
            t.picture.create(t.picture.width(), t.picture.height(), PixelLayout::forFormat(pf16bit),
                             std::move(palette));
        } else {
            t.picture.setPixelFormat(pf16bit);
        }
        if (options_.stretch()) {
            t.picture.setWidth(t.width);
            t.picture.setHeight(t.height);
            t.picture.canvas().stretchDraw(Rect(0, 0, t.width, t.height), &source);
        } else {
            t.picture.canvas().draw(0, 0, source);
        }
        t.visible = true;
    } catch (...) {
        sources_.pop_back();
        throw;
    }
}

void FrameStrip::appendFrame(const Raster& picture)
{
    Thumbnail& t = createFrameThumbnail();
    try {
        t.picture.assign(&picture);
        normalizeFrame(t);
    } catch (...) {
        removeThumbnail(t);
        throw;
    }
}

void FrameStrip::destroyThumbnail(size_t index)
{
    // A reference to a destroyed thumbnail reads as none.
    if (popupTarget_ == thumbnails_[index].get())
        popupTarget_ = nullptr;
    live_.erase(thumbnails_[index].get());
    thumbnails_.erase(thumbnails_.begin() + static_cast<std::ptrdiff_t>(index));
    changed();
}

void FrameStrip::destroyAllThumbnails()
{
    // The pop-up reference can only be one of them.
    popupTarget_ = nullptr;
    thumbnails_.clear();
    live_.clear();
    changed();
}

void FrameStrip::removeThumbnail(Thumbnail& t)
{
    // The tag is the position while the invariants hold; the search below
    // only serves should they not.
    const auto tag = static_cast<size_t>(t.tag);
    if (tag < thumbnails_.size() && thumbnails_[tag].get() == &t) {
        destroyThumbnail(tag);
        return;
    }
    for (size_t i = 0; i < thumbnails_.size(); ++i) {
        if (thumbnails_[i].get() == &t) {
            destroyThumbnail(i);
            return;
        }
    }
}

void FrameStrip::removeFramesFrom(int position)
{
    const auto keep = static_cast<size_t>(std::max(0, position));
    while (thumbnails_.size() > keep)
        destroyThumbnail(thumbnails_.size() - 1);
    if (sources_.size() > keep)
        sources_.resize(keep);
    changed();
}

void FrameStrip::removeAllFrames()
{
    // Each thumbnail goes with the source at the front, so a source without
    // a thumbnail would stay.
    const auto paired = static_cast<std::ptrdiff_t>(std::min(thumbnails_.size(), sources_.size()));
    destroyAllThumbnails();
    sources_.erase(sources_.begin(), sources_.begin() + paired);
    changed();
}

void FrameStrip::rebuildStrip()
{
    rebuildFrom(sourceOrder());
}

std::vector<const Raster*> FrameStrip::sourceOrder() const
{
    std::vector<const Raster*> order;
    order.reserve(sources_.size());
    for (const auto& source : sources_)
        order.push_back(source.get());
    return order;
}

void FrameStrip::rebuildFrom(const std::vector<const Raster*>& order)
{
    std::vector<std::unique_ptr<Thumbnail>> oldThumbnails = std::exchange(thumbnails_, {});
    std::vector<std::unique_ptr<Raster>> oldSources = std::exchange(sources_, {});
    live_.clear();
    thumbnails_.reserve(order.size());
    sources_.reserve(order.size());
    try {
        for (const Raster* source : order) {
            Thumbnail& t = createFrameThumbnail();
            t.picture.assign(source);
            normalizeFrame(t);
        }
    } catch (...) {
        thumbnails_ = std::move(oldThumbnails);
        sources_ = std::move(oldSources);
        live_.clear();
        for (const auto& t : thumbnails_)
            live_.insert(t.get());
        showFrameCount();
        throw;
    }
    // The old thumbnails go when this returns; a reference to one reads as none.
    popupTarget_ = nullptr;
    fitStripHeight();
    showFrameCount();
}

void FrameStrip::showFrameCount()
{
    frameCountText_ = std::to_string(count());
    changed();
}

void FrameStrip::fitStripHeight()
{
    if (thumbnails_.empty())
        return;
    stripHeight_ = thumbnails_.front()->height + kStripMargin;
    changed();
}

void FrameStrip::updateCommandStates()
{
    const bool any = count() > 0;
    saveBmpEnabled_ = any;
    saveToFileEnabled_ = any;
    clearEnabled_ = any;
    changed();
}

void FrameStrip::clearStrip()
{
    if (prompts_.showMessage("Очистить?", MessageKind::confirmation, {MessageButton::no, MessageButton::ok}) !=
        MessageAnswer::ok)
        return;
    removeAllFrames();
    showFrameCount();
    updateCommandStates();
}

void FrameStrip::deleteFrame()
{
    if (!popupTarget_)
        return;
    if (prompts_.showMessage("Удалить?", MessageKind::confirmation, {MessageButton::ok, MessageButton::cancel}) !=
        MessageAnswer::ok) {
        popupTarget_ = nullptr;
        return;
    }
    // The answer may have come after the strip changed under the box.
    if (!contains(popupTarget_)) {
        popupTarget_ = nullptr;
        return;
    }
    const auto tag = static_cast<size_t>(popupTarget_->tag);
    popupTarget_ = nullptr;
    std::vector<const Raster*> order = sourceOrder();
    if (tag < order.size())
        order.erase(order.begin() + static_cast<std::ptrdiff_t>(tag));
    rebuildFrom(order);
    updateCommandStates();
}

void FrameStrip::setPopupTarget(Thumbnail* control)
{
    if (contains(control))
        popupTarget_ = control;
}

bool FrameStrip::acceptsDrag(const Thumbnail*, const Thumbnail*) const
{
    return true;
}

void FrameStrip::moveFrame(Thumbnail* sender, Thumbnail* target)
{
    if (!contains(sender) || !contains(target))
        return;
    const auto from = static_cast<size_t>(sender->tag);
    const auto to = static_cast<size_t>(target->tag);
    if (from >= sources_.size() || to >= sources_.size())
        return;
    std::vector<const Raster*> order = sourceOrder();
    const Raster* moved = order[from];
    order.erase(order.begin() + static_cast<std::ptrdiff_t>(from));
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(to), moved);
    rebuildFrom(order);
}

bool FrameStrip::framesHavePixels(int first) const
{
    for (int i = 0; i < std::min(first, count()); ++i) {
        const Thumbnail& t = thumbnail(i);
        if (t.width == 0 || t.height == 0 || t.picture.width() == 0 || t.picture.height() == 0) {
            prompts_.showMessage("Сохранение невозможно. \r\nНулевой размер картинок !!!", MessageKind::warning,
                                 {MessageButton::cancel});
            return false;
        }
    }
    return true;
}

void FrameStrip::releaseSources()
{
    sources_.clear();
    changed();
}

}  // namespace abm
