#include "StripView.h"

#include "ThumbnailWidget.h"
#include "codecs/abm/AbmCodec.h"

#include <QDrag>
#include <QScrollBar>

#include <algorithm>
#include <limits>
#include <numeric>

namespace abm {

namespace {

// Pixels one click on a scroll-bar arrow moves the strip.
constexpr int kScrollStep = 20;

}  // namespace

StripView::StripView(QWidget* parent)
    : QAbstractScrollArea(parent),
      dropMark_(new QWidget(viewport())),
      dragExec_([](QDrag& drag) { return drag.exec(Qt::MoveAction); })
{
    // As in a scroll area: the strip's background is the box's own.
    viewport()->setBackgroundRole(QPalette::NoRole);
    horizontalScrollBar()->setSingleStep(kScrollStep);
    dropMark_->setObjectName(QStringLiteral("DropMark"));
    dropMark_->setBackgroundRole(QPalette::Highlight);
    dropMark_->setAutoFillBackground(true);
    dropMark_->hide();
}

void StripView::click(int index, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier)
        selection_.toggle(index);
    else if (modifiers & Qt::ShiftModifier)
        selection_.extend(index);
    else
        selection_.select(index);
    showMarks();
}

void StripView::selectAll()
{
    selection_.selectAll();
    showMarks();
}

void StripView::clearSelection()
{
    selection_.clear();
    showMarks();
}

void StripView::showMarks()
{
    for (ThumbnailWidget* thumbnail : shown_)
        thumbnail->setMarks(selection_.contains(thumbnail->index()), thumbnail->index() >= kMaxAbmFrames);
    emit selectionChanged();
}

void StripView::showStrip(const FrameStrip* strip)
{
    for (ThumbnailWidget* thumbnail : shown_)
        discard(thumbnail);
    shown_.clear();
    strip_ = strip;
    generation_ = strip ? strip->generation() : 0;
    count_ = strip ? strip->count() : 0;
    byLeft_.clear();
    contentWidth_ = 0;
    widestFrame_ = 0;
    bool ordered = true;
    int64_t previousLeft = 0;
    for (int i = 0; i < count_; ++i) {
        const ThumbnailBox t = box(i);
        contentWidth_ = std::max(contentWidth_, t.left + t.width);
        widestFrame_ = std::max(widestFrame_, t.width);
        ordered = ordered && (i == 0 || t.left >= previousLeft);
        previousLeft = t.left;
    }
    if (!ordered) {
        // Frames appended under other options overlap: search by left edge.
        byLeft_.resize(static_cast<size_t>(count_));
        std::iota(byLeft_.begin(), byLeft_.end(), 0);
        std::stable_sort(byLeft_.begin(), byLeft_.end(), [this](int a, int b) { return box(a).left < box(b).left; });
    }
    selection_.reset(count_);
    updateScrollBar();
    place();
    emit selectionChanged();
}

void StripView::hold(ThumbnailWidget* thumbnail)
{
    held_ = thumbnail;
    if (!held_)
        place();
}

void StripView::resizeEvent(QResizeEvent*)
{
    updateScrollBar();
    place();
}

void StripView::scrollContentsBy(int, int)
{
    place();
}

void StripView::updateScrollBar()
{
    QScrollBar* bar = horizontalScrollBar();
    const int visible = viewport()->width();
    const int64_t hidden = std::clamp<int64_t>(contentWidth_ - visible, 0, std::numeric_limits<int>::max());
    bar->setRange(0, static_cast<int>(hidden));
    bar->setPageStep(visible);
}

ThumbnailBox StripView::box(int index) const
{
    const Frame& f = strip_->frame(index);
    return StripLayout::thumbnail(index, f.width, f.height);
}

int64_t StripView::leftAt(size_t rank) const
{
    return box(byLeft_.empty() ? static_cast<int>(rank) : byLeft_[rank]).left;
}

std::vector<int> StripView::visibleFrames() const
{
    std::vector<int> frames;
    const QSize area = viewport()->size();
    if (!strip_ || count_ == 0 || area.isEmpty())
        return frames;
    const int64_t from = horizontalScrollBar()->value();
    const int64_t to = from + area.width();
    // The first frame, by left edge, that can reach into the viewport.
    size_t rank = 0;
    for (size_t count = static_cast<size_t>(count_); count > 0;) {
        const size_t half = count / 2;
        if (leftAt(rank + half) + widestFrame_ <= from) {
            rank += half + 1;
            count -= half + 1;
        } else {
            count = half;
        }
    }
    for (; rank < static_cast<size_t>(count_) && leftAt(rank) < to; ++rank) {
        const int index = byLeft_.empty() ? static_cast<int>(rank) : byLeft_[rank];
        const ThumbnailBox t = box(index);
        if (t.width > 0 && t.height > 0 && t.left + t.width > from)
            frames.push_back(index);
    }
    std::sort(frames.begin(), frames.end());
    return frames;
}

void StripView::place()
{
    // Until the window shows the changed strip, its frames may be gone;
    // while a drag runs, the widget it belongs to must stay.
    if ((strip_ && strip_->generation() != generation_) || held_)
        return;
    const std::vector<int> frames = visibleFrames();
    const int64_t scroll = horizontalScrollBar()->value();
    const QRect reach = viewport()->rect().adjusted(-kReach, -kReach, kReach, kReach);
    std::vector<ThumbnailWidget*> next;
    next.reserve(frames.size());
    size_t old = 0;
    bool added = false;
    for (const int index : frames) {
        while (old < shown_.size() && shown_[old]->index() < index)
            discard(shown_[old++]);
        ThumbnailWidget* thumbnail = nullptr;
        if (old < shown_.size() && shown_[old]->index() == index) {
            thumbnail = shown_[old++];
        } else {
            thumbnail = new ThumbnailWidget(index, *strip_, viewport());
            connectThumbnail(thumbnail);
            added = true;
        }
        // The frame in viewport coordinates, cut to the reach.
        const ThumbnailBox t = box(index);
        const int64_t left = t.left - scroll, right = left + t.width;
        const QRect place(QPoint(static_cast<int>(std::max<int64_t>(left, reach.left())), std::max(0, reach.top())),
                          QPoint(static_cast<int>(std::min<int64_t>(right, reach.right() + 1)) - 1,
                                 std::min(t.height, reach.bottom() + 1) - 1));
        thumbnail->setGeometry(place);
        thumbnail->setRaster(&strip_->frame(index).picture,
                             QPoint(static_cast<int>(left - place.left()), -place.top()));
        thumbnail->setMarks(selection_.contains(index), index >= kMaxAbmFrames);
        thumbnail->show();
        next.push_back(thumbnail);
    }
    while (old < shown_.size())
        discard(shown_[old++]);
    shown_ = std::move(next);
    // Child order is strip order; a widget made now went to the end.
    if (added)
        for (ThumbnailWidget* thumbnail : shown_)
            thumbnail->raise();
    dropMark_->raise();
}

void StripView::discard(ThumbnailWidget* thumbnail)
{
    thumbnail->hide();
    thumbnail->setParent(nullptr);
    thumbnail->deleteLater();
}

}  // namespace abm
