#pragma once

// The main window: tool bar, the strip of thumbnails, the preview and the
// status bar, and the six commands. It mirrors the workspace model and owns
// none of the logic: every handler runs the model's command inside the
// standard error box's wrapper and then rebuilds whatever view changed.

#include "settings/WindowSettingsStore.h"
#include "ErrorBox.h"
#include "workspace/Workspace.h"

#include <QIcon>
#include <QMainWindow>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QDrag;
class QDragMoveEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QScrollArea;
class QSplitter;
class QTimer;
class QToolBar;

namespace abm {

class OptionsDialog;
class PreviewView;
class StripView;
class ThumbnailWidget;

class WindowPlacer;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Создание анимашек для Samsung - SGH-C100";
    static constexpr const char* kSaveBmpButtonHint = "Сохранить все кадры как BMP";
    // The outer bounds on the first run, where they fit the screen (else
    // moved inside at this size).
    static constexpr int kDesignedLeft = 602;
    static constexpr int kDesignedTop = 479;
    static constexpr int kDesignedWidth = 542;
    static constexpr int kDesignedHeight = 381;
    static constexpr int kInitialStripHeight = 110;

    // `arguments` are the command line after the program name. `prompts`
    // replaces the real dialogs when given (scripted runs); it must outlive
    // the window.
    explicit MainWindow(std::vector<std::string> arguments, UserPrompts* prompts = nullptr);
    ~MainWindow() override;

    // Components, by their layout names.
    QToolBar* toolBar = nullptr;
    StripView* stripView = nullptr;
    QSplitter* splitter = nullptr;
    PreviewView* previewArea = nullptr;
    QLabel* frameCountPanel = nullptr;
    QLabel* statusPanel = nullptr;
    QMenu* popupMenu = nullptr;
    QTimer* timer = nullptr;
    QAction* openAction = nullptr;
    QAction* exportBmpAction = nullptr;
    QAction* saveAbmAction = nullptr;
    QAction* optionsAction = nullptr;
    QAction* clearAction = nullptr;
    QAction* deleteAction = nullptr;
    std::vector<QIcon> commandIcons;
    std::vector<QIcon> animatedIcons;
    std::unique_ptr<WindowSettingsStore> placementStore;
    // Made by createWorkspace without an owner, destroyed by destroyOptionsDialog.
    OptionsDialog* optionsDialog = nullptr;
    std::unique_ptr<Workspace> model;

    void createWorkspace();
    void destroyOptionsDialog();
    void releaseSources();
    void showOptions();
    void deleteFrame();
    void tick();

    // Runs one handler: the view follows the model, also before an error
    // goes to the standard error box, whose event loop repaints the strip.
    template <class Handler>
    void run(Handler&& handler)
    {
        runHandler([&] {
            try {
                handler();
            } catch (...) {
                syncFromModel();
                throw;
            }
        });
        syncFromModel();
    }

    // The thumbnails on screen, in strip order: those the strip's viewport shows.
    const std::vector<ThumbnailWidget*>& thumbnails() const;
    // Where the thumbnails are placed.
    QWidget* stripContent() const;
    // The animatedIcons picture the last tick made the application icon, or -1.
    int iconIndexShown() const { return iconIndexShown_; }
    // The frame the pop-up menu's commands act on, -1 for none; it is gone
    // once the strip changes.
    int popupFrame() const { return popupFrame_; }
    void setPopupFrame(int index);
    // The height the strip is given (the splitter's first part).
    int stripHeight() const { return stripHeight_; }

    // How a started drag runs; QDrag::exec unless replaced (tests deliver
    // the drag's events themselves on platforms without a drag).
    using DragExec = std::function<Qt::DropAction(QDrag&)>;
    void setDragExec(DragExec exec) { dragExec_ = std::move(exec); }

public slots:
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createLayout();
    void createActions();
    void updateActions();
    void syncFromModel();
    void applyStripHeight();
    void showPreview();

    void startDrag(ThumbnailWidget* sender);
    void thumbnailPopup(ThumbnailWidget* sender, const QPoint& globalPos);
    void thumbnailDraggedOver(ThumbnailWidget* target, QDragMoveEvent* event);
    void thumbnailDropped(ThumbnailWidget* target, QDropEvent* event);

    // The window's placement from the settings file, before it first
    // shows; into it once the window agreed to close.
    void readSettings();
    void writeSettings();

    std::vector<std::string> arguments_;
    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts* prompts_;
    std::unique_ptr<WindowPlacer> placer_;
    uint64_t shownGeneration_ = ~uint64_t{0};
    int iconIndexShown_ = -1;

    DragExec dragExec_;
    // Frames by index, each with the strip's generation it was taken at.
    int dragSource_ = -1;
    int dropTarget_ = -1;
    bool dropped_ = false;
    int popupFrame_ = -1;
    uint64_t pointedGeneration_ = 0;
    int stripHeight_ = kInitialStripHeight;
    int shownStripHeight_ = -1;
};

}  // namespace abm
