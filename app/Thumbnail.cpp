#include "Thumbnail.h"

#include "RasterImage.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>

namespace abm {

TThumbnail::TThumbnail(TImage& image, QWidget* parent)
    : QWidget(parent), image_(&image), picture_(RasterToQImage(image.Picture))
{
    setObjectName(QStringLiteral("Img%1").arg(image.Tag));
    setAcceptDrops(true);
    setGeometry(image.Left, image.Top, image.Width, image.Height);
    setVisible(image.Visible);
}

void TThumbnail::paintEvent(QPaintEvent*)
{
    if (picture_.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), picture_);
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
