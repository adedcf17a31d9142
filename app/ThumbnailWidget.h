#pragma once

// One frame of the strip on screen: shows its thumbnail's raster unscaled
// from the top-left corner, clipped to its own size. It only reports what
// happens to it; the strip view decides, so that a thumbnail never acts
// on the strip it belongs to. It paints straight from the frame, so once
// the strip has changed it paints nothing until the view replaces it: its
// frame may be gone.

#include "RasterView.h"
#include "workspace/FrameStrip.h"

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

signals:
    // The left button went down: the view starts the drag at once.
    void leftButtonPressed(abm::ThumbnailWidget* sender);
    void popupRequested(abm::ThumbnailWidget* sender, const QPoint& globalPos);
    // Something is dragged over this thumbnail; the view accepts or not.
    void draggedOver(abm::ThumbnailWidget* target, QDragMoveEvent* event);
    void dropped(abm::ThumbnailWidget* target, QDropEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    int index_;
    const FrameStrip& strip_;
    uint64_t generation_;
};

}  // namespace abm
