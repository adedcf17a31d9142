// A reorder through a real QDrag: the platform's drag runs its own event
// loop, and the mouse moves and the release reach it as window events.
// Runs under the "minimal" platform, whose drag is Qt's simple one.

#include "GuiTestSupport.h"
#include "app/MainWindow.h"
#include "app/ThumbnailWidget.h"

#include <QDrag>
#include <QLabel>
#include <QStyleFactory>
#include <QtTest>

#include <memory>

using namespace abm;
using namespace abm::test;

class MainWindowDragTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;

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
    }

    void realDragMovesFirstFrameOntoThird()
    {
        QTemporaryDir dir;
        const QString abm = dir.filePath(QStringLiteral("four.abm"));
        writeAbm(abm, 40, 30, {solid(0xF800), solid(0x07E0), solid(0x001F), solid(0xFFE0)});
        MainWindow form({native(abm)});
        part<QTimer>(form, "Timer")->stop();
        form.show();
        QTRY_VERIFY(form.windowHandle() && form.windowHandle()->isVisible());
        QWindow* window = form.windowHandle();
        // This platform's screen is 240 × 320: the window goes where the
        // drag can find it.
        form.move(0, 0);
        form.resize(230, 300);
        QTRY_COMPARE(window->frameGeometry(), QRect(0, 0, 230, 300));
        QVERIFY(QGuiApplication::primaryScreen()->geometry().contains(window->frameGeometry()));

        const QPoint from = form.thumbnails()[0]->mapTo(&form, QPoint(20, 15));
        const QPoint to = form.thumbnails()[2]->mapTo(&form, QPoint(20, 15));
        // Runs inside the drag's own event loop, once the first move past
        // the drag distance has started it.
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (!form.findChild<QDrag*>())
                return;
            poll.stop();
            QTest::mouseMove(window, to - QPoint(6, 0));
            QTest::mouseMove(window, to);
            QTest::mouseRelease(window, Qt::LeftButton, {}, to);
        });
        QTest::mousePress(window, Qt::LeftButton, {}, from);
        poll.start(0);
        QTest::mouseMove(window, from + QPoint(QApplication::startDragDistance() + 1, 0));
        QTRY_COMPARE(firstPixels(form), (std::vector<uint16_t>{0x07E0, 0x001F, 0xF800, 0xFFE0}));
        QCOMPARE(part<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("4"));
    }
};

QTEST_MAIN(MainWindowDragTest)
#include "MainWindowDragTest.moc"
