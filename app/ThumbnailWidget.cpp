#include "ThumbnailWidget.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>

namespace abm {

ThumbnailWidget::ThumbnailWidget(int index, const FrameStrip& strip, QWidget* parent)
    : RasterView(parent), index_(index), strip_(strip), generation_(strip.generation())
{
    setObjectName(QStringLiteral("Img%1").arg(index));
    setAcceptDrops(true);
    setRaster(&strip.frame(index).picture);
}

void ThumbnailWidget::setMarks(bool selected, bool leftOut)
{
    if (selected == selected_ && leftOut == leftOut_)
        return;
    selected_ = selected;
    leftOut_ = leftOut;
    update();
}

void ThumbnailWidget::paintMarks(QPainter& painter, const QRect& rect, const QPalette& palette, bool selected,
                                 bool leftOut)
{
    if (leftOut) {
        QColor veil = palette.color(QPalette::Window);
        veil.setAlpha(170);
        painter.fillRect(rect, veil);
    }
    if (selected) {
        QColor tint = palette.color(QPalette::Highlight);
        tint.setAlpha(90);
        painter.fillRect(rect, tint);
        painter.setPen(QPen(palette.color(QPalette::Highlight), 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect.adjusted(1, 1, -1, -1));
    }
}

void ThumbnailWidget::paintEvent(QPaintEvent* event)
{
    if (strip_.generation() != generation_)
        return;
    RasterView::paintEvent(event);
    if (selected_ || leftOut_) {
        QPainter painter(this);
        paintMarks(painter, rect(), palette(), selected_, leftOut_);
    }
}

void ThumbnailWidget::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    pressedAt_ = event->position().toPoint();
}

void ThumbnailWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (!pressedAt_ || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - *pressedAt_).manhattanLength() < QApplication::startDragDistance())
        return;
    pressedAt_.reset();
    emit dragStarted(this);
}

void ThumbnailWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressedAt_)
        return;
    pressedAt_.reset();
    emit clicked(this, event->modifiers());
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

void ThumbnailWidget::dragLeaveEvent(QDragLeaveEvent*)
{
    emit draggedOver(this, nullptr);
}

void ThumbnailWidget::dropEvent(QDropEvent* event)
{
    emit dropped(this, event);
}

}  // namespace abm
