#include "Thumbnail.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>

namespace abm {

TThumbnail::TThumbnail(TImage& image, const FrameStrip& strip, QWidget* parent)
    : TRasterView(parent), image_(&image), strip_(strip), generation_(strip.generation())
{
    setObjectName(QStringLiteral("Img%1").arg(image.tag));
    setAcceptDrops(true);
    setRaster(&image.picture);
}

void TThumbnail::paintEvent(QPaintEvent* event)
{
    if (strip_.generation() == generation_)
        TRasterView::paintEvent(event);
}

void TThumbnail::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    emit leftButtonPressed(this);
}

void TThumbnail::contextMenuEvent(QContextMenuEvent* event)
{
    event->accept();
    emit popupRequested(this, event->globalPos());
}

void TThumbnail::dragEnterEvent(QDragEnterEvent* event)
{
    emit draggedOver(this, event);
}

void TThumbnail::dragMoveEvent(QDragMoveEvent* event)
{
    emit draggedOver(this, event);
}

void TThumbnail::dropEvent(QDropEvent* event)
{
    emit dropped(this, event);
}

}  // namespace abm
