// The view's side of drags between thumbnails and of the pop-up menu: each
// mapped to frame indexes before the window runs a command.

#include "StripView.h"

#include "ThumbnailWidget.h"

#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScopeGuard>

#include <utility>

namespace abm {

void StripView::connectThumbnail(ThumbnailWidget* thumbnail)
{
    connect(thumbnail, &ThumbnailWidget::leftButtonPressed, this, &StripView::startDrag);
    connect(thumbnail, &ThumbnailWidget::popupRequested, this, [this](ThumbnailWidget* sender, const QPoint& at) {
        setPopupFrame(sender->index());
        emit popupRequested(at);
    });
    connect(thumbnail, &ThumbnailWidget::draggedOver, this,
            [this](ThumbnailWidget*, QDragMoveEvent* event) { draggedOver(event); });
    connect(thumbnail, &ThumbnailWidget::dropped, this, &StripView::dropped);
}

bool StripView::stripChangedSince(uint64_t generation) const
{
    return !strip_ || strip_->generation() != generation;
}

void StripView::startDrag(ThumbnailWidget* sender)
{
    const int source = sender->index();
    const uint64_t generation = strip_ ? strip_->generation() : 0;
    dragSource_ = source;
    dropTarget_ = -1;
    dropped_ = false;
    auto* drag = new QDrag(sender);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(ThumbnailWidget::kDragFormat), QByteArray::number(source));
    drag->setMimeData(mime);
    const QPointer<ThumbnailWidget> started(sender);
    {
        hold(sender);
        const auto release = qScopeGuard([this] { hold(nullptr); });
        dragExec_(*drag);
    }
    int target = dropTarget_;
    // A click without a move ends the drag where it began: a drop on itself.
    if (!dropped_ && started && started->rect().contains(started->mapFromGlobal(QCursor::pos())))
        target = source;
    dragSource_ = -1;
    dropTarget_ = -1;
    // The move rebuilds the strip, destroying the thumbnail that started the
    // drag, so it runs once every event of the drag has been delivered; a
    // strip changed meanwhile no longer holds the frames dragged.
    QMetaObject::invokeMethod(
        this,
        [this, source, target, generation] {
            if (target >= 0 && !stripChangedSince(generation))
                emit moveRequested(source, target);
        },
        Qt::QueuedConnection);
}

void StripView::draggedOver(QDragMoveEvent* event) const
{
    // Any thumbnail takes a frame dragged from the strip, itself included.
    if (dragSource_ >= 0 && event->mimeData()->hasFormat(QString::fromLatin1(ThumbnailWidget::kDragFormat))) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void StripView::dropped(ThumbnailWidget* target, QDropEvent* event)
{
    if (dragSource_ < 0 || !event->mimeData()->hasFormat(QString::fromLatin1(ThumbnailWidget::kDragFormat))) {
        event->ignore();
        return;
    }
    dropTarget_ = target->index();
    dropped_ = true;
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void StripView::setPopupFrame(int index)
{
    popupFrame_ = index;
    pointedGeneration_ = strip_ ? strip_->generation() : 0;
}

int StripView::takePopupFrame()
{
    const int index = std::exchange(popupFrame_, -1);
    return stripChangedSince(pointedGeneration_) ? -1 : index;
}

}  // namespace abm
