// Thousands of random commands against the real window: opening files,
// deleting, clearing, dragging, the options dialog with OK and Cancel,
// preview ticks and both saves. After each one the model's invariants hold
// and the window shows exactly the model.

#include "GuiTestSupport.h"
#include "ModalScript.h"
#include "app/MainWindow.h"
#include "workspace/StripLayout.h"
#include "app/RasterView.h"
#include "app/StripView.h"
#include "app/ThumbnailWidget.h"
#include "app/OptionsDialog.h"
#include "app/NumberField.h"
#include "tests/workspace/ScriptedPrompts.h"

#include <QAction>
#include <QCheckBox>
#include <QDrag>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyleFactory>
#include <QTimer>
#include <QtTest>

#include <random>

using namespace abm;
using namespace abm::test;

namespace {

constexpr int kSteps = 5000;

// Closes any error box that comes up and remembers its text.
class ErrorBoxCloser : public QObject {
public:
    ErrorBoxCloser()
    {
        connect(&timer_, &QTimer::timeout, this, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (box && box->objectName() == QStringLiteral("StandardErrorBox")) {
                texts.push_back(box->text());
                box->accept();
            }
        });
        timer_.start(2);
    }
    QStringList texts;

private:
    QTimer timer_;
};

}  // namespace

class MainWindowStressTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;
    QTemporaryDir dir_;
    std::vector<std::string> files_;
    std::mt19937 rng_{20261207};

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    QString file(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    void checkWindowMirrorsModel(MainWindow& form, const char* after)
    {
        const FrameStrip& strip = form.model()->strip;
        const int n = strip.count();
        // Exactly the frames that meet the viewport have a widget, in strip order.
        const std::vector<ThumbnailWidget*>& shown = form.thumbnails();
        const QWidget* viewport = part<StripView>(form, "ScrollBoxSource")->viewport();
        const int scroll = part<StripView>(form, "ScrollBoxSource")->horizontalScrollBar()->value();
        size_t next = 0;
        for (int i = 0; i < n; ++i) {
            const Frame& t = strip.frame(i);
            const int64_t left = StripLayout::thumbnail(i, t.width, t.height).left;
            QVERIFY2(left == int64_t{i} * 3 + int64_t{i} * t.width, after);
            QVERIFY2(t.picture.pixelFormat() == PixelFormat::Rgb565, after);
            const QRect place(static_cast<int>(left) - scroll, 0, t.width, t.height);
            if (!place.intersects(viewport->rect()))
                continue;
            QVERIFY2(next < shown.size(), after);
            const ThumbnailWidget* thumbnail = shown[next++];
            QVERIFY2(thumbnail->index() == i && thumbnail->raster() == &t.picture, after);
            QVERIFY2(thumbnail->geometry() == place, after);
        }
        QVERIFY2(next == shown.size(), after);
        const QList<ThumbnailWidget*> children = viewport->findChildren<ThumbnailWidget*>(Qt::FindDirectChildrenOnly);
        QVERIFY2(std::vector<ThumbnailWidget*>(children.begin(), children.end()) == shown, after);
        QVERIFY2(part<QLabel>(form, "StatusPanel0")->text().isEmpty() ||
                     part<QLabel>(form, "StatusPanel0")->text() == QString::number(n),
                 after);
        QVERIFY2(part<QAction>(form, "SaveBmpA")->isEnabled() == (n > 0), after);
        QVERIFY2(part<QAction>(form, "SaveToFileA")->isEnabled() == (n > 0), after);
        QVERIFY2(part<QAction>(form, "ClearA")->isEnabled() == (n > 0), after);
        QVERIFY2(part<QAction>(form, "OpenGifA")->isEnabled() && part<QAction>(form, "OptionsA")->isEnabled() &&
                     part<QAction>(form, "DeleteA")->isEnabled(),
                 after);
    }

private slots:
    void initTestCase()
    {
        // The offscreen platform says so at every layout; it is not ours to fix.
        static QtMessageHandler previous = qInstallMessageHandler(nullptr);
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.contains(QStringLiteral("propagateSizeHints")))
                previous(type, context, text);
        });
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setApplicationName(QString::fromUtf8(MainWindow::kCaption));
        writeAbm(file("frames.abm"), 40, 30, {pattern(0), pattern(1), pattern(2)});
        writeAbm(file("wide.abm"), 150, 20, {pattern(3)});
        QFile broken(file("broken.bmp"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("BM nonsense");
        broken.close();
        files_ = {native(file("frames.abm")),
                  native(file("wide.abm")),
                  native(file("broken.bmp")),
                  native(corpus("gif/wuffs/animated-red-blue.gif")),
                  native(corpus("gif/wuffs/muybridge.gif")),
                  native(corpus("bmp/bmpsuite/g/pal8.bmp")),
                  native(corpus("jpeg/wuffs/bricks-gray.jpeg")),
                  native(corpus("jpeg/wuffs/mona-lisa.21x32.q50.jpeg"))};
        // .jpeg is imported as nothing; give one JPEG the extension that imports.
        QFile::copy(corpus("jpeg/wuffs/mona-lisa.21x32.q90.jpeg"), file("mona.jpg"));
        files_.push_back(native(file("mona.jpg")));
    }

    void randomCommandsKeepWindowAndModelTogether()
    {
        ScriptedPrompts prompts;
        MainWindow form({}, &prompts);
        part<QTimer>(form, "Timer")->stop();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ErrorBoxCloser errors;
        int opens = 0, drags = 0, options = 0, saves = 0;

        for (int step = 0; step < kSteps; ++step) {
            const int n = form.model()->strip.count();
            const char* what = "";
            switch (pick(10)) {
            case 0:
            case 1: {
                what = "open";
                std::vector<std::string> chosen;
                for (int k = pick(3) + 1; k > 0; --k)
                    chosen.push_back(files_[static_cast<size_t>(pick(static_cast<int>(files_.size())))]);
                if (n > 40)
                    chosen.clear();  // keep the strip small enough to stay quick
                prompts.openAnswers.push_back(chosen);
                part<QAction>(form, "OpenGifA")->trigger();
                ++opens;
                break;
            }
            case 2:
                what = "delete";
                if (n > 0)
                    part<StripView>(form, "ScrollBoxSource")->setPopupFrame(pick(n));
                prompts.answers.push_back(pick(2) ? MessageAnswer::ok : MessageAnswer::cancel);
                part<QAction>(form, "DeleteA")->trigger();
                break;
            case 3:
                what = "clear";
                prompts.answers.push_back(pick(4) ? MessageAnswer::no : MessageAnswer::ok);
                part<QAction>(form, "ClearA")->trigger();
                prompts.answers.clear();
                break;
            case 4: {
                what = "drag";
                QScrollBar* bar = part<StripView>(form, "ScrollBoxSource")->horizontalScrollBar();
                bar->setValue(pick(bar->maximum() + 1));
                const int shown = static_cast<int>(form.thumbnails().size());
                if (shown == 0)
                    break;
                QPointer<ThumbnailWidget> source = form.thumbnails()[static_cast<size_t>(pick(shown))];
                QPointer<ThumbnailWidget> target = form.thumbnails()[static_cast<size_t>(pick(shown))];
                const bool outside = pick(5) == 0;
                part<StripView>(form, "ScrollBoxSource")->setDragExec([&](QDrag& drag) {
                    return outside || !target ? Qt::IgnoreAction : dropOn(target, drag);
                });
                QCursor::setPos(part<RasterView>(&form, "ImPrev")->mapToGlobal(QPoint(2, 2)));
                pressAndDrag(source);
                QTest::mouseRelease(&form, Qt::LeftButton);
                QCoreApplication::processEvents();
                ++drags;
                break;
            }
            case 5: {
                what = "options";
                const bool ok = pick(2) == 0;
                const int change = pick(4);
                const char* sizes[] = {"16", "40", "128", "97", ""};
                const QString width = QString::fromLatin1(sizes[pick(5)]);
                const QString height = QString::fromLatin1(sizes[pick(4)]);
                ModalScript script;
                script.then([&](QWidget* window) {
                    auto* dialog = qobject_cast<OptionsDialog*>(window);
                    QVERIFY(dialog);
                    if (change == 0)
                        part<QCheckBox>(dialog, "ChBAutoSize")->click();
                    if (change == 1)
                        part<QCheckBox>(dialog, "ChBStretch")->click();
                    if (change == 2)
                        part<QCheckBox>(dialog, "ChBTransparent")->click();
                    if (!part<QCheckBox>(dialog, "ChBAutoSize")->isChecked()) {
                        sizeEdit(dialog, "FrmWidth")->setText(width);
                        sizeEdit(dialog, "FrmHeight")->setText(height);
                    }
                    (ok ? part<QPushButton>(dialog, "BitBtn1") : part<QPushButton>(dialog, "BitBtn2"))->click();
                    // OK refused a size that is no integer; its error box is closed by now.
                    if (dialog->isVisible())
                        part<QPushButton>(dialog, "BitBtn2")->click();
                });
                part<QAction>(form, "OptionsA")->trigger();
                QVERIFY(script.done());
                ++options;
                break;
            }
            case 6:
            case 7:
                what = "tick";
                form.run([&] { form.tick(); });
                QVERIFY(form.model()->player.nextFrame() <= 3);
                break;
            case 8:
                what = "save ABM";
                prompts.saveAnswers.push_back(native(file("out.abm")));
                part<QAction>(form, "SaveToFileA")->trigger();
                prompts.saveAnswers.clear();
                ++saves;
                break;
            case 9:
                what = "save BMP";
                if (n < 10) {
                    prompts.saveAnswers.push_back(native(file("out.bmp")));
                    part<QAction>(form, "SaveBmpA")->trigger();
                    prompts.saveAnswers.clear();
                    ++saves;
                }
                break;
            }
            checkWindowMirrorsModel(form, what);
            if (QTest::currentTestFailed()) {
                qWarning("failed after step %d (%s)", step, what);
                return;
            }
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(opens > 300 && drags > 150 && options > 150 && saves > 150);
        qInfo("%d opens, %d drags, %d option dialogs, %d saves, %lld error boxes", opens, drags, options, saves,
              static_cast<long long>(errors.texts.size()));
        for (const QString& text : errors.texts)
            QVERIFY2(text.endsWith(u'.'), qPrintable(text));
    }
};

QTEST_MAIN(MainWindowStressTest)
#include "MainWindowStressTest.moc"
