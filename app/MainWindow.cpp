#include "MainWindow.h"

#include "DialogPrompts.h"
#include "ImageLists.h"
#include "RasterView.h"
#include "StripView.h"
#include "ThumbnailWidget.h"
#include "settings/ScreenFit.h"
#include "OptionsDialog.h"
#include "NumberField.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDrag>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <algorithm>

namespace abm {

namespace {

constexpr int kStaticTextHeight = 17;
constexpr QRect kImPrevBounds(16, 32, 130, 99);

QLabel* makeStatusPanel(QStatusBar* bar, const char* name, Qt::Alignment alignment)
{
    auto* panel = new QLabel(bar);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setFixedWidth(50);
    panel->setAlignment(alignment | Qt::AlignVCenter);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bar->addWidget(panel);
    return panel;
}

QRect toQRect(const Rect& r)
{
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

Rect toTRect(const QRect& r)
{
    return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

// The part of the screen a window may use (without panels): of the screen
// that holds the rectangle's centre, else of the primary one.
std::optional<Rect> availableArea(const Rect& outer)
{
    const QPoint centre(static_cast<int>((int64_t{outer.left} + outer.right) / 2),
                        static_cast<int>((int64_t{outer.top} + outer.bottom) / 2));
    const QScreen* screen = QGuiApplication::screenAt(centre);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return toTRect(screen->availableGeometry());
}

}  // namespace

MainWindow::MainWindow(std::vector<std::string> arguments, UserPrompts* prompts)
    : arguments_(std::move(arguments)),
      ownPrompts_(prompts ? nullptr : std::make_unique<DialogPrompts>(this)),
      prompts_(prompts ? prompts : ownPrompts_.get()),
      dragExec_([](QDrag& drag) { return drag.exec(Qt::MoveAction); })
{
    commandIcons = loadCommandIcons();
    animatedIcons = loadAnimatedIcons();
    createLayout();
    createActions();

    timer = new QTimer(this);
    timer->setObjectName(QStringLiteral("Timer"));
    timer->setInterval(PreviewPlayer::kIntervalMs);
    connect(timer, &QTimer::timeout, this, [this] { run([this] { tick(); }); });

    // The settings store hooks the window's show, close-query and destroy
    // events while the window is built, and chains to the window's own.
    events_.onDestroy = [this] { releaseSources(); };
    placementStore = std::make_unique<WindowSettingsStore>(*this);
    placementStore->setOnError([](const std::exception& error) { showError(error); });
    placementStore->attachToWindow();

    run([this] { createWorkspace(); });
    timer->start();
}

MainWindow::~MainWindow()
{
    timer->stop();
    runHandler([this] {
        if (events_.onDestroy)
            events_.onDestroy();
    });
    placementStore.reset();
    // Closed without destroyOptionsDialog (never shown, or destroyed directly).
    delete optionsDialog;
    optionsDialog = nullptr;
}

void MainWindow::createLayout()
{
    setObjectName(QStringLiteral("MForm"));
    setWindowTitle(QString::fromUtf8(kCaption));

    toolBar = new QToolBar(this);
    toolBar->setObjectName(QStringLiteral("XPToolBar1"));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    toolBar->setIconSize(QSize(24, 24));
    toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolBar->setFixedHeight(34);
    toolBar->setContextMenuPolicy(Qt::PreventContextMenu);
    toolBar->setStyleSheet(QStringLiteral(
        "QToolBar#XPToolBar1 { border-top: 1px solid palette(mid); border-bottom: 1px solid palette(mid); }"));
    toolBar->toggleViewAction()->setVisible(false);
    addToolBar(Qt::TopToolBarArea, toolBar);

    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(2);
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    stripView = new StripView(splitter);
    stripView->setObjectName(QStringLiteral("ScrollBoxSource"));
    stripView->setFrameShape(QFrame::NoFrame);
    stripView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    stripView->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    // Its height is the model's (FitStripHeight, the splitter), not the
    // scroll area's own idea of a minimum.
    stripView->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    connect(stripView, &StripView::thumbnailMade, this, [this](ThumbnailWidget* thumbnail) {
        connect(thumbnail, &ThumbnailWidget::leftButtonPressed, this,
                [this](ThumbnailWidget* sender) { run([this, sender] { startDrag(sender); }); });
        connect(thumbnail, &ThumbnailWidget::popupRequested, this, &MainWindow::thumbnailPopup);
        connect(thumbnail, &ThumbnailWidget::draggedOver, this, &MainWindow::thumbnailDraggedOver);
        connect(thumbnail, &ThumbnailWidget::dropped, this, &MainWindow::thumbnailDropped);
    });

    previewArea = new QScrollArea(splitter);
    previewArea->setObjectName(QStringLiteral("ScrollBox1"));
    previewArea->setFrameShape(QFrame::NoFrame);
    previewArea->setWidgetResizable(true);
    previewContent_ = new QWidget;
    previewContent_->setObjectName(QStringLiteral("PreviewContent"));
    previewContent_->setMinimumSize(kImPrevBounds.right() + 1, kImPrevBounds.bottom() + 1);
    previewArea->setWidget(previewContent_);
    previewContent_->installEventFilter(this);

    previewCaption = new QLabel(QStringLiteral(" Предварительный просмотр:"), previewContent_);
    previewCaption->setObjectName(QStringLiteral("StaticText1"));
    previewCaption->setGeometry(0, 0, previewContent_->width(), kStaticTextHeight);
    preview = new RasterView(previewContent_);
    preview->setObjectName(QStringLiteral("ImPrev"));
    preview->setGeometry(kImPrevBounds);

    splitter->addWidget(stripView);
    splitter->addWidget(previewArea);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->installEventFilter(this);
    splitter->handle(1)->installEventFilter(this);
    connect(splitter, &QSplitter::splitterMoved, this,
            [this](int position, int) { run([this, position] { model->strip.setStripHeight(position); }); });

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFixedHeight(19);
    frameCountPanel = makeStatusPanel(bar, "StatusPanel0", Qt::AlignHCenter);
    statusPanel = makeStatusPanel(bar, "StatusPanel1", Qt::AlignLeft);

    setTabOrder(toolBar, stripView);
    setTabOrder(stripView, previewArea);

    applyOuterRect(QRect(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight));
}

void MainWindow::createActions()
{
    const auto action = [this](const char* name, const char* caption, CommandIcon icon, bool enabled) {
        const QString text = QString::fromUtf8(caption);
        auto* a = new QAction(commandIcons.at(static_cast<size_t>(icon)), text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setToolTip(text);
        a->setEnabled(enabled);
        return a;
    };
    openAction = action("OpenGifA", "Открыть", CommandIcon::Open, true);
    exportBmpAction = action("SaveBmpA", "Сохранить как BMP", CommandIcon::SaveBmp, false);
    saveAbmAction = action("SaveToFileA", "Сохранить как ABM", CommandIcon::SaveAbm, false);
    optionsAction = action("OptionsA", "Настройка", CommandIcon::Options, true);
    clearAction = action("ClearA", "Очистить", CommandIcon::Clear, false);
    deleteAction = action("DeleteA", "Удалить", CommandIcon::Delete, true);
    // The menu bar has no image list; the pop-up menu has one.
    for (QAction* a : {openAction, exportBmpAction, saveAbmAction, optionsAction})
        a->setIconVisibleInMenu(false);

    connect(openAction, &QAction::triggered, this, [this] { run([this] { model->openPictures(); }); });
    connect(exportBmpAction, &QAction::triggered, this, [this] { run([this] { model->exportBmp(); }); });
    connect(saveAbmAction, &QAction::triggered, this, [this] { run([this] { model->saveAbm(); }); });
    connect(optionsAction, &QAction::triggered, this, [this] { run([this] { showOptions(); }); });
    connect(clearAction, &QAction::triggered, this, [this] { run([this] { model->clearStrip(); }); });
    connect(deleteAction, &QAction::triggered, this, [this] { run([this] { model->deleteFrame(); }); });

    for (QAction* a : {clearAction, openAction, exportBmpAction, saveAbmAction, optionsAction}) {
        toolBar->addAction(a);
        if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(a))) {
            button->setObjectName(a->objectName() + QStringLiteral("Button"));
            button->setFixedSize(31, 30);
            button->setAutoRaise(true);
        }
    }

    QMenuBar* mainMenu = menuBar();
    mainMenu->setObjectName(QStringLiteral("MainMenu1"));
    QMenu* file = mainMenu->addMenu(QStringLiteral("Файл"));
    file->addAction(openAction);
    file->addAction(exportBmpAction);
    file->addAction(saveAbmAction);
    QMenu* edit = mainMenu->addMenu(QStringLiteral("Правка"));
    edit->addAction(optionsAction);

    popupMenu = new QMenu(this);
    popupMenu->setObjectName(QStringLiteral("PopupM"));
    popupMenu->addAction(deleteAction);
    popupMenu->addAction(clearAction);

    updateActions();
}

void MainWindow::updateActions()
{
    if (model) {
        exportBmpAction->setEnabled(model->strip.canExportBmp());
        saveAbmAction->setEnabled(model->strip.canSaveAbm());
        clearAction->setEnabled(model->strip.canClear());
    }
    // A button bound to an action takes the action's hint again whenever
    // the action changes, so its own tooltip is put back after every change.
    if (QWidget* button = toolBar->widgetForAction(exportBmpAction))
        button->setToolTip(QString::fromUtf8(kSaveBmpButtonHint));
}

void MainWindow::createWorkspace()
{
    optionsDialog = new OptionsDialog;
    model = std::make_unique<Workspace>(*optionsDialog, *prompts_, *placementStore);
    model->start(arguments_);
}

void MainWindow::destroyOptionsDialog()
{
    delete optionsDialog;
    optionsDialog = nullptr;
}

void MainWindow::releaseSources()
{
    if (model)
        model->releaseSources();
}

void MainWindow::showOptions()
{
    if (!optionsDialog)
        return;
    FrameStrip& strip = model->strip;
    if (strip.count() > 0) {
        const Thumbnail& first = strip.thumbnail(0);
        optionsDialog->widthField->edit->setText(QString::number(first.width));
        optionsDialog->heightField->edit->setText(QString::number(first.height));
    }
    if (optionsDialog->exec() == QDialog::Accepted)
        strip.rebuildStrip();
}

void MainWindow::tick()
{
    const int index = model->tick(static_cast<int>(animatedIcons.size()));
    showPreview();
    if (index >= 0 && index < static_cast<int>(animatedIcons.size())) {
        iconIndexShown_ = index;
        QApplication::setWindowIcon(animatedIcons[static_cast<size_t>(index)]);
    }
}

void MainWindow::showPreview()
{
    preview->setRaster(&model->player.preview);
    preview->resize(model->player.previewWidth, model->player.previewHeight);
}

void MainWindow::syncFromModel()
{
    if (!model)
        return;
    const uint64_t generation = model->strip.generation();
    if (generation == shownGeneration_)
        return;
    shownGeneration_ = generation;
    stripView->showStrip(&model->strip);
    frameCountPanel->setText(QString::fromStdString(model->strip.frameCountText()));
    updateActions();
    applyStripHeight();
}

const std::vector<ThumbnailWidget*>& MainWindow::thumbnails() const
{
    return stripView->thumbnails();
}

QWidget* MainWindow::stripContent() const
{
    return stripView->viewport();
}

void MainWindow::applyStripHeight()
{
    // From the splitter's own height: on its resize event the parts are
    // not laid out yet.
    const int total = splitter->height() - splitter->handleWidth();
    if (total <= 0)
        return;
    const int height = std::clamp(model ? model->strip.stripHeight() : FrameStrip::kInitialStripHeight, 0, total);
    if (splitter->sizes().value(0) != height || splitter->sizes().value(1) != total - height)
        splitter->setSizes({height, total - height});
}

void MainWindow::startDrag(ThumbnailWidget* sender)
{
    Thumbnail* source = sender->image();
    dragSource_ = source;
    dropTarget_ = nullptr;
    dropped_ = false;
    auto* drag = new QDrag(sender);
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(ThumbnailWidget::kDragFormat), QByteArray::number(source->tag));
    drag->setMimeData(mime);
    const QPointer<ThumbnailWidget> started(sender);
    {
        stripView->hold(sender);
        const auto release = qScopeGuard([this] { stripView->hold(nullptr); });
        dragExec_(*drag);
    }
    Thumbnail* target = dropTarget_;
    // A click without a move ends the drag where it began: a drop on itself.
    if (!dropped_ && started && started->rect().contains(started->mapFromGlobal(QCursor::pos())))
        target = source;
    dragSource_ = nullptr;
    dropTarget_ = nullptr;
    // The end-drag handler destroys the thumbnail that started the drag, so
    // it runs once every event of the drag has been delivered.
    QMetaObject::invokeMethod(
        this, [this, source, target] { run([&] { model->strip.moveFrame(source, target); }); }, Qt::QueuedConnection);
}

void MainWindow::thumbnailDraggedOver(ThumbnailWidget* target, QDragMoveEvent* event)
{
    bool accept = false;
    if (dragSource_ && event->mimeData()->hasFormat(QString::fromLatin1(ThumbnailWidget::kDragFormat)))
        run([&] { accept = model->strip.acceptsDrag(target->image(), dragSource_); });
    if (accept) {
        event->setDropAction(Qt::MoveAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::thumbnailDropped(ThumbnailWidget* target, QDropEvent* event)
{
    if (!dragSource_ || !event->mimeData()->hasFormat(QString::fromLatin1(ThumbnailWidget::kDragFormat))) {
        event->ignore();
        return;
    }
    dropTarget_ = target->image();
    dropped_ = true;
    event->setDropAction(Qt::MoveAction);
    event->accept();
}

void MainWindow::thumbnailPopup(ThumbnailWidget* sender, const QPoint& globalPos)
{
    run([this, sender] { model->strip.setPopupTarget(sender->image()); });
    popupMenu->exec(globalPos);
}

void MainWindow::setVisible(bool visible)
{
    if (visible && !isVisible()) {
        if (events_.onShow)
            runHandler([this] { events_.onShow(); });
        applyHiddenStates();
    }
    QMainWindow::setVisible(visible);
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    if (events_.onCloseQuery)
        runHandler([&] { events_.onCloseQuery(canClose); });
    if (!canClose) {
        event->ignore();
        return;
    }
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
    case QEvent::WindowStateChange: noteFrameMargins(); break;
    default: break;
    }
    return result;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Paint && watched == splitter->handle(1)) {
        // The bar is plain black, whatever the style draws for a splitter.
        QSplitterHandle* handle = splitter->handle(1);
        QPainter painter(handle);
        painter.fillRect(handle->contentsRect(), Qt::black);
        return true;
    }
    if (event->type() == QEvent::Resize) {
        if (watched == previewContent_)
            previewCaption->setGeometry(0, 0, previewContent_->width(), kStaticTextHeight);
        else if (watched == splitter)
            applyStripHeight();
    }
    return QMainWindow::eventFilter(watched, event);
}

// Window placement. The stored rectangles are outer ones, frame included;
// Qt sizes the client area, so the frame is added and taken off here.

QRect MainWindow::outerRect(const QRect& client) const
{
    return client.marginsAdded(frameMargins_);
}

void MainWindow::applyOuterRect(const QRect& outer)
{
    move(outer.topLeft());
    resize(std::max(1, outer.width() - frameMargins_.left() - frameMargins_.right()),
           std::max(1, outer.height() - frameMargins_.top() - frameMargins_.bottom()));
    pendingOuter_ = isVisible() && !frameMargins_.isNull() ? QRect() : outer;
    pendingClient_ = geometry();
}

void MainWindow::noteFrameMargins()
{
    if (!isVisible())
        return;
    const QRect frame = frameGeometry();
    const QRect client = geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    if (margins.isNull())
        return;
    frameMargins_ = margins;
    if (pendingOuter_.isValid() && windowState() == Qt::WindowNoState) {
        const QRect wanted = pendingOuter_;
        pendingOuter_ = QRect();
        if (frame != wanted)
            applyOuterRect(wanted);
    }
}

bool MainWindow::handleAllocated() const
{
    return testAttribute(Qt::WA_WState_Created);
}

WindowPlacement MainWindow::placement() const
{
    WindowPlacement placement;
    placement.flags = 0;
    const Qt::WindowStates states = currentStates();
    placement.showCmd = states & Qt::WindowMinimized   ? swShowMinimized
                        : states & Qt::WindowMaximized ? swShowMaximized
                                                       : swShowNormal;
    placement.minPosition = minPosition_;
    placement.maxPosition = maxPosition_;
    const bool special = states & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    QRect normal;
    // Asked for but not framed yet, and not moved since: the asked-for one.
    if (pendingOuter_.isValid() && (special || geometry() == pendingClient_))
        normal = pendingOuter_;
    else if (special && windowState() != Qt::WindowNoState)
        normal = normalGeometry().isValid() ? outerRect(normalGeometry()) : frameGeometry();
    else
        normal = frameGeometry();
    placement.normalPosition = toTRect(normal);
    return placement;
}

void MainWindow::setPlacement(const WindowPlacement& placement)
{
    minPosition_ = placement.minPosition;
    maxPosition_ = placement.maxPosition;
    // Every restore ends here, the first run's too: a rectangle that does
    // not fit the screen is moved, at its size, to where it can be reached.
    const std::optional<Rect> area = availableArea(placement.normalPosition);
    const QRect outer = toQRect(area ? moveInside(placement.normalPosition, *area) : placement.normalPosition);
    const Qt::WindowStates state = currentStates();
    const Qt::WindowStates special = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if ((state & special) && isVisible()) {
        // Qt keeps the normal rectangle of a maximised window to itself:
        // the window goes back to normal for the move and returns.
        applyStates(state & ~special);
        applyOuterRect(outer);
        applyStates(state);
    } else {
        applyOuterRect(outer);
    }
    switch (placement.showCmd) {
    case swShowNormal:
        setPlacementState(WindowState::normal);
        show();
        break;
    case swShowMinimized:
        setPlacementState(WindowState::minimized);
        show();
        break;
    case swShowMaximized:
        setPlacementState(WindowState::maximized);
        show();
        break;
    default: break;
    }
}

Rect MainWindow::boundsRect() const
{
    return toTRect(frameGeometry());
}

Size MainWindow::screenSize() const
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return {};
    const QSize size = primary->size();
    const qreal ratio = primary->devicePixelRatio();
    return {qRound(size.width() * ratio), qRound(size.height() * ratio)};
}

int MainWindow::pixelsPerInch() const
{
    const QScreen* current = screen();
    return current ? qRound(current->logicalDotsPerInch()) : 96;
}

Size MainWindow::frameMetrics() const
{
    return {frameMargins_.left(), frameMargins_.bottom()};
}

WindowState MainWindow::placementState() const
{
    const Qt::WindowStates states = currentStates();
    if (states & Qt::WindowMinimized)
        return WindowState::minimized;
    if (states & Qt::WindowMaximized)
        return WindowState::maximized;
    return WindowState::normal;
}

void MainWindow::setPlacementState(WindowState state)
{
    Qt::WindowStates states = currentStates() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (state == WindowState::minimized)
        states |= Qt::WindowMinimized;
    else if (state == WindowState::maximized)
        states |= Qt::WindowMaximized;
    applyStates(states);
}

Qt::WindowStates MainWindow::currentStates() const
{
    return !isVisible() && hiddenStates_ ? *hiddenStates_ : windowState();
}

void MainWindow::applyStates(Qt::WindowStates states)
{
    // A hidden window only notes its state: switching a hidden window back
    // and forth leaves the window system answering late and out of order.
    if (!isVisible()) {
        hiddenStates_ = states;
        return;
    }
    setWindowState(states);
}

void MainWindow::applyHiddenStates()
{
    if (!hiddenStates_)
        return;
    const Qt::WindowStates states = *hiddenStates_;
    hiddenStates_.reset();
    if (states == windowState())
        return;
    // A hidden window's rectangle reaches the window system only when it is
    // shown; the system must have it before the window leaves the normal
    // state, as that is what it gives back when the window returns to it.
    if (windowState() == Qt::WindowNoState && (states & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QRect outer = pendingOuter_.isValid() ? pendingOuter_ : frameGeometry();
        create();
        windowHandle()->setFramePosition(outer.topLeft());
        windowHandle()->resize(size());
    }
    setWindowState(states);
}

void MainWindow::minimizeApplication()
{
    QTimer::singleShot(0, this, [this] { setWindowState(windowState() | Qt::WindowMinimized); });
}

}  // namespace abm
