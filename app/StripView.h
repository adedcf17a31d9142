#pragma once

// stripView: the strip of thumbnails, scrolling horizontally. Only
// the thumbnails that meet the viewport exist as widgets, placed from the
// scroll position and kept in strip order among the viewport's children,
// so a strip of any length costs what fits on screen. The scrolling is the
// view's own because a long strip is wider than any widget can be. The
// selection (one flag a frame, kept apart from the widgets), drags between
// thumbnails and the pop-up menu's frame are the view's too: it maps them
// to frame indexes and the window runs the commands. Frames past those an
// ABM file holds show dimmed.

#include "workspace/FrameSelection.h"
#include "workspace/FrameStrip.h"
#include "workspace/StripLayout.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <vector>

class QDrag;
class QDragMoveEvent;
class QDropEvent;

namespace abm {

class ThumbnailWidget;

class StripView : public QAbstractScrollArea {
    Q_OBJECT

public:
    // How far past the viewport a thumbnail widget may reach: a frame wider
    // or taller than that is cut to the part near the viewport.
    static constexpr int kReach = 1024;

    explicit StripView(QWidget* parent = nullptr);

    // Shows the strip anew (nullptr: nothing), nothing selected. The widgets
    // shown before may be on the call stack (the pop-up menu of the one being
    // deleted): they leave the viewport now and go later.
    void showStrip(const FrameStrip* strip);

    // A click selects one frame, Ctrl+click toggles it, Shift+click selects
    // the run from the last frame clicked.
    const FrameSelection& selection() const { return selection_; }
    void click(int index, Qt::KeyboardModifiers modifiers);
    void selectAll();
    void clearSelection();
    // The thumbnails on screen, in strip order.
    const std::vector<ThumbnailWidget*>& thumbnails() const { return shown_; }
    // Keeps the thumbnails where they are while a drag started on
    // `thumbnail` runs, as the drag belongs to it; nullptr ends that.
    void hold(ThumbnailWidget* thumbnail);

    // The frame the pop-up menu's commands act on, -1 for none.
    int popupFrame() const { return popupFrame_; }
    void setPopupFrame(int index);
    // The pop-up menu's frame, once: -1 when none or the strip changed since.
    int takePopupFrame();

    // How a started drag runs; QDrag::exec unless replaced (tests deliver
    // the drag's events themselves on platforms without a drag).
    using DragExec = std::function<Qt::DropAction(QDrag&)>;
    void setDragExec(DragExec exec) { dragExec_ = std::move(exec); }

signals:
    // A frame was dragged onto another (or onto itself) of the strip still shown.
    void moveRequested(int from, int to);
    // A thumbnail asked for the pop-up menu; popupFrame() is its frame.
    void popupRequested(const QPoint& globalPos);
    void selectionChanged();

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
    bool stripChangedSince(uint64_t generation) const;
    void connectThumbnail(ThumbnailWidget* thumbnail);

    void showMarks();
    void startDrag(ThumbnailWidget* sender);
    void draggedOver(ThumbnailWidget* target, QDragMoveEvent* event);
    void dropped(ThumbnailWidget* target, QDropEvent* event);
    // Where a frame dropped on `target` lands: a bar in the gap on its
    // side, or none.
    void showDropMark(const ThumbnailWidget* target);

    const FrameStrip* strip_ = nullptr;
    uint64_t generation_ = 0;  // the strip's when shown
    int count_ = 0;
    // Frame indexes by left edge; empty while strip order is that order.
    std::vector<int> byLeft_;
    int64_t contentWidth_ = 0;
    int widestFrame_ = 0;
    std::vector<ThumbnailWidget*> shown_;
    QPointer<ThumbnailWidget> held_;
    FrameSelection selection_;
    QWidget* dropMark_;

    DragExec dragExec_;
    // Frames by index, each with the strip's generation it was taken at.
    int dragSource_ = -1;
    int dropTarget_ = -1;
    bool dropped_ = false;
    int popupFrame_ = -1;
    uint64_t pointedGeneration_ = 0;
};

}  // namespace abm
