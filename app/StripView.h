#pragma once

// stripView: the strip of thumbnails, scrolling horizontally. Only
// the thumbnails that meet the viewport exist as widgets, placed from the
// scroll position and kept in strip order among the viewport's children,
// so a strip of any length costs what fits on screen. The scrolling is the
// view's own because a long strip is wider than any widget can be.

#include "workspace/FrameStrip.h"
#include "workspace/StripLayout.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <cstdint>
#include <vector>

namespace abm {

class ThumbnailWidget;

class StripView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // How far past the viewport a thumbnail widget may reach: a frame wider
    // or taller than that is cut to the part near the viewport.
    static constexpr int kReach = 1024;

    explicit StripView(QWidget* parent = nullptr);

    // Shows the strip anew (nullptr: nothing). The widgets shown before may
    // be on the call stack (the pop-up menu of the one being deleted): they
    // leave the viewport now and go later.
    void showStrip(const FrameStrip* strip);
    // The thumbnails on screen, in strip order.
    const std::vector<ThumbnailWidget*>& thumbnails() const { return shown_; }
    // Keeps the thumbnails where they are while a drag started on
    // `thumbnail` runs, as the drag belongs to it; nullptr ends that.
    void hold(ThumbnailWidget* thumbnail);

signals:
    // A thumbnail came on screen; what happens to it is the window's.
    void thumbnailMade(abm::ThumbnailWidget* thumbnail);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void updateScrollBar();
    void place();
    std::vector<int> visibleFrames() const;
    ThumbnailBox box(int index) const;
    int64_t leftAt(size_t rank) const;
    void discard(ThumbnailWidget* thumbnail);

    const FrameStrip* strip_ = nullptr;
    uint64_t generation_ = 0;  // the strip's when shown
    int count_ = 0;
    // Frame indexes by left edge; empty while strip order is that order.
    std::vector<int> byLeft_;
    int64_t contentWidth_ = 0;
    int widestFrame_ = 0;
    std::vector<ThumbnailWidget*> shown_;
    QPointer<ThumbnailWidget> held_;
};

}  // namespace abm
