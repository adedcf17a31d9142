#include "MainWindow.h"

#include "DialogPrompts.h"
#include "ImageLists.h"
#include "PreviewView.h"
#include "StripView.h"
#include "workspace/StripLayout.h"
#include "ThumbnailWidget.h"
#include "WindowPlacer.h"
#include "OptionsDialog.h"
#include "NumberField.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
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

}  // namespace

MainWindow::MainWindow(std::vector<std::string> arguments, UserPrompts* prompts)
    : arguments_(std::move(arguments)),
      ownPrompts_(prompts ? nullptr : std::make_unique<DialogPrompts>(this)),
      prompts_(prompts ? prompts : ownPrompts_.get()),
      placer_(std::make_unique<WindowPlacer>(*this)),
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

    placementStore = std::make_unique<WindowSettingsStore>(*placer_);
    placementStore->setOnError([](const std::exception& error) { showError(error); });
    placementStore->windowBuilt();

    run([this] { createWorkspace(); });
    timer->start();
}

MainWindow::~MainWindow()
{
    timer->stop();
    runHandler([this] {
        // The placement when no close saved it, then the pictures.
        placementStore->saveOnDestroy();
        releaseSources();
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

    previewArea = new PreviewView(splitter);

    splitter->addWidget(stripView);
    splitter->addWidget(previewArea);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->installEventFilter(this);
    splitter->handle(1)->installEventFilter(this);
    connect(splitter, &QSplitter::splitterMoved, this,
            [this](int position, int) { run([this, position] { stripHeight_ = position; }); });

    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar"));
    bar->setFixedHeight(19);
    frameCountPanel = makeStatusPanel(bar, "StatusPanel0", Qt::AlignHCenter);
    statusPanel = makeStatusPanel(bar, "StatusPanel1", Qt::AlignLeft);

    setTabOrder(toolBar, stripView);
    setTabOrder(stripView, previewArea);

    placer_->applyOuterRect(QRect(kDesignedLeft, kDesignedTop, kDesignedWidth, kDesignedHeight));
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

    connect(openAction, &QAction::triggered, this, [this] { run([this] { model->commands.openPictures(); }); });
    connect(exportBmpAction, &QAction::triggered, this, [this] { run([this] { model->commands.exportBmp(); }); });
    connect(saveAbmAction, &QAction::triggered, this, [this] { run([this] { model->commands.saveAbm(); }); });
    connect(optionsAction, &QAction::triggered, this, [this] { run([this] { showOptions(); }); });
    connect(clearAction, &QAction::triggered, this, [this] { run([this] { model->commands.clear(); }); });
    connect(deleteAction, &QAction::triggered, this, [this] { run([this] { deleteFrame(); }); });

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
    // Only imports, clear and delete change whether there is anything to
    // save; a rebuild keeps the count.
    const bool canSave = model && model->commands.canSave();
    for (QAction* a : {exportBmpAction, saveAbmAction, clearAction})
        a->setEnabled(canSave);
    // A button bound to an action takes the action's hint again whenever
    // the action changes, so its own tooltip is put back after every change.
    if (QWidget* button = toolBar->widgetForAction(exportBmpAction))
        button->setToolTip(QString::fromUtf8(kSaveBmpButtonHint));
}

void MainWindow::createWorkspace()
{
    optionsDialog = new OptionsDialog;
    model = std::make_unique<Workspace>(*optionsDialog, *prompts_, *placementStore);
    model->commands.onCountShown = [this] { frameCountPanel->setText(QString::number(model->strip.count())); };
    model->commands.onStripFitted = [this] {
        if (!model->strip.empty())
            stripHeight_ = StripLayout::stripHeight(model->strip.frame(0).height);
    };
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
        model->strip.clear();
}

void MainWindow::showOptions()
{
    if (!optionsDialog)
        return;
    const FrameStrip& strip = model->strip;
    if (!strip.empty()) {
        const Frame& first = strip.frame(0);
        optionsDialog->widthField->edit->setText(QString::number(first.width));
        optionsDialog->heightField->edit->setText(QString::number(first.height));
    }
    if (optionsDialog->exec() == QDialog::Accepted)
        model->commands.applyOptions();
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
    previewArea->showPicture(model->player.preview);
}

void MainWindow::syncFromModel()
{
    if (!model)
        return;
    const uint64_t generation = model->strip.generation();
    if (generation == shownGeneration_ && stripHeight_ == shownStripHeight_)
        return;
    if (generation != shownGeneration_) {
        shownGeneration_ = generation;
        stripView->showStrip(&model->strip);
        updateActions();
    }
    shownStripHeight_ = stripHeight_;
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
    const int height = std::clamp(stripHeight_, 0, total);
    if (splitter->sizes().value(0) != height || splitter->sizes().value(1) != total - height)
        splitter->setSizes({height, total - height});
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
    case QEvent::WindowStateChange:
        placer_->noteFrameMargins();
        break;
    default:
        break;
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
    if (event->type() == QEvent::Resize && watched == splitter)
        applyStripHeight();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::readSettings()
{
    runHandler([this] { placementStore->restoreOnShow(); });
}

void MainWindow::writeSettings()
{
    runHandler([this] { placementStore->saveOnClose(); });
}

}  // namespace abm
