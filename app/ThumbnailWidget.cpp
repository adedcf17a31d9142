#include "ThumbnailWidget.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>

namespace abm {

ThumbnailWidget::ThumbnailWidget(int index, const FrameStrip& strip, QWidget* parent)
    : RasterView(parent), index_(index), strip_(strip), generation_(strip.generation())
{
    setObjectName(QStringLiteral("Img%1").arg(index));
    setAcceptDrops(true);
    setRaster(&strip.frame(index).picture);
}

void ThumbnailWidget::paintEvent(QPaintEvent* event)
{
    if (strip_.generation() == generation_)
        RasterView::paintEvent(event);
}

void ThumbnailWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    emit leftButtonPressed(this);
}

void ThumbnailWidget::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    emit popupRequested(this, event->globalPos());
}

void ThumbnailWidget::dragEnterEvent(QDragEnterEvent* event)
{
    emit draggedOver(this, event);
}

void ThumbnailWidget::dragMoveEvent(QDragMoveEvent* event)
{
    emit draggedOver(this, event);
}

void ThumbnailWidget::dropEvent(QDropEvent* event)
{
    emit dropped(this, event);
}

}  // namespace abm
