#include "MainWindow.h"

#include "DialogPrompts.h"
#include "ElidedLabel.h"
#include "ImageLists.h"
#include "PreviewView.h"
#include "StripView.h"
#include "workspace/StripLayout.h"
#include "ThumbnailWidget.h"
#include "WindowPlacer.h"
#include "OptionsDialog.h"
#include "codecs/abm/AbmCodec.h"
#include "workspace/StripHistory.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace abm {

namespace {

constexpr int kStatusPanelWidth = 50;

QLabel* makeStatusPanel(QStatusBar* bar, QLabel* panel, const char* name, Qt::Alignment alignment)
{
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFixedWidth(kStatusPanelWidth);
    panel->setAlignment(alignment | Qt::AlignVCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panel);
    return panel;
}

// The local files of a drag from a file manager, in the drag's order.
std::vector<std::string> droppedFiles(const QMimeData* mime)
{
    std::vector<std::string> files;
    if (!mime || !mime->hasUrls())
        return files;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile())
            files.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    return files;
}

// Takes a drag that brings local files, as a copy; ignores every other.
void answerFileDrag(QDropEvent* event)
{
    if (droppedFiles(event->mimeData()).empty()) {
        event->ignore();
        return;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

}  // namespace

MainWindow::MainWindow(std::vector<std::string> arguments, UserPrompts* prompts)
    : arguments_(std::move(arguments)),
      ownPrompts_(prompts ? nullptr : std::make_unique<DialogPrompts>(this)),
      prompts_(prompts ? prompts : ownPrompts_.get()),
      placer_(std::make_unique<WindowPlacer>(*this))
{
    commandIcons_ = loadCommandIcons();
    createLayout();
    createActions();
    createMenus();

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("Timer"));
    timer_->setInterval(PreviewPlayer::kIntervalMs);
    connect(timer_, &QTimer::timeout, this, [this] { run([this] { tick(); }); });

    placementStore_ = std::make_unique<WindowSettingsStore>(*placer_);
    placementStore_->setOnError([](const std::exception& error) { showError(error); });
    placementStore_->windowBuilt();

    run([this] { createWorkspace(); });
    timer_->start();
}

MainWindow::~MainWindow()
{
    timer_->stop();
    runHandler([this] {
        // The placement when no close saved it, then the pictures.
        placementStore_->saveOnDestroy();
        releaseSources();
    });
    placementStore_.reset();
}

void MainWindow::createLayout()
{
    setObjectName(QStringLiteral("MForm"));
    // "*" after the caption while there are unsaved changes.
    setWindowTitle(QString::fromUtf8(kCaption) + QStringLiteral("[*]"));
    // Files dropped anywhere on the window; a thumbnail's own drag is the
    // strip's and never reaches here.
    setAcceptDrops(true);

    toolBar_ = new QToolBar(this);
    toolBar_->setObjectName(QStringLiteral("XPToolBar1"));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    toolBar_->setIconSize(QSize(24, 24));
    toolBar_->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar_->setFixedHeight(34);
    toolBar_->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar_->setStyleSheet(QStringLiteral(
        "QToolBar#XPToolBar1 { border-top: 1px solid palette(mid); border-bottom: 1px solid palette(mid); }"));
    toolBar_->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, toolBar_);

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("Splitter1"));
    splitter_->setHandleWidth(2);
    splitter_->setChildrenCollapsible(false);
    setCentralWidget(splitter_);

    stripView_ = new StripView(splitter_);
    stripView_->setObjectName(QStringLiteral("ScrollBoxSource"));
    stripView_->setFrameShape(QFrame::NoFrame);
    stripView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stripView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Its height is the model's (fitted to the first frame, or where the
    // splitter was dragged), not the scroll area's own idea of a minimum.
    stripView_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    connect(stripView_, &StripView::moveRequested, this,
            [this](int from, int to) { run([this, from, to] { model_->commands.moveFrame(from, to); }); });
    connect(stripView_, &StripView::popupRequested, this, [this](const QPoint& at) { popupMenu_->exec(at); });

    previewArea_ = new PreviewView(splitter_);

    splitter_->addWidget(stripView_);
    splitter_->addWidget(previewArea_);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->installEventFilter(this);
    splitter_->handle(1)->installEventFilter(this);
    connect(splitter_, &QSplitter::splitterMoved, this,
            [this](int position, int) { run([this, position] { model_->commands.setStripHeight(position); }); });

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFixedHeight(19);
    frameCountPanel_ = makeStatusPanel(bar, new QLabel(bar), "StatusPanel0", Qt::AlignHCenter);
    statusPanel_ = makeStatusPanel(bar, new ElidedLabel(bar), "StatusPanel1", Qt::AlignLeft);
    noticeTimer_ = new QTimer(this);
    noticeTimer_->setObjectName(QStringLiteral("NoticeTimer"));
    noticeTimer_->setSingleShot(true);
    noticeTimer_->setInterval(kNoticeMs);
    connect(noticeTimer_, &QTimer::timeout, this, &MainWindow::endNotice);

    setTabOrder(toolBar_, stripView_);
    setTabOrder(stripView_, previewArea_);

    placer_->applyOuterRect(QRect(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight));
}

