#include "Thumbnail.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>

namespace abm {

TThumbnail::TThumbnail(TImage& image, const FrameStrip& strip, QWidget* parent)
    : TRasterView(parent), image_(&image), strip_(strip), generation_(strip.Generation())
{
    setObjectName(QStringLiteral("Img%1").arg(image.Tag));
    setAcceptDrops(true);
    SetRaster(&image.Picture);
}

void TThumbnail::paintEvent(QPaintEvent* event)
{
    if (strip_.Generation() == generation_)
        TRasterView::paintEvent(event);
}

void TThumbnail::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    emit LeftButtonPressed(this);
}

void TThumbnail::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    emit PopupRequested(this, event->globalPos());
}

void TThumbnail::dragEnterEvent(QDragEnterEvent* event)
{
    emit DraggedOver(this, event);
}

void TThumbnail::dragMoveEvent(QDragMoveEvent* event)
{
    emit DraggedOver(this, event);
}

void TThumbnail::dropEvent(QDropEvent* event)
{
    emit Dropped(this, event);
}

}  // namespace abm
