#pragma once

// What the main window's tests share: a window with the preview timer in
// the test's hands, the workspace alone as a reference, and a fixture with a
// private home and a folder per test.

#include "GuiTestSupport.h"
#include "ModalScript.h"
#include "app/DialogPrompts.h"
#include "app/MainWindow.h"
#include "workspace/StripLayout.h"
#include "app/RasterView.h"
#include "app/StripView.h"
#include "app/ThumbnailWidget.h"
#include "base/ProgramFile.h"
#include "app/OptionsDialog.h"
#include "app/NumberField.h"
#include "app/ImageLists.h"
#include "tests/workspace/MemorySettings.h"
#include "tests/workspace/ScriptedPrompts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QStyleFactory>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace abm;
using namespace abm::test;

namespace abm::test {

inline const QString kCaption = QString::fromUtf8(MainWindow::kCaption);

// A form whose preview timer is driven by the test, one tick at a time.
inline std::unique_ptr<MainWindow> makeForm(const std::vector<std::string>& arguments = {})
{
    auto form = std::make_unique<MainWindow>(arguments);
    part<QTimer>(*form, "Timer")->stop();
    return form;
}

inline void tickOnce(MainWindow& form)
{
    form.run([&] { form.tick(); });
}

inline bool sameRaster(const Raster& a, const Raster& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat())
        return false;
    const size_t rowBytes = static_cast<size_t>(a.width()) * static_cast<size_t>(a.bitsPerPixel()) / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.row(y), b.row(y), rowBytes) != 0)
            return false;
    return true;
}

// The workspace without a window, fed the same way, as the reference.
struct Reference {
    FrameOptions options;
    ScriptedPrompts prompts;
    MemorySettings settings;
    Workspace workspace{options, prompts, settings};
};

inline QStringList comboTexts(QWidget* window)
{
    QStringList texts;
    if (auto* combo = window->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    return texts;
}

// The strip's viewport on screen against what it must show: every frame's
// raster from the frame's corner, inside its thumbnail, over the strip's
// background, later frames on top, selected and left-out frames marked.
inline void checkStripShowsRasters(MainWindow& form)
{
    auto* view = part<StripView>(form, "ScrollBoxSource");
    QWidget* viewport = view->viewport();
    const QImage shot = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage expected(shot.size(), QImage::Format_RGB32);
    expected.fill(view->palette().color(view->backgroundRole()));
    const int64_t scroll = view->horizontalScrollBar()->value();
    const FrameStrip& strip = form.model()->strip;
    for (int i = 0; i < strip.count(); ++i) {
        const Frame& t = strip.frame(i);
        const int64_t left = StripLayout::thumbnail(i, t.width, t.height).left - scroll;
        const int64_t right = std::min<int64_t>(left + std::min(t.width, t.picture.width()), expected.width());
        const int bottom = std::min({t.height, t.picture.height(), expected.height()});
        for (int y = 0; y < bottom; ++y)
            for (int64_t x = std::max<int64_t>(0, left); x < right; ++x)
                expected.setPixel(static_cast<int>(x), y, expand565(pixel16(t.picture, static_cast<int>(x - left), y)));
    }
    QPainter painter(&expected);
    for (const ThumbnailWidget* shown : form.thumbnails()) {
        const bool selected = view->selection().contains(shown->index()), leftOut = shown->index() >= kMaxAbmFrames;
        if (selected || leftOut) {
            painter.setClipRect(shown->geometry());
            painter.translate(shown->pos());
            ThumbnailWidget::paintMarks(painter, shown->rect(), shown->palette(), selected, leftOut);
            painter.resetTransform();
        }
    }
    painter.end();
    QCOMPARE(shot, expected);
}

// Each test program's fixture: a private home for the whole run, a fresh
// folder per test, no remembered folders between tests.
class WindowFixture {
protected:
    std::unique_ptr<TestHome> home_;
    std::unique_ptr<QTemporaryDir> dir_;

    QString testFile(const QString& name) const { return dir_->filePath(name); }
    // An ABM file of solid frames in the given 16-bit colours.
    QString solidAbm(const QString& name, const std::vector<uint16_t>& colours, int width = 40, int height = 30)
    {
        std::vector<PixelFunction> frames;
        for (uint16_t c : colours)
            frames.push_back(solid(c));
        writeAbm(testFile(name), width, height, frames);
        return testFile(name);
    }
    static std::vector<uint16_t> firstPixels(const MainWindow& form)
    {
        std::vector<uint16_t> pixels;
        // The frames' own pixels, in the order shown: frames after the
        // fourth show dimmed (checkStripShowsRasters checks what is shown).
        for (ThumbnailWidget* thumbnail : form.thumbnails())
            pixels.push_back(pixel16(form.model()->strip.frame(thumbnail->index()).picture, 0, 0));
        return pixels;
    }

    void startRun()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setApplicationName(kCaption);
    }
    void startTest() { dir_ = std::make_unique<QTemporaryDir>(); }
    void endTest()
    {
        // Every test starts without remembered folders.
        QFile::remove(QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                          .filePath(QString::fromStdString(defaultIniFileName(programFilePath()))));
    }
};

}  // namespace abm::test