void MainWindow::createActions()
{
    // `caption` carries the menu mnemonic; the hint is the caption as shown.
    const auto action = [this](const char* name, const char* caption, CommandIcon icon, bool enabled,
                               const QKeySequence& shortcut) {
        const QString text = QString::fromUtf8(caption);
        auto* a = new QAction(commandIcons_.at(static_cast<size_t>(icon)), text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(QString(text).remove(u'&'));
        a->setEnabled(enabled);
        a->setShortcut(shortcut);
        return a;
    };
    openAction_ = action("OpenGifA", "&Открыть", CommandIcon::Open, true, QKeySequence::Open);
    exportBmpAction_ =
        action("SaveBmpA", "Сохранить как &BMP", CommandIcon::SaveBmp, false, QKeySequence(Qt::CTRL | Qt::Key_E));
    saveAbmAction_ = action("SaveToFileA", "Сохранить как &ABM", CommandIcon::SaveAbm, false, QKeySequence::Save);
    optionsAction_ = action("OptionsA", "&Настройка", CommandIcon::Options, true, {});
    clearAction_ = action("ClearA", "О&чистить", CommandIcon::Clear, false, {});
    deleteAction_ = action("DeleteA", "&Удалить", CommandIcon::Delete, true, {});
    quitAction_ = new QAction(QStringLiteral("&Выход"), this);
    quitAction_->setObjectName(QStringLiteral("ExitA"));
    // Where the desktop's key scheme has no quit keys (Alt+F4 is the window
    // manager's), Ctrl+Q as elsewhere.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    quitAction_->setShortcuts(quitKeys.isEmpty() ? QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Q)} : quitKeys);
    // The menu bar has no image list; the pop-up menu has one.
    for (QAction* a : {openAction_, exportBmpAction_, saveAbmAction_, optionsAction_})
        a->setIconVisibleInMenu(false);

    connect(openAction_, &QAction::triggered, this, [this] { run([this] { model_->commands.openPictures(); }); });
    connect(exportBmpAction_, &QAction::triggered, this, [this] { run([this] { model_->commands.exportBmp(); }); });
    connect(saveAbmAction_, &QAction::triggered, this, [this] { run([this] { model_->commands.saveAbm(); }); });
    connect(optionsAction_, &QAction::triggered, this, [this] { run([this] { showOptions(); }); });
    connect(clearAction_, &QAction::triggered, this, [this] { run([this] { model_->commands.clear(); }); });
    connect(deleteAction_, &QAction::triggered, this, [this] { run([this] { deleteFrame(); }); });
    // Closing the window the way its title bar does: the placement is saved.
    connect(quitAction_, &QAction::triggered, this, &QWidget::close);
    createEditActions();
}

void MainWindow::createMenus()
{
    for (QAction* a : {clearAction_, openAction_, exportBmpAction_, saveAbmAction_, optionsAction_}) {
        toolBar_->addAction(a);
        if (auto* button = qobject_cast<QToolButton*>(toolBar_->widgetForAction(a))) {
            button->setObjectName(a->objectName() + QStringLiteral("Button"));
            button->setFixedSize(31, 30);
            button->setAutoRaise(true);
        }
    }

    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = mainMenu->addMenu(QStringLiteral("&Файл"));
    file->addAction(openAction_);
    file->addAction(exportBmpAction_);
    file->addAction(saveAbmAction_);
    file->addSeparator();
    file->addAction(quitAction_);
    QMenu* edit = mainMenu->addMenu(QStringLiteral("&Правка"));
    edit->addActions({undoAction_, redoAction_});
    edit->addSeparator();
    edit->addActions({deleteSelectedAction_, fitPhoneAction_});
    edit->addSeparator();
    edit->addAction(optionsAction_);
    // Keys without a menu item.
    addActions({selectAllAction_, unselectAction_});

    popupMenu_ = new QMenu(this);
    popupMenu_->setObjectName(QStringLiteral("PopupM"));
    popupMenu_->addAction(deleteAction_);
    popupMenu_->addAction(clearAction_);

    updateActions();
}

void MainWindow::updateActions()
{
    // Only imports, clear and delete change whether there is anything to
    // save; a rebuild keeps the count.
    const bool canSave = model_ && model_->commands.canSave();
    for (QAction* a : {exportBmpAction_, saveAbmAction_, clearAction_})
        a->setEnabled(canSave);
    // A button bound to an action takes the action's hint again whenever
    // the action changes, so its own tooltip is put back after every change.
    if (QWidget* button = toolBar_->widgetForAction(exportBmpAction_))
        button->setToolTip(QString::fromUtf8(kSaveBmpButtonHint));
    updateEditActions();
}

void MainWindow::createWorkspace()
{
    model_ = std::make_unique<Workspace>(FrameOptions(), *prompts_, *placementStore_);
    // Before the command line's file, whose import is the first step.
    history_ = std::make_unique<StripHistory>(model_->strip);
    model_->start(arguments_);
}

void MainWindow::showNotice(const QString& text)
{
    notice_ = text;
    noticeTimer_->start();
    showStatusText();
}

void MainWindow::endNotice()
{
    notice_.clear();
    showStatusText();
}

void MainWindow::showStatusText()
{
    const int count = model_ ? model_->strip.count() : 0;
    const QString text = !notice_.isEmpty()      ? notice_
                         : count > kMaxAbmFrames ? QString::fromUtf8(kLeftOutNote).arg(count)
                                                 : QString();
    if (text == statusPanel_->text())
        return;
    statusPanel_->setText(text);
    statusPanel_->setToolTip(text);
    if (text.isEmpty()) {
        statusPanel_->setFixedWidth(kStatusPanelWidth);
        return;
    }
    // The panel takes the text's width where the bar has room, the rest of
    // the bar where it has not (the text then ends in "…" and the tooltip
    // holds it whole); the frame count beside it stays in view.
    statusPanel_->setMinimumWidth(kStatusPanelWidth);
    statusPanel_->setMaximumWidth(QWIDGETSIZE_MAX);
}

void MainWindow::deleteFrame()
{
    const int index = stripView_->takePopupFrame();
    if (index >= 0)
        model_->commands.deleteFrame(index);
}

void MainWindow::destroyOptionsDialog()
{
    optionsDialogGone_ = true;
    optionsDialog_.reset();
}

void MainWindow::releaseSources()
{
    if (model_)
        model_->strip.clear();
}

void MainWindow::showOptions()
{
    if (optionsDialogGone_)
        return;
    // Built on first use, which keeps it off the start.
    if (!optionsDialog_)
        optionsDialog_ = std::make_unique<OptionsDialog>();
    const FrameStrip& strip = model_->strip;
    optionsDialog_->setOptions(strip.options());
    if (!strip.empty())
        optionsDialog_->setFrameSize(strip.frame(0).width, strip.frame(0).height);
    const bool accepted = optionsDialog_->exec() == QDialog::Accepted;
    // Cancelled, the options still hold for the frames imported next.
    if (accepted)
        model_->commands.applyOptions(optionsDialog_->options());
    else
        model_->strip.setOptions(optionsDialog_->options());
}

const std::vector<QIcon>& MainWindow::animatedIcons() const
{
    if (animatedIcons_.empty())
        animatedIcons_ = loadAnimatedIcons();
    return animatedIcons_;
}

void MainWindow::tick()
{
    const std::vector<QIcon>& icons = animatedIcons();
    const int index = model_->tick(static_cast<int>(icons.size()));
    showPreview();
    if (index >= 0 && index < static_cast<int>(icons.size())) {
        iconIndexShown_ = index;
        QApplication::setWindowIcon(icons[static_cast<size_t>(index)]);
    }
}

void MainWindow::showPreview()
{
    previewArea_->showPicture(model_->player.preview());
}

void MainWindow::syncFromModel()
{
    if (!model_)
        return;
    recordChange();
    const StripDisplay& display = model_->commands.display();
    const QString count = display.frameCount ? QString::number(*display.frameCount) : QString();
    if (frameCountPanel_->text() != count)
        frameCountPanel_->setText(count);
    if (display.transparencyNotices != shownNotices_) {
        shownNotices_ = display.transparencyNotices;
        showNotice(QString::fromUtf8(kTransparentGifHint));
    }
    noteFileMarks(display);
    // Steps of the history may have given their memory back.
    updateEditActions();
    const uint64_t generation = model_->strip.generation();
    if (generation == shownGeneration_ && display.stripHeight == shownStripHeight_)
        return;
    if (generation != shownGeneration_) {
        shownGeneration_ = generation;
        stripView_->showStrip(&model_->strip);
        updateActions();
        showStatusText();
    }
    shownStripHeight_ = display.stripHeight;
    applyStripHeight();
}

const std::vector<ThumbnailWidget*>& MainWindow::thumbnails() const
{
    return stripView_->thumbnails();
}

QWidget* MainWindow::stripContent() const
{
    return stripView_->viewport();
}

int MainWindow::stripHeight() const
{
    return model_ ? model_->commands.display().stripHeight : StripLayout::kInitialStripHeight;
}

void MainWindow::applyStripHeight()
{
    // From the splitter's own height: on its resize event the parts are
    // not laid out yet.
    const int total = splitter_->height() - splitter_->handleWidth();
    if (total <= 0)
        return;
    const int height = std::clamp(stripHeight(), 0, total);
    if (splitter_->sizes().value(0) != height || splitter_->sizes().value(1) != total - height)
        splitter_->setSizes({height, total - height});
}

void MainWindow::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        readSettings();
        placer_->applyHiddenStates();
    }
    QMainWindow::setVisible(visible);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!mayClose()) {
        event->ignore();
        return;
    }
    writeSettings();
    run([this] { destroyOptionsDialog(); });
    event->accept();
}

