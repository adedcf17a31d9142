#pragma once

// The main window: tool bar, the strip of thumbnails, the preview and the
// status bar, and the six commands. It mirrors the workspace model and owns
// none of the logic: every handler runs the model's command inside the
// standard error box's wrapper, then reads the model and updates whatever
// part of the window no longer matches it (syncFromModel).

#include "settings/WindowSettingsStore.h"
#include "ErrorBox.h"
#include "workspace/Workspace.h"

#include <QIcon>
#include <QMainWindow>

#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLabel;
class QSessionManager;
class QUndoStack;
class QMenu;
class QScrollArea;
class QSplitter;
class QTimer;
class QToolBar;

namespace abm {

class OptionsDialog;
class PreviewView;
class StripHistory;
class StripStep;
class StripView;
class ThumbnailWidget;

class WindowPlacer;

class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    static constexpr const char* kCaption = "Создание анимашек для Samsung - SGH-C100";
    static constexpr const char* kSaveBmpButtonHint = "Сохранить все кадры как BMP";
    // In the status bar's second panel for kNoticeMs after a GIF imported
    // opaque turned out to have transparent pixels in later images.
    static constexpr const char* kTransparentGifHint =
        "В GIF есть прозрачные кадры: включите «Загружать GIF как прозрачный» в настройках";
    static constexpr int kNoticeMs = 10000;
    // After a save, in the same panel for as long.
    static constexpr const char* kSavedAbmNotice = "Сохранено: %1";
    static constexpr const char* kSavedBmpNotice = "Сохранено кадров: %1";
    // In that panel while no notice shows and the strip holds more frames
    // than an ABM file takes.
    static constexpr const char* kLeftOutNote = "В ABM сохранятся только первые 4 кадра из %1";
    // Asked on closing while the strip holds frames not saved.
    static constexpr const char* kSaveQuestion = "Сохранить анимацию перед выходом?";
    // The outer bounds on the first run, where they fit the screen (else
    // moved inside at this size).
    static constexpr int kDesignedLeft = 602;
    static constexpr int kDesignedTop = 479;
    static constexpr int kDesignedWidth = 542;
    static constexpr int kDesignedHeight = 381;

    // `arguments` are the command line after the program name. `prompts`
    // replaces the real dialogs when given (scripted runs); it must outlive
    // the window.
    explicit MainWindow(std::vector<std::string> arguments, UserPrompts* prompts = nullptr);
    ~MainWindow() override;

    // What the window drives; nullptr only if building it failed.
    Workspace* model() const { return model_.get(); }
    // Made without an owner by the first options command; gone once the
    // window closed, and never made again.
    OptionsDialog* optionsDialog() const { return optionsDialog_.get(); }
    WindowSettingsStore* placementStore() const { return placementStore_.get(); }
    // The command pictures by CommandIcon, and the animated application
    // icon (loaded when first asked for: the first tick, not the start).
    const std::vector<QIcon>& commandIcons() const { return commandIcons_; }
    const std::vector<QIcon>& animatedIcons() const;

    // One step of the preview and the animated icon, as the timer runs it.
    void tick();

    // Every change of the strip, one step each.
    QUndoStack* undoStack() const { return undoStack_; }
    // Sets the strip to a step's state after it (`forward`) or before it;
    // the undo stack's commands call it.
    void moveThroughHistory(const StripStep& step, bool forward);

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
    // The height the strip is given (the splitter's first part).
    int stripHeight() const;

public slots:
    void setVisible(bool visible) override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Files dragged from a file manager import as the open command's do.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void createWorkspace();
    void destroyOptionsDialog();
    void releaseSources();
    void showOptions();
    void deleteFrame();
    void createLayout();
    void createActions();
    void createEditActions();
    void createMenus();
    void updateActions();
    void updateEditActions();
    // A change of the strip's frames since the last look goes on the undo stack.
    void recordChange();
    // The strip became a file's: no unsaved changes, and a save says so.
    void noteFileMarks(const StripDisplay& display);
    void deleteSelected();
    // Whether the window may close: asks first while the strip holds frames
    // changed since they were last saved or opened.
    bool mayClose();
    // Settles the session manager's question: the session ends only when
    // nothing unsaved would be lost.
    void commitData(QSessionManager& manager);
    void showStatusText();
    void syncFromModel();
    void applyStripHeight();
    void showPreview();
    // Shows `text` in the second status panel, widened to it for as long
    // as it shows, then gives the panel back its own width.
    void showNotice(const QString& text);
    void endNotice();

    // The window's placement from the settings file, before it first
    // shows; into it once the window agreed to close.
    void readSettings();
    void writeSettings();

    QToolBar* toolBar_ = nullptr;
    StripView* stripView_ = nullptr;
    QSplitter* splitter_ = nullptr;
    PreviewView* previewArea_ = nullptr;
    QLabel* frameCountPanel_ = nullptr;
    QLabel* statusPanel_ = nullptr;
    QMenu* popupMenu_ = nullptr;
    QTimer* timer_ = nullptr;
    QTimer* noticeTimer_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* exportBmpAction_ = nullptr;
    QAction* saveAbmAction_ = nullptr;
    QAction* optionsAction_ = nullptr;
    QAction* clearAction_ = nullptr;
    QAction* deleteAction_ = nullptr;
    QAction* quitAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* deleteSelectedAction_ = nullptr;
    QAction* fitPhoneAction_ = nullptr;
    QAction* selectAllAction_ = nullptr;
    QAction* unselectAction_ = nullptr;
    QUndoStack* undoStack_ = nullptr;
    std::vector<QIcon> commandIcons_;
    mutable std::vector<QIcon> animatedIcons_;
    std::unique_ptr<WindowSettingsStore> placementStore_;
    std::unique_ptr<OptionsDialog> optionsDialog_;
    bool optionsDialogGone_ = false;
    std::unique_ptr<Workspace> model_;
    // Watches model_'s strip, so it goes first.
    std::unique_ptr<StripHistory> history_;

    std::vector<std::string> arguments_;
    std::unique_ptr<UserPrompts> ownPrompts_;
    UserPrompts* prompts_;
    std::unique_ptr<WindowPlacer> placer_;
    uint64_t shownGeneration_ = ~uint64_t{0};
    int iconIndexShown_ = -1;
    int shownStripHeight_ = -1;
    int shownNotices_ = 0;
    int shownFileMarks_ = 0;
    // The notice shown in the second panel until its timer ends.
    QString notice_;
};

}  // namespace abm
