// The window's pictures come from PNGs rendered at build time: every icon
// has every size the window asks for, and each PNG holds a picture.

#include "app/ImageLists.h"

#include <QImage>
#include <QtTest>

using namespace abm;

class ImageListsTest : public QObject {
    Q_OBJECT

private slots:
    void everyIconHasEverySizeRenderedFromItsSvg_data()
    {
        QTest::addColumn<QIcon>("icon");
        QTest::addColumn<QList<int>>("pixels");
        const QList<int> command{24, 30, 36, 48, 72};
        const QList<int> window{16, 24, 32, 48, 60, 72, 96, 144};
        const std::vector<QIcon> commands = loadCommandIcons();
        const std::vector<QIcon> animated = loadAnimatedIcons();
        QCOMPARE(commands.size(), size_t{6});
        QCOMPARE(animated.size(), size_t{8});
        for (size_t i = 0; i < commands.size(); ++i)
            QTest::addRow("command %zu", i) << commands[i] << command;
        for (size_t i = 0; i < animated.size(); ++i)
            QTest::addRow("animated %zu", i) << animated[i] << window;
        QTest::addRow("main") << mainIcon() << window;
    }

    void everyIconHasEverySizeRenderedFromItsSvg()
    {
        QFETCH(QIcon, icon);
        QFETCH(QList<int>, pixels);
        QList<int> sides;
        for (const QSize& size : icon.availableSizes()) {
            QCOMPARE(size.width(), size.height());
            sides.append(size.width());
        }
        std::sort(sides.begin(), sides.end());
        QCOMPARE(sides, pixels);
        // Something was drawn: not every pixel is transparent.
        const QImage image = icon.pixmap(QSize(pixels.front(), pixels.front())).toImage();
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = qAlpha(image.pixel(x, y)) != 0;
        QVERIFY(drawn);
    }
};

QTEST_MAIN(ImageListsTest)
#include "ImageListsTest.moc"