bool MainWindow::event(QEvent* event)
{
    const bool result = QMainWindow::event(event);
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::WindowActivate:
    case QEvent::WindowStateChange: placer_->noteFrameMargins(); break;
    default: break;
    }
    return result;
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    answerFileDrag(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event)
{
    answerFileDrag(event);
}

void MainWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> files = droppedFiles(event->mimeData());
    answerFileDrag(event);
    if (files.empty() || !model_)
        return;
    // After the drop has been answered: the import may show message boxes,
    // and the file manager waits for the answer.
    QMetaObject::invokeMethod(
        this, [this, files = std::move(files)] { run([&] { model_->commands.importFiles(files); }); },
        Qt::QueuedConnection);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched == splitter_->handle(1)) {
        // The bar is plain black, whatever the style draws for a splitter.
        QSplitterHandle* handle = splitter_->handle(1);
        QPainter painter(handle);
        painter.fillRect(handle->contentsRect(), Qt::black);
        return true;
    }
    if (event->type() == QEvent::Resize && watched == splitter_)
        applyStripHeight();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::readSettings()
{
    runHandler([this] { placementStore_->restoreOnShow(); });
}

void MainWindow::writeSettings()
{
    runHandler([this] { placementStore_->saveOnClose(); });
}

}  // namespace abm
