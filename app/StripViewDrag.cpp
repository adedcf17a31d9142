// The view's side of clicks, of drags between thumbnails and of the pop-up
// menu: each mapped to frame indexes before the window runs a command.

#include "StripView.h"

#include "ThumbnailWidget.h"

#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QScopeGuard>

#include <algorithm>
#include <utility>

namespace abm {

void StripView::connectThumbnail(ThumbnailWidget* thumbnail)
{
    connect(thumbnail, &ThumbnailWidget::dragStarted, this, &StripView::startDrag);
    connect(thumbnail, &ThumbnailWidget::clicked, this,
            [this](ThumbnailWidget* sender, Qt::KeyboardModifiers modifiers) {
                if (!stripChangedSince(generation_))
                    click(sender->index(), modifiers);
            });
    connect(thumbnail, &ThumbnailWidget::popupRequested, this, [this](ThumbnailWidget* sender, const QPoint& at) {
        setPopupFrame(sender->index());
        emit popupRequested(at);
    });
    connect(thumbnail, &ThumbnailWidget::draggedOver, this, &StripView::draggedOver);
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
    {
        hold(sender);
        const auto release = qScopeGuard([this] {
            dropMark_->hide();
            hold(nullptr);
        });
        dragExec_(*drag);
    }
    const int target = dropped_ ? dropTarget_ : -1;
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

void StripView::draggedOver(ThumbnailWidget* target, QDragMoveEvent* event)
{
    // Any thumbnail takes a frame dragged from the strip, itself included.
    const bool ours =
        event && dragSource_ >= 0 && event->mimeData()->hasFormat(QString::fromLatin1(ThumbnailWidget::kDragFormat));
    showDropMark(ours ? target : nullptr);
    if (!event)
        return;
    if (ours) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void StripView::showDropMark(const ThumbnailWidget* target)
{
    const int index = target ? target->index() : dragSource_;
    if (index == dragSource_ || stripChangedSince(generation_)) {
        dropMark_->hide();
        return;
    }
    // A frame moved right lands after the target, one moved left before it.
    const ThumbnailBox t = box(index);
    const int64_t edge = index > dragSource_ ? t.left + t.width : t.left - StripLayout::kThumbnailGap;
    const int64_t x = std::max<int64_t>(0, edge - horizontalScrollBar()->value());
    dropMark_->setGeometry(static_cast<int>(std::min<int64_t>(x, viewport()->width())), 0, StripLayout::kThumbnailGap,
                           std::min(t.height, viewport()->height()));
    dropMark_->show();
    dropMark_->raise();
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
