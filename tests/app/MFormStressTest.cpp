// Thousands of random commands against the real window: opening files,
// deleting, clearing, dragging, the options dialog with OK and Cancel,
// preview ticks and both saves. After each one the model's invariants hold
// and the window shows exactly the model.

#include "GuiTestSupport.h"
#include "ModalScript.h"
#include "app/MForm.h"
#include "app/StripView.h"
#include "app/Thumbnail.h"
#include "app/FormOpt.h"
#include "app/FrmInc.h"
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

class MFormStressTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;
    QTemporaryDir dir_;
    std::vector<std::string> files_;
    std::mt19937 rng_{20261207};

    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
    QString File(const char* name) const { return dir_.filePath(QString::fromLatin1(name)); }

    void CheckWindowMirrorsModel(TMForm& form, const char* after)
    {
        const FrameStrip& strip = form.model->Strip;
        const int n = strip.Count();
        QVERIFY2(static_cast<size_t>(n) == strip.SourceBitmaps().size(), after);
        // Exactly the frames that meet the viewport have a widget, in strip order.
        const std::vector<TThumbnail*>& shown = form.Thumbnails();
        const QWidget* viewport = form.stripView->viewport();
        const int scroll = form.stripView->horizontalScrollBar()->value();
        size_t next = 0;
        for (int i = 0; i < n; ++i) {
            const TImage& t = strip.Thumbnail(i);
            QVERIFY2(t.Tag == i, after);
            QVERIFY2(t.Left == i * 3 + i * t.Width, after);
            QVERIFY2(t.Picture.PixelFormat() == pf16bit, after);
            const QRect place(t.Left - scroll, t.Top, t.Width, t.Height);
            if (!place.intersects(viewport->rect()))
                continue;
            QVERIFY2(next < shown.size(), after);
            const TThumbnail* thumbnail = shown[next++];
            QVERIFY2(thumbnail->Image() == &t && thumbnail->Raster() == &t.Picture, after);
            QVERIFY2(thumbnail->geometry() == place, after);
        }
        QVERIFY2(next == shown.size(), after);
        const QList<TThumbnail*> children = viewport->findChildren<TThumbnail*>(Qt::FindDirectChildrenOnly);
        QVERIFY2(std::vector<TThumbnail*>(children.begin(), children.end()) == shown, after);
        QVERIFY2(form.frameCountPanel->text() == QString::fromStdString(strip.frameCountText()), after);
        QVERIFY2(form.exportBmpAction->isEnabled() == strip.canExportBmp(), after);
        QVERIFY2(form.saveAbmAction->isEnabled() == strip.canSaveAbm(), after);
        QVERIFY2(form.clearAction->isEnabled() == strip.canClear(), after);
        QVERIFY2(form.openAction->isEnabled() && form.optionsAction->isEnabled() && form.deleteAction->isEnabled(), after);
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
        QApplication::setApplicationName(QString::fromUtf8(TMForm::kCaption));
        WriteAbm(File("frames.abm"), 40, 30, {Pattern(0), Pattern(1), Pattern(2)});
        WriteAbm(File("wide.abm"), 150, 20, {Pattern(3)});
        QFile broken(File("broken.bmp"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("BM nonsense");
        broken.close();
        files_ = {Native(File("frames.abm")), Native(File("wide.abm")), Native(File("broken.bmp")),
                  Native(Corpus("gif/wuffs/animated-red-blue.gif")), Native(Corpus("gif/wuffs/muybridge.gif")),
                  Native(Corpus("bmp/bmpsuite/g/pal8.bmp")), Native(Corpus("jpeg/wuffs/bricks-gray.jpeg")),
                  Native(Corpus("jpeg/wuffs/mona-lisa.21x32.q50.jpeg"))};
        // .jpeg is imported as nothing; give one JPEG the extension that imports.
        QFile::copy(Corpus("jpeg/wuffs/mona-lisa.21x32.q90.jpeg"), File("mona.jpg"));
        files_.push_back(Native(File("mona.jpg")));
    }

    void randomCommandsKeepWindowAndModelTogether()
    {
        ScriptedPrompts prompts;
        TMForm form({}, &prompts);
        form.timer->stop();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        ErrorBoxCloser errors;
        int opens = 0, drags = 0, options = 0, saves = 0;

        for (int step = 0; step < kSteps; ++step) {
            const int n = form.model->Strip.Count();
            const char* what = "";
            switch (Pick(10)) {
            case 0:
            case 1: {
                what = "open";
                std::vector<std::string> chosen;
                for (int k = Pick(3) + 1; k > 0; --k)
                    chosen.push_back(files_[static_cast<size_t>(Pick(static_cast<int>(files_.size())))]);
                if (n > 40)
                    chosen.clear();  // keep the strip small enough to stay quick
                prompts.openAnswers.push_back(chosen);
                form.openAction->trigger();
                ++opens;
                break;
            }
            case 2:
                what = "delete";
                if (n > 0)
                    form.Run([&] { form.model->Strip.setPopupTarget(&form.model->Strip.Thumbnail(Pick(n))); });
                prompts.answers.push_back(Pick(2) ? TModalResult::mrOk : TModalResult::mrCancel);
                form.deleteAction->trigger();
                break;
            case 3:
                what = "clear";
                prompts.answers.push_back(Pick(4) ? TModalResult::mrNo : TModalResult::mrOk);
                form.clearAction->trigger();
                prompts.answers.clear();
                break;
            case 4: {
                what = "drag";
                QScrollBar* bar = form.stripView->horizontalScrollBar();
                bar->setValue(Pick(bar->maximum() + 1));
                const int shown = static_cast<int>(form.Thumbnails().size());
                if (shown == 0)
                    break;
                QPointer<TThumbnail> source = form.Thumbnails()[static_cast<size_t>(Pick(shown))];
                QPointer<TThumbnail> target = form.Thumbnails()[static_cast<size_t>(Pick(shown))];
                const bool outside = Pick(5) == 0;
                form.SetDragExec([&](QDrag& drag) {
                    return outside || !target ? Qt::IgnoreAction : DropOn(target, drag);
                });
                QCursor::setPos(form.preview->mapToGlobal(QPoint(2, 2)));
                QTest::mousePress(source, Qt::LeftButton, {}, QPoint(1, 1));
                if (source)
                    QTest::mouseRelease(source, Qt::LeftButton, {}, QPoint(1, 1));
                QCoreApplication::processEvents();
                ++drags;
                break;
            }
            case 5: {
                what = "options";
                const bool ok = Pick(2) == 0;
                const int change = Pick(4);
                const char* sizes[] = {"16", "40", "128", "97", ""};
                const QString width = QString::fromLatin1(sizes[Pick(5)]);
                const QString height = QString::fromLatin1(sizes[Pick(4)]);
                ModalScript script;
                script.Then([&](QWidget* window) {
                    auto* dialog = qobject_cast<TFormOpt*>(window);
                    QVERIFY(dialog);
                    if (change == 0)
                        dialog->autoSizeBox->click();
                    if (change == 1)
                        dialog->stretchBox->click();
                    if (change == 2)
                        dialog->transparentBox->click();
                    if (!dialog->autoSizeBox->isChecked()) {
                        dialog->widthField->edit->setText(width);
                        dialog->heightField->edit->setText(height);
                    }
                    (ok ? dialog->okButton : dialog->cancelButton)->click();
                    // OK refused a size that is no integer; its error box is closed by now.
                    if (dialog->isVisible())
                        dialog->cancelButton->click();
                });
                form.optionsAction->trigger();
                QVERIFY(script.Done());
                ++options;
                break;
            }
            case 6:
            case 7:
                what = "tick";
                form.Run([&] { form.tick(); });
                QVERIFY(form.model->Player.PreviewIndex <= 3);
                break;
            case 8:
                what = "save ABM";
                prompts.saveAnswers.push_back(Native(File("out.abm")));
                form.saveAbmAction->trigger();
                prompts.saveAnswers.clear();
                ++saves;
                break;
            case 9:
                what = "save BMP";
                if (n < 10) {
                    prompts.saveAnswers.push_back(Native(File("out.bmp")));
                    form.exportBmpAction->trigger();
                    prompts.saveAnswers.clear();
                    ++saves;
                }
                break;
            }
            CheckWindowMirrorsModel(form, what);
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

QTEST_MAIN(MFormStressTest)
#include "MFormStressTest.moc"
