// The window's side of the strip: drags between thumbnails and the pop-up
// menu, each mapped to frame indexes before a command runs.

#include "MainWindow.h"

#include "StripView.h"
#include "ThumbnailWidget.h"

#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QScopeGuard>

#include <utility>

namespace abm {

void MainWindow::startDrag(ThumbnailWidget* sender)
{
    const int source = sender->index();
    const uint64_t generation = model->strip.generation();
    dragSource_ = source;
    dropTarget_ = -1;
    dropped_ = false;
    auto* drag = new QDrag(sender);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(ThumbnailWidget::kDragFormat), QByteArray::number(source));
    drag->setMimeData(mime);
    const QPointer<ThumbnailWidget> started(sender);
    {
        stripView->hold(sender);
        const auto release = qScopeGuard([this] { stripView->hold(nullptr); });
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
            if (target >= 0 && model->strip.generation() == generation)
                run([&] { model->commands.moveFrame(source, target); });
        },
        Qt::QueuedConnection);
}

void MainWindow::thumbnailDraggedOver(ThumbnailWidget*, QDragMoveEvent* event)
{
    // Any thumbnail takes a frame dragged from the strip, itself included.
    if (dragSource_ >= 0 && event->mimeData()->hasFormat(QString::fromLatin1(ThumbnailWidget::kDragFormat))) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::thumbnailDropped(ThumbnailWidget* target, QDropEvent* event)
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

void MainWindow::thumbnailPopup(ThumbnailWidget* sender, const QPoint& globalPos)
{
    setPopupFrame(sender->index());
    popupMenu->exec(globalPos);
}

void MainWindow::setPopupFrame(int index)
{
    popupFrame_ = index;
    pointedGeneration_ = model->strip.generation();
}

void MainWindow::deleteFrame()
{
    // The pop-up menu's frame, once: gone if the strip changed since.
    const int index = std::exchange(popupFrame_, -1);
    if (index >= 0 && model->strip.generation() == pointedGeneration_)
        model->commands.deleteFrame(index);
}

}  // namespace abm
