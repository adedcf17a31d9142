#include "FrameStrip.h"

#include "codecs/raster/Canvas.h"
#include "base/Error.h"
#include "base/Numbers.h"

#include <algorithm>
#include <utility>

namespace abm {

FrameStrip::FrameStrip(IFrameOptions& options, IUserPrompts& prompts) : options_(options), prompts_(prompts) {}

FrameStrip::~FrameStrip() = default;

void FrameStrip::SetStripHeight(int height)
{
    stripHeight_ = height;
    Changed();
}

bool FrameStrip::Contains(const TImage* control) const
{
    return control && live_.contains(control);
}

TImage& FrameStrip::CreateFrameThumbnail()
{
    auto t = std::make_unique<TImage>();
    t->Tag = Count();
    t->HasPopupMenu = true;
    live_.insert(t.get());
    thumbnails_.push_back(std::move(t));
    Changed();
    return *thumbnails_.back();
}

void FrameStrip::NormalizeFrame(TImage& t)
{
    const int i = Count() - 1;
    sources_.push_back(std::make_unique<TBitmap>(t.Picture));
    const TBitmap& source = *sources_.back();
    Changed();
    try {
        t.Top = 0;
        t.DragModeAutomatic = true;
        if (options_.AutoSize()) {
            t.Width = sources_.front()->Width();
            t.Height = sources_.front()->Height();
        } else {
            const int width = parseInt(options_.widthText());
            if (t.Picture.BitsPerPixel() <= 8) {
                // Padding an indexed picture would take its palette's colour
                // nearest white (grey, when it has no white); the frame becomes
                // 16-bit anyway, so convert first, once the width is cut.
                if (width < t.Picture.Width())
                    t.Picture.SetWidth(width);
                t.Picture.SetPixelFormat(pf16bit);
            }
            t.Picture.SetWidth(width);
            t.Picture.SetHeight(parseInt(options_.heightText()));
            t.Width = t.Picture.Width();
            t.Height = t.Picture.Height();
        }
        t.Left = i * 3 + i * t.Width;
        const bool overdrawn = !options_.Stretch() && t.Picture.Width() == source.Width() &&
                               t.Picture.Height() == source.Height() && t.Picture.PixelFormat() != pf16bit;
        if (overdrawn) {
            // The unscaled draw below covers every pixel, so converting them
            // first would only be thrown away: a fresh 16-bit raster will do.
            TSharedPalette palette = t.Picture.SharedPalette();
            t.Picture.Create(t.Picture.Width(), t.Picture.Height(), TPixelLayout::ForFormat(pf16bit), std::move(palette));
        } else {
            t.Picture.SetPixelFormat(pf16bit);
        }
        if (options_.Stretch()) {
            t.Picture.SetWidth(t.Width);
            t.Picture.SetHeight(t.Height);
            t.Picture.Canvas().StretchDraw(Rect(0, 0, t.Width, t.Height), &source);
        } else {
            t.Picture.Canvas().Draw(0, 0, source);
        }
        t.Visible = true;
    } catch (...) {
        sources_.pop_back();
        throw;
    }
}

void FrameStrip::AppendFrame(const TBitmap& picture)
{
    TImage& t = CreateFrameThumbnail();
    try {
        t.Picture.Assign(&picture);
        NormalizeFrame(t);
    } catch (...) {
        RemoveThumbnail(t);
        throw;
    }
}

void FrameStrip::DestroyThumbnail(size_t index)
{
    // A reference to a destroyed thumbnail reads as none.
    if (popupTarget_ == thumbnails_[index].get())
        popupTarget_ = nullptr;
    live_.erase(thumbnails_[index].get());
    thumbnails_.erase(thumbnails_.begin() + static_cast<std::ptrdiff_t>(index));
    Changed();
}

void FrameStrip::DestroyAllThumbnails()
{
    // The pop-up reference can only be one of them.
    popupTarget_ = nullptr;
    thumbnails_.clear();
    live_.clear();
    Changed();
}

void FrameStrip::RemoveThumbnail(TImage& t)
{
    // The tag is the position while the invariants hold; the search below
    // only serves should they not.
    const auto tag = static_cast<size_t>(t.Tag);
    if (tag < thumbnails_.size() && thumbnails_[tag].get() == &t) {
        DestroyThumbnail(tag);
        return;
    }
    for (size_t i = 0; i < thumbnails_.size(); ++i) {
        if (thumbnails_[i].get() == &t) {
            DestroyThumbnail(i);
            return;
        }
    }
}

void FrameStrip::RemoveFramesFrom(int position)
{
    const auto keep = static_cast<size_t>(std::max(0, position));
    while (thumbnails_.size() > keep)
        DestroyThumbnail(thumbnails_.size() - 1);
    if (sources_.size() > keep)
        sources_.resize(keep);
    Changed();
}

void FrameStrip::removeAllFrames()
{
    // Each thumbnail goes with the source at the front, so a source without
    // a thumbnail would stay.
    const auto paired = static_cast<std::ptrdiff_t>(std::min(thumbnails_.size(), sources_.size()));
    DestroyAllThumbnails();
    sources_.erase(sources_.begin(), sources_.begin() + paired);
    Changed();
}

void FrameStrip::RebuildStrip()
{
    RebuildFrom(SourceOrder());
}

std::vector<const TBitmap*> FrameStrip::SourceOrder() const
{
    std::vector<const TBitmap*> order;
    order.reserve(sources_.size());
    for (const auto& source : sources_)
        order.push_back(source.get());
    return order;
}

void FrameStrip::RebuildFrom(const std::vector<const TBitmap*>& order)
{
    std::vector<std::unique_ptr<TImage>> oldThumbnails = std::exchange(thumbnails_, {});
    std::vector<std::unique_ptr<TBitmap>> oldSources = std::exchange(sources_, {});
    live_.clear();
    thumbnails_.reserve(order.size());
    sources_.reserve(order.size());
    try {
        for (const TBitmap* source : order) {
            TImage& t = CreateFrameThumbnail();
            t.Picture.Assign(source);
            NormalizeFrame(t);
        }
    } catch (...) {
        thumbnails_ = std::move(oldThumbnails);
        sources_ = std::move(oldSources);
        live_.clear();
        for (const auto& t : thumbnails_)
            live_.insert(t.get());
        ShowFrameCount();
        throw;
    }
    // The old thumbnails go when this returns; a reference to one reads as none.
    popupTarget_ = nullptr;
    FitStripHeight();
    ShowFrameCount();
}

void FrameStrip::ShowFrameCount()
{
    frameCountText_ = std::to_string(Count());
    Changed();
}

void FrameStrip::FitStripHeight()
{
    if (thumbnails_.empty())
        return;
    stripHeight_ = thumbnails_.front()->Height + 20;
    Changed();
}

void FrameStrip::updateCommandStates()
{
    const bool any = Count() > 0;
    saveBmpEnabled_ = any;
    saveToFileEnabled_ = any;
    clearEnabled_ = any;
    Changed();
}

void FrameStrip::clearStrip()
{
    if (prompts_.showMessage("Очистить?", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbNo, TMsgDlgBtn::mbOK}) !=
        TModalResult::mrOk)
        return;
    removeAllFrames();
    ShowFrameCount();
    updateCommandStates();
}

