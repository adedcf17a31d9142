// The window's side of editing: undo and redo over the strip's history on
// Qt's undo stack, the selection's commands, the phone-size command, the
// question before unsaved frames are lost, and what a save says.

#include "MainWindow.h"

#include "StripView.h"
#include "base/NameText.h"
#include "base/PathNames.h"
#include "workspace/StripHistory.h"

#include <QAction>
#include <QApplication>
#include <QSessionManager>
#include <QUndoStack>

namespace abm {

namespace {

// One change of the strip on the undo stack. Pushing a command runs its
// redo(), which the change itself has already done.
class StripUndoCommand : public QUndoCommand {
public:
    StripUndoCommand(MainWindow& window, std::shared_ptr<StripStep> step) : window_(window), step_(std::move(step)) {}

    const StripStep& step() const { return *step_; }
    void undo() override { window_.moveThroughHistory(*step_, false); }
    void redo() override
    {
        if (pushed_)
            window_.moveThroughHistory(*step_, true);
        pushed_ = true;
    }

private:
    MainWindow& window_;
    std::shared_ptr<StripStep> step_;
    bool pushed_ = false;
};

// Whether the command at `index` of the stack can still run.
bool canRun(const QUndoStack& stack, int index)
{
    return index >= 0 && index < stack.count() &&
           static_cast<const StripUndoCommand*>(stack.command(index))->step().available();
}

}  // namespace

void MainWindow::createEditActions()
{
    const auto action = [this](const char* name, const char* caption, const QList<QKeySequence>& keys) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        return a;
    };
    undoAction_ = action("UndoA", "&Отменить", {QKeySequence(Qt::CTRL | Qt::Key_Z)});
    redoAction_ = action("RedoA", "&Повторить",
                         {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    deleteSelectedAction_ = action("DeleteSelectedA", "&Удалить", {QKeySequence(Qt::Key_Delete)});
    fitPhoneAction_ = action("FitPhoneA", "Подогнать под &телефон", {QKeySequence(Qt::CTRL | Qt::Key_T)});
    selectAllAction_ = action("SelectAllA", "Выделить все", {QKeySequence(Qt::CTRL | Qt::Key_A)});
    unselectAction_ = action("UnselectA", "Снять выделение", {QKeySequence(Qt::Key_Escape)});

    undoStack_ = new QUndoStack(this);
    connect(undoStack_, &QUndoStack::cleanChanged, this, [this](bool clean) { setWindowModified(!clean); });
    connect(undoAction_, &QAction::triggered, this, [this] { run([this] { undoStack_->undo(); }); });
    connect(redoAction_, &QAction::triggered, this, [this] { run([this] { undoStack_->redo(); }); });
    connect(deleteSelectedAction_, &QAction::triggered, this, [this] { run([this] { deleteSelected(); }); });
    connect(fitPhoneAction_, &QAction::triggered, this, [this] { run([this] { model_->commands.fitToPhone(); }); });
    connect(selectAllAction_, &QAction::triggered, stripView_, &StripView::selectAll);
    connect(unselectAction_, &QAction::triggered, stripView_, &StripView::clearSelection);
    connect(stripView_, &StripView::selectionChanged, this, &MainWindow::updateEditActions);
    connect(qApp, &QGuiApplication::commitDataRequest, this, &MainWindow::commitData);
}

void MainWindow::updateEditActions()
{
    undoAction_->setEnabled(canRun(*undoStack_, undoStack_->index() - 1));
    redoAction_->setEnabled(canRun(*undoStack_, undoStack_->index()));
    deleteSelectedAction_->setEnabled(!stripView_->selection().empty());
}

void MainWindow::recordChange()
{
    if (!history_)
        return;
    if (std::shared_ptr<StripStep> step = history_->recordChange())
        undoStack_->push(new StripUndoCommand(*this, std::move(step)));
}

void MainWindow::moveThroughHistory(const StripStep& step, bool forward)
{
    if (forward ? history_->redo(step) : history_->undo(step))
        model_->commands.stripRestored();
}

void MainWindow::noteFileMarks(const StripDisplay& display)
{
    if (display.fileMarks == shownFileMarks_)
        return;
    shownFileMarks_ = display.fileMarks;
    undoStack_->setClean();
    const FileMark& mark = display.lastFileMark;
    if (mark.kind == FileMark::Kind::abmSaved)
        showNotice(
            QString::fromUtf8(kSavedAbmNotice).arg(QString::fromStdString(isolatedName(fileNamePart(mark.fileName)))));
    else if (mark.kind == FileMark::Kind::bmpExported)
        showNotice(QString::fromUtf8(kSavedBmpNotice).arg(mark.frames));
}

void MainWindow::deleteSelected()
{
    model_->commands.deleteFrames(stripView_->selection().indexes());
}

bool MainWindow::mayClose()
{
    if (!model_ || model_->strip.empty() || !isWindowModified())
        return true;
    switch (prompts_->askToSave(kSaveQuestion)) {
    case SaveAnswer::discard: return true;
    case SaveAnswer::cancel: return false;
    case SaveAnswer::save: break;
    }
    // Refused, cancelled or failed, the save leaves the window modified.
    run([this] { model_->commands.saveAbm(); });
    return !isWindowModified();
}

void MainWindow::commitData(QSessionManager& manager)
{
    if (!manager.allowsInteraction())
        return;
    const bool mayEnd = mayClose();
    manager.release();
    if (!mayEnd)
        manager.cancel();
    else
        // Answered now: the close that ends the session asks no more.
        setWindowModified(false);
}

}  // namespace abm
