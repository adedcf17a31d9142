// The main window driven offscreen: start-up, command-line import, the
// commands with their real boxes and dialogs, drag-reordering, the preview
// and the standard error box.

#include "GuiTestSupport.h"
#include "ModalScript.h"
#include "app/DialogPrompts.h"
#include "app/MainWindow.h"
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

namespace {

const QString kCaption = QString::fromUtf8(MainWindow::kCaption);

// A form whose preview timer is driven by the test, one tick at a time.
std::unique_ptr<MainWindow> makeForm(const std::vector<std::string>& arguments = {})
{
    auto form = std::make_unique<MainWindow>(arguments);
    form->timer->stop();
    return form;
}

void tickOnce(MainWindow& form)
{
    form.run([&] { form.tick(); });
}

bool sameRaster(const Raster& a, const Raster& b)
{
    if (a.width() != b.width() || a.height() != b.height() || a.pixelFormat() != b.pixelFormat())
        return false;
    const size_t rowBytes = static_cast<size_t>(a.width()) * static_cast<size_t>(a.bitsPerPixel()) / 8;
    for (int y = 0; y < a.height(); ++y)
        if (std::memcmp(a.scanLine(y), b.scanLine(y), rowBytes) != 0)
            return false;
    return true;
}

// The workspace without a window, fed the same way, as the reference.
struct Reference {
    FrameOptionValues options;
    ScriptedPrompts prompts;
    MemorySettings settings;
    Workspace workspace{options, prompts, settings};
};

QStringList comboTexts(QWidget* window)
{
    QStringList texts;
    if (auto* combo = window->findChild<QComboBox*>(QStringLiteral("fileTypeCombo")))
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
    return texts;
}

// The strip's viewport on screen against what it must show: every frame's
// raster from the frame's corner, inside its thumbnail, over the strip's
// background, later frames on top.
void checkStripShowsRasters(MainWindow& form)
{
    QWidget* viewport = form.stripView->viewport();
    const QImage shot = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QImage expected(shot.size(), QImage::Format_RGB32);
    expected.fill(form.stripView->palette().color(form.stripView->backgroundRole()));
    const int64_t scroll = form.stripView->horizontalScrollBar()->value();
    const FrameStrip& strip = form.model->strip;
    for (int i = 0; i < strip.count(); ++i) {
        const Thumbnail& t = strip.thumbnail(i);
        const int64_t left = t.left - scroll;
        const int64_t right = std::min<int64_t>(left + std::min(t.width, t.picture.width()), expected.width());
        const int bottom = std::min({t.top + t.height, t.top + t.picture.height(), expected.height()});
        for (int y = std::max(0, t.top); y < bottom; ++y)
            for (int64_t x = std::max<int64_t>(0, left); x < right; ++x)
                expected.setPixel(static_cast<int>(x), y,
                                  expand565(pixel16(t.picture, static_cast<int>(x - left), y - t.top)));
    }
    QCOMPARE(shot, expected);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

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
        for (ThumbnailWidget* thumbnail : form.thumbnails())
            pixels.push_back(pixel16(shown16(thumbnail), 0, 0));
        return pixels;
    }

private slots:
    void initTestCase()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setApplicationName(kCaption);
    }
    void init() { dir_ = std::make_unique<QTemporaryDir>(); }
    void cleanup()
    {
        // Every test starts without remembered folders.
        QFile::remove(QDir(qEnvironmentVariable("XDG_CONFIG_HOME"))
                          .filePath(QString::fromStdString(defaultIniFileName(programFilePath()))));
    }

    void layoutMatchesDesign()
    {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        QCOMPARE(form->windowTitle(), kCaption);
        QCOMPARE(form->frameGeometry(), QRect(602, 479, 542, 381));

        QCOMPARE(form->toolBar->height(), 34);
        QCOMPARE(form->toolBar->actions(), (QList<QAction*>{form->clearAction, form->openAction, form->exportBmpAction,
                                                            form->saveAbmAction, form->optionsAction}));
        for (QAction* action : form->toolBar->actions()) {
            auto* button = qobject_cast<QToolButton*>(form->toolBar->widgetForAction(action));
            QVERIFY(button);
            QCOMPARE(button->size(), QSize(31, 30));
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
            QVERIFY(button->autoRaise());
            const QString hint =
                action == form->exportBmpAction ? QStringLiteral("Сохранить все кадры как BMP") : action->text();
            QCOMPARE(button->toolTip(), hint);
        }

        QCOMPARE(form->stripView->height(), 110);
        QCOMPARE(form->stripView->frameShape(), QFrame::NoFrame);
        QCOMPARE(form->stripView->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(form->stripView->mapTo(form.get(), QPoint(0, 0)).y(),
                 form->toolBar->mapTo(form.get(), QPoint(0, 0)).y() + 34);
        QCOMPARE(form->stripView->width(), form->centralWidget()->width());

        QCOMPARE(form->splitter->orientation(), Qt::Vertical);
        // The bar: 2 pixels between the strip and the preview box, black.
        QSplitterHandle* handle = form->splitter->handle(1);
        QCOMPARE(form->previewArea->y() - (form->stripView->y() + form->stripView->height()), 2);
        QCOMPARE(handle->contentsRect().height(), 2);
        QCOMPARE(handle->cursor().shape(), Qt::SplitVCursor);
        const QImage shot = form->grab().toImage();
        const QPoint below = form->stripView->mapTo(form.get(), QPoint(10, form->stripView->height()));
        QCOMPARE(QColor(shot.pixel(below)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(below + QPoint(0, 1))), QColor(Qt::black));
        QVERIFY(QColor(shot.pixel(below + QPoint(0, 2))) != QColor(Qt::black));
        QVERIFY(QColor(shot.pixel(below - QPoint(0, 1))) != QColor(Qt::black));

        QCOMPARE(form->previewArea->frameShape(), QFrame::NoFrame);
        QCOMPARE(form->previewCaption->text(), QStringLiteral(" Предварительный просмотр:"));
        QCOMPARE(form->previewCaption->geometry(), QRect(0, 0, form->previewArea->viewport()->width(), 17));
        QCOMPARE(form->preview->geometry(), QRect(16, 32, 130, 99));

        QCOMPARE(form->statusBar()->height(), 19);
        QCOMPARE(form->frameCountPanel->width(), 50);
        QCOMPARE(form->statusPanel->width(), 50);
        QVERIFY(form->frameCountPanel->alignment() & Qt::AlignHCenter);
        QVERIFY(form->statusPanel->alignment() & Qt::AlignLeft);
        QVERIFY(form->frameCountPanel->x() < form->statusPanel->x());

        const QList<QAction*> menus = form->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("Файл"));
        QCOMPARE(menus[0]->menu()->actions(),
                 (QList<QAction*>{form->openAction, form->exportBmpAction, form->saveAbmAction}));
        QCOMPARE(menus[1]->text(), QStringLiteral("Правка"));
        QCOMPARE(menus[1]->menu()->actions(), QList<QAction*>{form->optionsAction});
        QCOMPARE(form->popupMenu->actions(), (QList<QAction*>{form->deleteAction, form->clearAction}));

        // Tab order: tool bar, strip, preview box.
        std::vector<QWidget*> order;
        QWidget* w = form.get();
        do {
            if (w == form->toolBar || w == form->stripView || w == form->previewArea)
                order.push_back(w);
            w = w->nextInFocusChain();
        } while (w != form.get());
        QCOMPARE(order, (std::vector<QWidget*>{form->toolBar, form->stripView, form->previewArea}));
    }

    void actionsMatchTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("enabledAtStart");
        QTest::addColumn<bool>("iconInMenu");
        // clang-format off
        QTest::newRow("OpenGifA") << "OpenGifA" << "Открыть" << int(CommandIcon::Open) << true << false;
        QTest::newRow("SaveBmpA") << "SaveBmpA" << "Сохранить как BMP" << int(CommandIcon::SaveBmp) << false << false;
        QTest::newRow("SaveToFileA") << "SaveToFileA" << "Сохранить как ABM" << int(CommandIcon::SaveAbm) << false << false;
        QTest::newRow("OptionsA") << "OptionsA" << "Настройка" << int(CommandIcon::Options) << true << false;
        QTest::newRow("ClearA") << "ClearA" << "Очистить" << int(CommandIcon::Clear) << false << true;
        QTest::newRow("DeleteA") << "DeleteA" << "Удалить" << int(CommandIcon::Delete) << true << true;
        // clang-format on
    }

    void actionsMatchTable()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        QFETCH(bool, enabledAtStart);
        QFETCH(bool, iconInMenu);
        auto form = makeForm();
        auto* action = form->findChild<QAction*>(name);
        QVERIFY(action);
        QCOMPARE(action->text(), caption);
        QCOMPARE(action->toolTip(), caption);
        QCOMPARE(action->icon().cacheKey(), form->commandIcons.at(static_cast<size_t>(icon)).cacheKey());
        QCOMPARE(action->isEnabled(), enabledAtStart);
        QVERIFY(action->shortcuts().isEmpty());
        QCOMPARE(action->isIconVisibleInMenu(), iconInMenu);
        QCOMPARE(form->commandIcons.size(), size_t{6});
        QVERIFY(!form->commandIcons[static_cast<size_t>(icon)].pixmap(QSize(24, 24)).isNull());
    }

    void startsEmptyWithoutArguments()
    {
        auto form = std::make_unique<MainWindow>(std::vector<std::string>{});
        QVERIFY(form->timer->isActive());
        QCOMPARE(form->timer->interval(), 700);
        QCOMPARE(form->model->strip.count(), 0);
        QVERIFY(form->thumbnails().empty());
        QCOMPARE(form->frameCountPanel->text(), QString());
        QCOMPARE(form->statusPanel->text(), QString());
        QVERIFY(!form->exportBmpAction->isEnabled());
        QVERIFY(!form->saveAbmAction->isEnabled());
        QVERIFY(!form->clearAction->isEnabled());
        QVERIFY(form->openAction->isEnabled());
        QVERIFY(form->optionsAction->isEnabled());
        QVERIFY(form->deleteAction->isEnabled());
        QVERIFY(form->optionsDialog);
        QVERIFY(!form->optionsDialog->isVisible());
        QVERIFY(!form->optionsDialog->parent());
    }

    void importsFileNamedOnCommandLine_data()
    {
        QTest::addColumn<QString>("file");
        // clang-format off
        QTest::newRow("gif") << corpus("gif/wuffs/animated-red-blue.gif");
        QTest::newRow("bmp") << corpus("bmp/bmpsuite/g/rgb24.bmp");
        QTest::newRow("jpeg") << corpus("jpeg/libjpeg-turbo/testorig.jpg");
        QTest::newRow("abm") << QString();
        // clang-format on
    }

    void importsFileNamedOnCommandLine()
    {
        QFETCH(QString, file);
        if (file.isEmpty()) {
            writeAbm(testFile(QStringLiteral("three.abm")), 50, 40, {pattern(0), pattern(1), pattern(2)});
            file = testFile(QStringLiteral("three.abm"));
        }
        QVERIFY2(QFile::exists(file), qPrintable(file));

        Reference reference;
        reference.workspace.start({native(file)});
        const FrameStrip& expected = reference.workspace.strip;
        QVERIFY(expected.count() > 0);

        auto form = makeForm({native(file)});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const FrameStrip& strip = form->model->strip;
        QCOMPARE(strip.count(), expected.count());
        QCOMPARE(form->frameCountPanel->text(), QString::number(expected.count()));
        QVERIFY(form->exportBmpAction->isEnabled());
        QVERIFY(form->saveAbmAction->isEnabled());
        QVERIFY(form->clearAction->isEnabled());
        // The button keeps its own hint when its action changes.
        QCOMPARE(form->toolBar->widgetForAction(form->exportBmpAction)->toolTip(),
                 QStringLiteral("Сохранить все кадры как BMP"));
        QCOMPARE(form->thumbnails().size(), static_cast<size_t>(expected.count()));
        for (int i = 0; i < expected.count(); ++i) {
            const Thumbnail& image = strip.thumbnail(i);
            QVERIFY(sameRaster(image.picture, expected.thumbnail(i).picture));
            const ThumbnailWidget* shown = form->thumbnails()[static_cast<size_t>(i)];
            QCOMPARE(shown->parentWidget(), form->stripContent());
            QCOMPARE(shown->geometry(), QRect(i * 3 + i * image.width, 0, image.width, image.height));
        }
        checkStripShowsRasters(*form);
        // Child order is strip order.
        QList<ThumbnailWidget*> children =
            form->stripContent()->findChildren<ThumbnailWidget*>(Qt::FindDirectChildrenOnly);
        QCOMPARE(std::vector<ThumbnailWidget*>(children.begin(), children.end()), form->thumbnails());
    }

    void joinsPathSplitAtBlanks()
    {
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("my pictures")));
        const QString path = testFile(QStringLiteral("my pictures/an anim.gif"));
        QVERIFY(QFile::copy(corpus("gif/wuffs/animated-red-blue.gif"), path));
        const std::string folder = native(dir_->path());
        auto form = makeForm({folder + "/my", "pictures/an", "anim.gif"});
        QVERIFY(form->model->strip.count() > 0);
        QCOMPARE(form->frameCountPanel->text(), QString::number(form->model->strip.count()));
        QVERIFY(form->exportBmpAction->isEnabled());
    }

    void opensEmptyWhenPathDoesNotExist()
    {
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("Cancel")));
        auto form = makeForm({native(testFile(QStringLiteral("missing.gif")))});
        QCoreApplication::processEvents();
        QVERIFY(script.seen.empty());
        QCOMPARE(form->model->strip.count(), 0);
        QCOMPARE(form->frameCountPanel->text(), QString());
        QVERIFY(!form->exportBmpAction->isEnabled());
        QVERIFY(!form->saveAbmAction->isEnabled());
        QVERIFY(!form->clearAction->isEnabled());
    }

    void stripShowsRasterPixels_data()
    {
        QTest::addColumn<QList<QSize>>("sizes");  // one ABM of three frames each, opened in this order
        QTest::addColumn<int>("times");           // how often that list is opened
        QTest::addColumn<int>("scroll");          // -1: to the end
        // clang-format off
        QTest::newRow("at the start") << QList<QSize>{{40, 30}} << 1 << 0;
        QTest::newRow("smaller frames under auto-size") << QList<QSize>{{60, 40}, {40, 30}} << 1 << 0;
        QTest::newRow("scrolled part way") << QList<QSize>{{40, 30}} << 12 << 500;
        QTest::newRow("scrolled to the end") << QList<QSize>{{40, 30}} << 12 << -1;
        QTest::newRow("frame wider than the reach") << QList<QSize>{{5000, 20}} << 1 << 2500;
        // clang-format on
    }

    void stripShowsRasterPixels()
    {
        QFETCH(QList<QSize>, sizes);
        QFETCH(int, times);
        QFETCH(int, scroll);
        std::vector<std::string> files;
        for (int k = 0; k < sizes.size(); ++k) {
            const QString name = testFile(QStringLiteral("f%1.abm").arg(k));
            writeAbm(name, sizes[k].width(), sizes[k].height(),
                     {pattern(3 * k), pattern(3 * k + 1), pattern(3 * k + 2)});
            files.push_back(native(name));
        }
        ScriptedPrompts prompts;
        prompts.openAnswers.emplace_back();
        for (int i = 0; i < times; ++i)
            prompts.openAnswers.back().insert(prompts.openAnswers.back().end(), files.begin(), files.end());
        MainWindow form({}, &prompts);
        form.timer->stop();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.openAction->trigger();
        QCOMPARE(form.model->strip.count(), 3 * times * static_cast<int>(sizes.size()));
        QScrollBar* bar = form.stripView->horizontalScrollBar();
        bar->setValue(scroll < 0 ? bar->maximum() : scroll);
        QCOMPARE(bar->value(), scroll < 0 ? bar->maximum() : scroll);
        QVERIFY(!form.thumbnails().empty());
        checkStripShowsRasters(form);
    }

    void opensHugeOneBitBmpNamedOnCommandLine()
    {
        // 134,217,728 × 1 pixels at one bit each, the header and palette alone.
        const QByteArray bmp = QByteArray::fromHex("424d3e000000000000003e0000002800000000000008010000000100010000"
                                                   "000000000000000000000000000000020000000000000000000000ffffff00");
        QCOMPARE(bmp.size(), 62);
        const QString path = testFile(QStringLiteral("wide.bmp"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(bmp);
        }
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("OK")));
        auto form = makeForm({native(path)});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const FrameStrip& strip = form->model->strip;
        if (!script.seen.empty()) {
            // Refused for its size: nothing was added and the window goes on.
            QCOMPARE(strip.count(), 0);
            QVERIFY(form->thumbnails().empty());
            tickOnce(*form);
            return;
        }
        QCOMPARE(strip.count(), 1);
        QCOMPARE(strip.thumbnail(0).width, 134217728);
        QScrollBar* bar = form->stripView->horizontalScrollBar();
        const QWidget* viewport = form->stripView->viewport();
        QCOMPARE(bar->maximum(), 134217728 - viewport->width());
        for (const int value : {0, bar->maximum() / 2 + 1, bar->maximum()}) {
            bar->setValue(value);
            QCOMPARE(form->thumbnails().size(), size_t{1});
            QVERIFY(form->thumbnails()[0]->width() <= viewport->width() + 2 * StripView::kReach);
            checkStripShowsRasters(*form);
        }
        tickOnce(*form);
        QVERIFY(script.seen.empty());
    }

    void openCommandUsesRealFileDialog()
    {
        const QString a = solidAbm(QStringLiteral("a.abm"), {0xF800, 0x07E0});
        const QString b = solidAbm(QStringLiteral("b.abm"), {0x001F});
        auto form = makeForm();
        form->show();
        form->placementStore->writeSetting("LoadImg", native(dir_->path()) + "/");

        QStringList filters;
        QString shownFolder;
        QFileDialog::FileMode mode{};
        QFileDialog::AcceptMode acceptMode{};
        bool detailsHidden = false;
        ModalScript script;
        script.then([&](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            QVERIFY(dialog);
            filters = comboTexts(dialog);
            shownFolder = dialog->directory().absolutePath();
            mode = dialog->fileMode();
            acceptMode = dialog->acceptMode();
            detailsHidden = dialog->testOption(QFileDialog::HideNameFilterDetails);
            ModalScript::chooseFile(QStringLiteral("\"a.abm\" \"b.abm\""))(window);
        });
        form->openAction->trigger();
        QVERIFY(script.done());

        QCOMPARE(filters, (QStringList{QStringLiteral("*.gif, *.bmp, *.jpg, *.abm"), QStringLiteral("*.gif"),
                                       QStringLiteral("*.jpg"), QStringLiteral("*.bmp"), QStringLiteral("*.abm"),
                                       QStringLiteral("Все файлы (*.*)")}));
        QCOMPARE(shownFolder, QDir(dir_->path()).absolutePath());
        QCOMPARE(mode, QFileDialog::ExistingFiles);
        QCOMPARE(acceptMode, QFileDialog::AcceptOpen);
        QVERIFY(detailsHidden);
        QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F}));
        QCOMPARE(form->frameCountPanel->text(), QStringLiteral("3"));
        QVERIFY(form->saveAbmAction->isEnabled());
        QCOMPARE(form->placementStore->readSetting("LoadImg", ""), native(dir_->path()) + "/");
        Q_UNUSED(a);
        Q_UNUSED(b);
    }

    void openDialogPatternsIgnoreCase()
    {
        const QStringList filters = DialogPrompts::nameFilters("*.gif|*.gif|Все файлы (*.*)|*.*");
        QCOMPARE(filters,
                 (QStringList{QStringLiteral("*.gif (*.[gG][iI][fF])"), QStringLiteral("Все файлы (*.*) (*)")}));
    }

    void clearAskedAndAnsweredBothWays_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("cleared");
        // clang-format off
        QTest::newRow("No") << "&No" << false;
        QTest::newRow("OK") << "OK" << true;
        // clang-format on
    }

    void clearAskedAndAnsweredBothWays()
    {
        QFETCH(QString, answer);
        QFETCH(bool, cleared);
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}, 40, 97))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(form->stripView->height(), 117);

        ModalScript script;
        script.then(ModalScript::click(answer));
        form->clearAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{1});
        QCOMPARE(script.seen[0].text, QStringLiteral("Очистить?"));
        QCOMPARE(script.seen[0].title, QStringLiteral("Confirm"));
        QCOMPARE(script.seen[0].buttons, (QStringList{QStringLiteral("&No"), QStringLiteral("OK")}));

        QCOMPARE(form->model->strip.count(), cleared ? 0 : 2);
        QCOMPARE(form->thumbnails().size(), cleared ? size_t{0} : size_t{2});
        QCOMPARE(form->frameCountPanel->text(), cleared ? QStringLiteral("0") : QStringLiteral("2"));
        QCOMPARE(form->exportBmpAction->isEnabled(), !cleared);
        QCOMPARE(form->saveAbmAction->isEnabled(), !cleared);
        QCOMPARE(form->clearAction->isEnabled(), !cleared);
        QCOMPARE(form->stripView->height(), 117);
    }

    void deleteFromPopupAnsweredBothWays_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("deleted");
        // clang-format off
        QTest::newRow("Cancel") << "Cancel" << false;
        QTest::newRow("OK") << "OK" << true;
        // clang-format on
    }

    void deleteFromPopupAnsweredBothWays()
    {
        QFETCH(QString, answer);
        QFETCH(bool, deleted);
        auto form = makeForm({native(solidAbm(QStringLiteral("three.abm"), {0xF800, 0x07E0, 0x001F}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        ModalScript script;
        script.then(ModalScript::clickMenuAction(form->deleteAction)).then(ModalScript::click(answer));
        contextMenuOn(form->thumbnails()[1]);
        QTRY_VERIFY(script.done());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(script.seen.size(), size_t{2});
        QCOMPARE(script.seen[1].text, QStringLiteral("Удалить?"));
        QCOMPARE(script.seen[1].title, QStringLiteral("Confirm"));
        QCOMPARE(script.seen[1].buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
        QCOMPARE(form->model->strip.popupTarget(), nullptr);
        if (deleted)
            QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x001F}));
        else
            QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F}));
        QCOMPARE(form->frameCountPanel->text(), QString::number(deleted ? 2 : 3));
    }

    void deletingLastFrameDisablesCommands()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        form->show();
        ModalScript script;
        script.then(ModalScript::clickMenuAction(form->deleteAction)).then(ModalScript::click(QStringLiteral("OK")));
        contextMenuOn(form->thumbnails()[0]);
        QTRY_VERIFY(script.done());
        QCOMPARE(form->model->strip.count(), 0);
        QCOMPARE(form->frameCountPanel->text(), QStringLiteral("0"));
        QVERIFY(!form->exportBmpAction->isEnabled());
        QVERIFY(!form->saveAbmAction->isEnabled());
        QVERIFY(!form->clearAction->isEnabled());
        QVERIFY(form->deleteAction->isEnabled());
    }

    void popupMenuOpensOnThumbnailsOnly()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        bool opened = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, [&] {
            if (QWidget* popup = QApplication::activePopupWidget()) {
                opened = true;
                popup->close();
            }
        });
        probe.start(5);
        contextMenuOn(form->stripContent());
        QTest::qWait(50);
        QVERIFY(!opened);
        QCOMPARE(form->model->strip.popupTarget(), nullptr);
    }

    void reordersBySyntheticDragAndDrop()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("four.abm"), {0xF800, 0x07E0, 0x001F, 0xFFE0}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const std::vector<ThumbnailWidget*> before = form->thumbnails();
        QPointer<ThumbnailWidget> source = before[0];
        QPointer<ThumbnailWidget> target = before[2];
        bool orderKeptDuringDrag = false;

        form->setDragExec([&](QDrag& drag) {
            const Qt::DropAction action = dropOn(target, drag);
            orderKeptDuringDrag = firstPixels(*form) == std::vector<uint16_t>{0xF800, 0x07E0, 0x001F, 0xFFE0};
            return action;
        });
        QTest::mousePress(source, Qt::LeftButton, {}, source->rect().center());
        QVERIFY(orderKeptDuringDrag);
        // The thumbnail that started the drag outlives the press.
        QVERIFY(source);
        QCOMPARE(form->thumbnails(), before);
        QTest::mouseRelease(source, Qt::LeftButton, {}, source->rect().center());

        QTRY_COMPARE(firstPixels(*form), (std::vector<uint16_t>{0x07E0, 0x001F, 0xF800, 0xFFE0}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!source);
        QVERIFY(!target);
        for (size_t i = 0; i < form->thumbnails().size(); ++i) {
            QCOMPARE(form->model->strip.thumbnail(static_cast<int>(i)).tag, static_cast<int>(i));
            QCOMPARE(form->thumbnails()[i]->x(), static_cast<int>(i) * 43);
        }
    }

    void dragDroppedOutsideThumbnailsChangesNothing()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const std::vector<ThumbnailWidget*> before = form->thumbnails();
        const uint64_t generation = form->model->strip.generation();
        QCursor::setPos(form->preview->mapToGlobal(QPoint(5, 5)));
        form->setDragExec([](QDrag&) { return Qt::IgnoreAction; });
        QTest::mousePress(before[0], Qt::LeftButton, {}, QPoint(3, 3));
        QTest::mouseRelease(before[0], Qt::LeftButton, {}, QPoint(3, 3));
        QTest::qWait(20);
        QCOMPARE(form->model->strip.generation(), generation);
        QCOMPARE(form->thumbnails(), before);
    }

    void plainClickIsDropOnSameThumbnail()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QPointer<ThumbnailWidget> clicked = form->thumbnails()[1];
        const uint64_t generation = form->model->strip.generation();
        QCursor::setPos(clicked->mapToGlobal(clicked->rect().center()));
        QTest::mouseClick(clicked, Qt::LeftButton, {}, clicked->rect().center());
        QTRY_VERIFY(form->model->strip.generation() != generation);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!clicked);
        QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0}));
    }

    void savesAbmThroughRealDialogLikeToolkitFreeCode()
    {
        const QString gif = corpus("gif/wuffs/animated-red-blue.gif");
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("window")));
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("reference")));
        const QString folder = testFile(QStringLiteral("window"));

        auto form = makeForm({native(gif)});
        form->placementStore->writeSetting("SavePath", native(folder) + "/");
        QStringList filters;
        QString shownFolder;
        QFileDialog::AcceptMode mode{};
        ModalScript script;
        script.then([&](QWidget* window) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            QVERIFY(dialog);
            filters = comboTexts(dialog);
            shownFolder = dialog->directory().absolutePath();
            mode = dialog->acceptMode();
            ModalScript::chooseFile(folder + QStringLiteral("/anim.txt"))(window);
        });
        form->saveAbmAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(filters, (QStringList{QStringLiteral("*.abm"), QStringLiteral("Все файлы (*.*)")}));
        QCOMPARE(shownFolder, QDir(folder).absolutePath());
        QCOMPARE(mode, QFileDialog::AcceptSave);

        Reference reference;
        reference.workspace.start({native(gif)});
        reference.prompts.saveAnswers.push_back(native(testFile(QStringLiteral("reference/anim.txt"))));
        reference.workspace.saveAbm();

        const QByteArray written = readAll(folder + QStringLiteral("/anim.abm"));
        QVERIFY(written.size() > 72);
        QCOMPARE(written, readAll(testFile(QStringLiteral("reference/anim.abm"))));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/anim.txt")));
        QCOMPARE(form->placementStore->readSetting("SavePath", ""), native(folder) + "/");
    }

    void savesBmpThroughRealDialogLikeToolkitFreeCode()
    {
        const QString gif = corpus("gif/wuffs/animated-red-blue.gif");
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("window")));
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("reference")));
        const QString folder = testFile(QStringLiteral("window"));

        auto form = makeForm({native(gif)});
        form->placementStore->writeSetting("SaveBmp", native(folder) + "/");
        QStringList filters;
        QString shownFolder;
        ModalScript script;
        script.then([&](QWidget* window) {
            filters = comboTexts(window);
            shownFolder = qobject_cast<QFileDialog*>(window)->directory().absolutePath();
            ModalScript::chooseFile(folder + QStringLiteral("/walk"))(window);
        });
        form->exportBmpAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(filters, (QStringList{QStringLiteral("*.bmp"), QStringLiteral("Все файлы (*.*)")}));
        QCOMPARE(shownFolder, QDir(folder).absolutePath());

        Reference reference;
        reference.workspace.start({native(gif)});
        reference.prompts.saveAnswers.push_back(native(testFile(QStringLiteral("reference/walk"))));
        reference.workspace.exportBmp();

        const int count = form->model->strip.count();
        QVERIFY(count > 1);
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("/walk%1.bmp").arg(i);
            const QByteArray written = readAll(folder + name);
            QVERIFY2(!written.isEmpty(), qPrintable(name));
            QCOMPARE(written, readAll(testFile(QStringLiteral("reference")) + name));
        }
        QVERIFY(!QFile::exists(folder + QStringLiteral("/walk%1.bmp").arg(count)));
        QCOMPARE(form->placementStore->readSetting("SaveBmp", ""), native(folder) + "/");
    }

    void saveAsksBeforeOverwriting_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("replaced");
        // clang-format off
        QTest::newRow("Yes") << "&Yes" << true;
        QTest::newRow("No") << "&No" << false;
        // clang-format on
    }

    void saveAsksBeforeOverwriting()
    {
        QFETCH(QString, answer);
        QFETCH(bool, replaced);
        const QString target = testFile(QStringLiteral("anim.abm"));
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        auto form = makeForm({native(solidAbm(QStringLiteral("src.abm"), {0xF800}))});
        ModalScript script;
        script.then(ModalScript::chooseFile(target)).then(ModalScript::click(answer));
        if (!replaced)
            script.then(ModalScript::reject());
        form->saveAbmAction->trigger();
        QVERIFY(script.done());
        QVERIFY(script.seen[1].text.contains(QStringLiteral("anim.abm")));
        QCOMPARE(readAll(target) == "old", !replaced);
        if (replaced)
            QCOMPARE(readAll(target).size(), 72 + 40 * 30 * 2);
    }

    void previewShowsFramesAfterTicks_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        // clang-format off
        QTest::newRow("40x30") << 40 << 30;
        QTest::newRow("128x97") << 128 << 97;
        QTest::newRow("200x150") << 200 << 150;
        // clang-format on
    }

    void previewShowsFramesAfterTicks()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        // Five frames: the fifth is never previewed.
        writeAbm(testFile(QStringLiteral("five.abm")), width, height,
                 {pattern(0), pattern(1), pattern(2), pattern(3), pattern(4)});
        auto form = makeForm({native(testFile(QStringLiteral("five.abm")))});
        QCOMPARE(form->preview->size(), QSize(130, 99));

        for (int tick = 0; tick < 6; ++tick) {
            const int shown = tick % 4;
            tickOnce(*form);
            QCOMPARE(form->model->player.previewIndex, static_cast<uint16_t>((shown + 1) % 4));
            QCOMPARE(form->preview->size(), QSize(130, 98));
            const QImage preview = shown16(form->preview);
            QCOMPARE(preview.size(), QSize(130, 98));
            const PixelFunction frame = pattern(shown);

            if (width == 40) {
                for (int y = 0; y < 30; ++y)
                    for (int x = 0; x < 40; ++x)
                        QCOMPARE(pixel16(preview, 45 + x, 34 + y), frame(x, y));
                QCOMPARE(pixel16(preview, 0, 0), uint16_t{0});
                QCOMPARE(pixel16(preview, 129, 97), uint16_t{0});
                QCOMPARE(pixel16(preview, 1, 1), uint16_t{0xFFFF});
                QCOMPARE(pixel16(preview, 128, 96), uint16_t{0xFFFF});
            } else if (width == 200) {
                for (int y = 0; y < 98; ++y)
                    for (int x = 0; x < 130; ++x)
                        QCOMPARE(pixel16(preview, x, y), frame(35 + x, 26 + y));
            } else {
                // 97 rows squeezed into 96: every shown row is a frame row,
                // in order, one of them left out; the border stays.
                int previous = -1;
                for (int y = 1; y <= 96; ++y) {
                    int source = -1;
                    for (int s = previous + 1; s < 97 && source < 0; ++s) {
                        bool same = true;
                        for (int x = 0; x < 128 && same; ++x)
                            same = pixel16(preview, 1 + x, y) == frame(x, s);
                        if (same)
                            source = s;
                    }
                    QVERIFY2(source >= 0 && source <= previous + 2, qPrintable(QStringLiteral("row %1").arg(y)));
                    previous = source;
                }
                for (int x = 0; x < 130; ++x) {
                    QCOMPARE(pixel16(preview, x, 0), uint16_t{0});
                    QCOMPARE(pixel16(preview, x, 97), uint16_t{0});
                }
            }
        }
    }

    void previewEmptyAfterClear()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        tickOnce(*form);
        QCOMPARE(pixel16(shown16(form->preview), 65, 49), uint16_t{0xF800});
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("OK")));
        form->clearAction->trigger();
        QVERIFY(script.done());
        tickOnce(*form);
        QCOMPARE(form->model->player.preview.width(), 0);
        QVERIFY(pixel16(shown16(form->preview), 65, 49) != uint16_t{0xF800});
    }

    void iconStepsThroughImListAtEveryTick()
    {
        auto form = makeForm();
        QCOMPARE(form->animatedIcons.size(), size_t{8});
        for (int tick = 0; tick < 10; ++tick) {
            tickOnce(*form);
            QCOMPARE(form->iconIndexShown(), tick % 8);
            QCOMPARE(QApplication::windowIcon().cacheKey(),
                     form->animatedIcons[static_cast<size_t>(tick % 8)].cacheKey());
        }
        for (const QIcon& picture : form->animatedIcons)
            QCOMPARE(picture.pixmap(QSize(48, 48)).size(), QSize(48, 48));
    }

    void standardErrorTextAppendsFullStop_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("letter") << "Unable to write to abmmaker.INI" << "Unable to write to abmmaker.INI.";
        QTest::newRow("full stop") << "Done." << "Done.";
        QTest::newRow("below full stop") << "What!" << "What!";
        QTest::newRow("minus") << "x-" << "x-";
        QTest::newRow("slash") << "a/" << "a/.";
        QTest::newRow("digit") << "JPEG error #42" << "JPEG error #42.";
        QTest::newRow("quote") << "'' is not a valid integer value" << "'' is not a valid integer value.";
        QTest::newRow("cyrillic") << "Ошибка" << "Ошибка.";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }

    void standardErrorTextAppendsFullStop()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(standardErrorText(message), shown);
    }

    void handlerErrorShowsStandardErrorBox()
    {
        // The first frame file's name is taken by a folder: the export stops there.
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("walk0.bmp")));
        std::string expected;
        try {
            Raster().saveToFile(native(testFile(QStringLiteral("walk0.bmp"))));
        } catch (const std::exception& e) {
            expected = e.what();
        }
        QVERIFY(!expected.empty());

        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        form->show();
        ModalScript script;
        script.then(ModalScript::chooseFile(testFile(QStringLiteral("walk.bmp"))))
            .then(ModalScript::click(QStringLiteral("OK")));
        form->exportBmpAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{2});
        QCOMPARE(script.seen[1].title, kCaption);
        QCOMPARE(script.seen[1].text, standardErrorText(QString::fromStdString(expected)));
        QVERIFY(script.seen[1].text.endsWith(u'.'));
        QCOMPARE(script.seen[1].buttons, QStringList{QStringLiteral("OK")});
        QCOMPARE(form->placementStore->readSetting("SaveBmp", ""), std::string());
        // The program goes on.
        QVERIFY(form->exportBmpAction->isEnabled());
        tickOnce(*form);
    }

    void splitterChangesStripHeight()
    {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QSplitterHandle* handle = form->splitter->handle(1);
        const QPoint start = handle->rect().center();
        const auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
            QMouseEvent event(type, local, handle->mapToGlobal(local), Qt::LeftButton, buttons, {});
            QApplication::sendEvent(handle, &event);
        };
        QSignalSpy moved(form->splitter, &QSplitter::splitterMoved);
        send(QEvent::MouseButtonPress, start, Qt::LeftButton);
        send(QEvent::MouseMove, start + QPoint(0, 30), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, start + QPoint(0, 30), Qt::NoButton);
        QCOMPARE(moved.size(), 1);
        const int position = moved.at(0).at(0).toInt();
        QVERIFY(position > 130);
        QCOMPARE(form->stripView->height(), position);
        QCOMPARE(form->model->strip.stripHeight(), position);
        // The window follows the model from then on, also when resized.
        form->resize(form->width(), form->height() + 40);
        QTRY_COMPARE(form->stripView->height(), position);
    }

    void optionsShowFirstFrameSizeAndOkRenormalises()
    {
        writeAbm(testFile(QStringLiteral("big.abm")), 200, 150, {pattern(0), pattern(1)});
        auto form = makeForm({native(testFile(QStringLiteral("big.abm")))});
        form->show();
        QString widthText, heightText;
        bool widthEnabled = true, heightEnabled = true;
        ModalScript script;
        script.then([&](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            QVERIFY(dialog);
            widthText = dialog->widthField->edit->text();
            heightText = dialog->heightField->edit->text();
            widthEnabled = dialog->widthField->edit->isEnabled();
            heightEnabled = dialog->heightField->edit->isEnabled();
            dialog->autoSizeBox->click();
            dialog->okButton->click();
        });
        form->optionsAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(widthText, QStringLiteral("200"));
        QCOMPARE(heightText, QStringLiteral("150"));
        QVERIFY(!widthEnabled);
        QVERIFY(!heightEnabled);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(form->thumbnails()[static_cast<size_t>(i)]->size(), QSize(200, 150));
            QCOMPARE(rasterSize(*form->thumbnails()[static_cast<size_t>(i)]->raster()), QSize(200, 150));
        }
    }

    void optionsEnterRebuildsStripEscDoesNot_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("rebuilt");
        // clang-format off
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false;
        // clang-format on
    }

    void optionsEnterRebuildsStripEscDoesNot()
    {
        QFETCH(int, key);
        QFETCH(bool, rebuilt);
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}))});
        const std::vector<ThumbnailWidget*> before = form->thumbnails();
        const uint64_t generation = form->model->strip.generation();
        ModalScript script;
        script.then([key](QWidget* window) {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus && window->isAncestorOf(focus) ? focus : window, Qt::Key(key));
        });
        form->optionsAction->trigger();
        QVERIFY(script.done());
        QVERIFY(!form->optionsDialog->isVisible());
        QCOMPARE(form->model->strip.generation() != generation, rebuilt);
        QCOMPARE(form->thumbnails() != before, rebuilt);
    }

    void optionsChangedThenCancelledApplyToLaterImports()
    {
        auto form = makeForm();
        form->show();
        ModalScript script;
        script.then([](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            dialog->autoSizeBox->click();
            dialog->stretchBox->click();
            dialog->widthField->edit->setText(QStringLiteral("32"));
            dialog->heightField->edit->setText(QStringLiteral("20"));
            dialog->cancelButton->click();
        });
        form->optionsAction->trigger();
        QVERIFY(script.done());

        QString widthText, heightText;
        bool autoSize = true, stretch = false;
        script.then([&](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            widthText = dialog->widthField->edit->text();
            heightText = dialog->heightField->edit->text();
            autoSize = dialog->autoSizeBox->isChecked();
            stretch = dialog->stretchBox->isChecked();
            dialog->reject();
        });
        form->optionsAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(widthText, QStringLiteral("32"));
        QCOMPARE(heightText, QStringLiteral("20"));
        QVERIFY(!autoSize);
        QVERIFY(stretch);

        solidAbm(QStringLiteral("one.abm"), {0xF800}, 64, 48);
        script.then(ModalScript::chooseFile(testFile(QStringLiteral("one.abm"))));
        form->openAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(form->thumbnails().at(0)->size(), QSize(32, 20));
        QCOMPARE(rasterSize(*form->thumbnails().at(0)->raster()), QSize(32, 20));
    }

    void emptySizeFieldMakesNextImportFail()
    {
        auto form = makeForm();
        ModalScript script;
        script.then([](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            dialog->autoSizeBox->click();
            QLineEdit* edit = dialog->widthField->edit;
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QCOMPARE(edit->text(), QString());
            // OK would refuse the empty text; Cancel keeps it in the dialog.
            dialog->cancelButton->click();
        });
        form->optionsAction->trigger();
        QVERIFY(script.done());

        script.then(ModalScript::chooseFile(corpus("gif/wuffs/animated-red-blue.gif")))
            .then(ModalScript::click(QStringLiteral("OK")));
        form->openAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.back().title, kCaption);
        QCOMPARE(script.seen.back().text, QStringLiteral("'' is not a valid integer value."));
        QCOMPARE(form->model->strip.count(), 0);
        QCOMPARE(form->placementStore->readSetting("LoadImg", ""), std::string());
    }

    // A size text that is not an integer ("1,000", as the arrows once wrote)
    // never costs a frame: OK refuses it with the conversion error, and a
    // delete whose rebuild fails under it keeps every frame.
    void sizeThatIsNoIntegerNeverDropsAFrame()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QString error = QStringLiteral("'1,000' is not a valid integer value.");
        bool stillOpen = false;
        ModalScript script;
        script
            .then([](QWidget* window) {
                auto* dialog = qobject_cast<OptionsDialog*>(window);
                dialog->autoSizeBox->click();
                dialog->widthField->edit->setText(QStringLiteral("1,000"));
                dialog->okButton->click();
            })
            .then(ModalScript::click(QStringLiteral("OK")))
            .then([&](QWidget* window) {
                stillOpen = window == form->optionsDialog;
                form->optionsDialog->cancelButton->click();
            });
        form->optionsAction->trigger();
        QVERIFY(script.done());
        QVERIFY(stillOpen);
        QCOMPARE(script.seen[1].text, error);

        script.then(ModalScript::clickMenuAction(form->deleteAction))
            .then(ModalScript::click(QStringLiteral("OK")))
            .then(ModalScript::click(QStringLiteral("OK")));
        contextMenuOn(form->thumbnails()[0]);
        QTRY_VERIFY(script.done());
        QCOMPARE(script.seen.back().title, kCaption);
        QCOMPARE(script.seen.back().text, error);
        QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0}));
        QCOMPARE(form->frameCountPanel->text(), QStringLiteral("2"));
        QVERIFY(form->saveAbmAction->isEnabled());
    }

    void commandsFollowTheStripAfterAnOpenThatFails()
    {
        solidAbm(QStringLiteral("one.abm"), {0xF800});
        QFile bad(testFile(QStringLiteral("bad.gif")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("GIF89a\x01");
        bad.close();
        auto form = makeForm();
        ModalScript script;
        script.then(ModalScript::chooseFile(QStringLiteral("\"one.abm\" \"bad.gif\"")))
            .then(ModalScript::click(QStringLiteral("OK")));
        form->placementStore->writeSetting("LoadImg", native(dir_->path()) + "/");
        form->openAction->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.back().title, kCaption);
        QCOMPARE(form->model->strip.count(), 1);
        for (QAction* action : {form->exportBmpAction, form->saveAbmAction, form->clearAction})
            QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
