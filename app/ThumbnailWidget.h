#pragma once

// One frame of the strip on screen: shows its thumbnail's raster unscaled
// from the top-left corner, clipped to its own size, marked when selected
// and dimmed when an ABM file leaves it out. It only reports what happens to
// it; the strip view decides, so that a thumbnail never acts on the strip it
// belongs to. It paints straight from the frame, so once the strip has
// changed it paints nothing until the view replaces it: its frame may be
// gone.

#include "RasterView.h"
#include "workspace/FrameStrip.h"

#include <optional>

class QDragMoveEvent;
class QDropEvent;

namespace abm {

class ThumbnailWidget : public RasterView {
    Q_OBJECT

public:
    // The MIME type of a frame dragged inside the strip.
    static constexpr const char* kDragFormat = "application/x-abmmaker-frame";

    ThumbnailWidget(int index, const FrameStrip& strip, QWidget* parent);

    // The frame's position in the strip it was made for.
    int index() const { return index_; }

    void setMarks(bool selected, bool leftOut);
    bool selected() const { return selected_; }
    // What a selected or left-out frame gets over its picture in `rect`.
    static void paintMarks(QPainter& painter, const QRect& rect, const QPalette& palette, bool selected, bool leftOut);

signals:
    // The left button went down and the mouse moved past the drag distance.
    void dragStarted(abm::ThumbnailWidget* sender);
    // The left button went down and up without a drag.
    void clicked(abm::ThumbnailWidget* sender, Qt::KeyboardModifiers modifiers);
    void popupRequested(abm::ThumbnailWidget* sender, const QPoint& globalPos);
    // Something is dragged over this thumbnail (or left it: `event` null);
    // the view accepts or not.
    void draggedOver(abm::ThumbnailWidget* target, QDragMoveEvent* event);
    void dropped(abm::ThumbnailWidget* target, QDropEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int index_;
    const FrameStrip& strip_;
    uint64_t generation_;
    bool selected_ = false;
    bool leftOut_ = false;
    // Where the left button went down, while no drag has started from it.
    std::optional<QPoint> pressedAt_;
};

}  // namespace abm
