// A strip of 200,000 frames from a 3 MB GIF of as many 1 × 1 images: while
// it scrolls across, the window holds widgets only for the thumbnails that
// fit on screen, and deleting and reordering at the far end work.

#include "GifBuilder.h"
#include "GuiTestSupport.h"
#include "ModalScript.h"
#include "app/MainWindow.h"
#include "workspace/StripLayout.h"
#include "app/StripView.h"
#include "app/ThumbnailWidget.h"

#include <QLabel>
#include <QScrollBar>
#include <QStyleFactory>
#include <QtTest>

#include <memory>

using namespace abm;
using namespace abm::test;

namespace {

constexpr int kFrames = 200000;

}  // namespace

class LongStripTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;
    QTemporaryDir dir_;
    std::unique_ptr<MainWindow> form_;

    QScrollBar* bar() const { return part<StripView>(*form_, "ScrollBoxSource")->horizontalScrollBar(); }
    // The 16-bit colours of the last `n` frames, first to last.
    std::vector<uint16_t> lastFrames(int n) const
    {
        std::vector<uint16_t> colours;
        const FrameStrip& strip = form_->model()->strip;
        for (int i = strip.count() - n; i < strip.count(); ++i)
            colours.push_back(pixel16(strip.frame(i).picture, 0, 0));
        return colours;
    }
    ThumbnailWidget* shownFrame(int index) const
    {
        for (ThumbnailWidget* thumbnail : form_->thumbnails())
            if (thumbnail->index() == index)
                return thumbnail;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        // A colour per palette index that stays apart from its neighbours in 5-6-5.
        GifFile gif;
        gif.screenWidth = gif.screenHeight = 1;
        for (uint32_t c = 0; c < 256; ++c)
            gif.globalTable.push_back((c & 31) << 19 | (c >> 5) << 13);
        gif.images.resize(kFrames);
        for (int i = 0; i < kFrames; ++i)
            gif.images[static_cast<size_t>(i)] = {0, 0, 1, 1, {static_cast<uint8_t>(i)}, {}, {}, false};
        const std::vector<uint8_t> bytes = gif.bytes();
        QFile file(dir_.filePath(QStringLiteral("long.gif")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())),
                 static_cast<qint64>(bytes.size()));
        file.close();

        form_ = std::make_unique<MainWindow>(std::vector<std::string>{native(file.fileName())});
        part<QTimer>(*form_, "Timer")->stop();
        form_->show();
        QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
        QCOMPARE(form_->model()->strip.count(), kFrames);
        QCOMPARE(part<QLabel>(*form_, "StatusPanel0")->text(), QString::number(kFrames));
    }

    void scrollingAcrossKeepsToWhatFits()
    {
        const QWidget* viewport = part<StripView>(*form_, "ScrollBoxSource")->viewport();
        // One-pixel thumbnails three pixels apart.
        const size_t fits = static_cast<size_t>(viewport->width()) / 4 + 1;
        QCOMPARE(int64_t{bar()->maximum()}, int64_t{kFrames} * 4 - 3 - viewport->width());
        for (int step = 0; step <= 200; ++step) {
            bar()->setValue(static_cast<int>(int64_t{bar()->maximum()} * step / 200));
            const QList<ThumbnailWidget*> children =
                viewport->findChildren<ThumbnailWidget*>(Qt::FindDirectChildrenOnly);
            QVERIFY(!children.isEmpty());
            QVERIFY(static_cast<size_t>(children.size()) <= fits);
            QCOMPARE(std::vector<ThumbnailWidget*>(children.begin(), children.end()), form_->thumbnails());
            for (const ThumbnailWidget* thumbnail : children) {
                QCOMPARE(thumbnail->objectName(), QStringLiteral("Img%1").arg(thumbnail->index()));
                QCOMPARE(
                    thumbnail->x(),
                    StripLayout::thumbnail(thumbnail->index(), form_->model()->strip.frame(thumbnail->index()).width, 0)
                            .left -
                        bar()->value());
            }
        }
        QCOMPARE(form_->thumbnails().back()->index(), kFrames - 1);
        // The widgets scrolled past are gone, not hidden.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        size_t alive = 0;
        for (QWidget* widget : QApplication::allWidgets())
            alive += qobject_cast<ThumbnailWidget*>(widget) != nullptr;
        QVERIFY(alive <= fits);
    }

    void deletesAtTheFarEnd()
    {
        bar()->setValue(bar()->maximum());
        const std::vector<uint16_t> before = lastFrames(4);
        ModalScript script;
        script.then(ModalScript::clickMenuAction(part<QAction>(*form_, "DeleteA")))
            .then(ModalScript::click(QStringLiteral("OK")));
        contextMenuOn(shownFrame(kFrames - 1));
        QTRY_VERIFY(script.done());
        QCOMPARE(form_->model()->strip.count(), kFrames - 1);
        QCOMPARE(part<QLabel>(*form_, "StatusPanel0")->text(), QString::number(kFrames - 1));
        QCOMPARE(lastFrames(3), std::vector<uint16_t>(before.begin(), before.end() - 1));
        QCOMPARE(bar()->value(), bar()->maximum());
        QCOMPARE(form_->thumbnails().back()->index(), kFrames - 2);
    }

    void reordersAtTheFarEnd()
    {
        const int n = form_->model()->strip.count();
        bar()->setValue(bar()->maximum());
        const std::vector<uint16_t> before = lastFrames(3);
        QPointer<ThumbnailWidget> source = shownFrame(n - 1);
        QPointer<ThumbnailWidget> target = shownFrame(n - 3);
        QVERIFY(source && target);
        part<StripView>(*form_, "ScrollBoxSource")->setDragExec([&](QDrag& drag) { return dropOn(target, drag); });
        pressAndDrag(source, QPoint(0, 0));
        QTest::mouseRelease(form_.get(), Qt::LeftButton);
        QTRY_COMPARE(lastFrames(3), (std::vector<uint16_t>{before[2], before[0], before[1]}));
        QCOMPARE(form_->model()->strip.count(), n);
    }

    void cleanupTestCase() { form_.reset(); }
};

QTEST_MAIN(LongStripTest)
#include "LongStripTest.moc"
