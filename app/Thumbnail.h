#pragma once

// One frame of the strip on screen: shows its thumbnail's raster unscaled
// from the top-left corner, clipped to its own size. It only reports what
// happens to it; the main window decides, so that a thumbnail never acts
// on the strip it belongs to.

#include "workspace/FrameStrip.h"

#include <QImage>
#include <QWidget>

class QDragMoveEvent;
class QDropEvent;

namespace abm {

class TThumbnail : public QWidget {
    Q_OBJECT

public:
    // The MIME type of a frame dragged inside the strip.
    static constexpr const char* kDragFormat = "application/x-abmmaker-frame";

    TThumbnail(TImage& image, QWidget* parent);

    TImage* Image() const { return image_; }
    const QImage& Picture() const { return picture_; }

signals:
    // The left button went down: the window starts the drag at once.
    void LeftButtonPressed(abm::TThumbnail* sender);
    void PopupRequested(abm::TThumbnail* sender, const QPoint& globalPos);
    // Something is dragged over this thumbnail; the window accepts or not.
    void DraggedOver(abm::TThumbnail* target, QDragMoveEvent* event);
    void Dropped(abm::TThumbnail* target, QDropEvent* event);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TImage* image_;
    QImage picture_;
};

}  // namespace abm