void FrameStrip::deleteFrame()
{
    if (!popupTarget_)
        return;
    if (prompts_.showMessage("Удалить?", TMsgDlgType::mtConfirmation, {TMsgDlgBtn::mbOK, TMsgDlgBtn::mbCancel}) !=
        TModalResult::mrOk) {
        popupTarget_ = nullptr;
        return;
    }
    // The answer may have come after the strip changed under the box.
    if (!Contains(popupTarget_)) {
        popupTarget_ = nullptr;
        return;
    }
    const auto tag = static_cast<size_t>(popupTarget_->Tag);
    popupTarget_ = nullptr;
    std::vector<const TBitmap*> order = SourceOrder();
    if (tag < order.size())
        order.erase(order.begin() + static_cast<std::ptrdiff_t>(tag));
    RebuildFrom(order);
    updateCommandStates();
}

void FrameStrip::setPopupTarget(TImage* control)
{
    if (Contains(control))
        popupTarget_ = control;
}

bool FrameStrip::acceptsDrag(const TImage*, const TImage*) const
{
    return true;
}

void FrameStrip::moveFrame(TImage* sender, TImage* target)
{
    if (!Contains(sender) || !Contains(target))
        return;
    const auto from = static_cast<size_t>(sender->Tag);
    const auto to = static_cast<size_t>(target->Tag);
    if (from >= sources_.size() || to >= sources_.size())
        return;
    std::vector<const TBitmap*> order = SourceOrder();
    const TBitmap* moved = order[from];
    order.erase(order.begin() + static_cast<std::ptrdiff_t>(from));
    order.insert(order.begin() + static_cast<std::ptrdiff_t>(to), moved);
    RebuildFrom(order);
}

bool FrameStrip::FramesHavePixels(int count) const
{
    for (int i = 0; i < std::min(count, Count()); ++i) {
        const TImage& t = Thumbnail(i);
        if (t.Width == 0 || t.Height == 0 || t.Picture.Width() == 0 || t.Picture.Height() == 0) {
            prompts_.showMessage("Сохранение невозможно. \r\nНулевой размер картинок !!!", TMsgDlgType::mtWarning,
                                {TMsgDlgBtn::mbCancel});
            return false;
        }
    }
    return true;
}

void FrameStrip::releaseSources()
{
    sources_.clear();
    Changed();
}

}  // namespace abm
