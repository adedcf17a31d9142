// The window placement store attached to the real main window: where and
// how the window comes back, the keys it writes, and what happens when the
// settings cannot be written. Run on a 1280 × 1024 screen, which the
// designed rectangle fits, and on a 1024 × 768 one, which it does not.

#include "GuiTestSupport.h"
#include "ModalScript.h"
#include "app/MainWindow.h"
#include "tests/support/ProgramRun.h"

#include <QScreen>
#include <QStyleFactory>
#include <QtTest>

#include <functional>
#include <memory>

using namespace abm;
using namespace abm::test;

class PlacementTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;

    static QString iniPath()
    {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(QStringLiteral("abmmaker.INI"));
    }

    static std::unique_ptr<MainWindow> makeForm()
    {
        auto form = std::make_unique<MainWindow>(std::vector<std::string>{});
        part<QTimer>(*form, "Timer")->stop();
        form->placementStore()->setProgramFile("/usr/bin/abmmaker");
        return form;
    }

    // One run of the program: shown, `whileShown`, closed, destroyed.
    static void runOnce(const std::function<void(MainWindow&)>& whileShown)
    {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        // The window system's answers to the start-up placement come first.
        QCoreApplication::processEvents();
        whileShown(*form);
        QVERIFY(form->close());
        QVERIFY(!form->isVisible());
    }

    static QString screenSuffix()
    {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const qreal ratio = screen->devicePixelRatio();
        return QStringLiteral("(%1x%2)")
            .arg(qRound(screen->size().width() * ratio))
            .arg(qRound(screen->size().height() * ratio));
    }

    static int ppi() { return qRound(QGuiApplication::primaryScreen()->logicalDotsPerInch()); }

    // Where the designed rectangle (602, 479, 542 × 381) ends up on this
    // run's screen: kept where it fits, else moved inside at its size.
    static QRect firstRun()
    {
        const QSize screen = QGuiApplication::primaryScreen()->size();
        if (screen == QSize(1024, 768))
            return QRect(482, 387, 542, 381);
        if (screen != QSize(1280, 1024))
            qFatal("run on a 1280 x 1024 or a 1024 x 768 screen, not %d x %d", screen.width(), screen.height());
        return QRect(602, 479, 542, 381);
    }

    static QString fourNumbers(const QRect& r)
    {
        return QStringLiteral("%1,%2,%3,%4").arg(r.left()).arg(r.top()).arg(r.right() + 1).arg(r.bottom() + 1);
    }

    static void writeIni(const QString& text)
    {
        QFile file(iniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toUtf8());
    }

private slots:
    void initTestCase()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setApplicationName(QString::fromUtf8(MainWindow::kCaption));
    }
    void init() { QFile::remove(iniPath()); }

    void firstRunShowsDesignedBoundsAndWritesKeysInOrder()
    {
        runOnce([](MainWindow& form) {
            QCOMPARE(form.frameGeometry(), firstRun());
            QVERIFY(!form.isMaximized());
        });
        const QByteArray text = readAll(iniPath());
        QVERIFY(!text.isEmpty());
        QVERIFY(text.endsWith("\r\n"));
        QStringList lines = QString::fromUtf8(text).split(QStringLiteral("\r\n"));
        lines.removeLast();
        QCOMPARE(lines.size(), 10);
        QCOMPARE(lines[0], QStringLiteral("[TMForm]"));
        QCOMPARE(lines[1], QStringLiteral("FormVersion=0"));
        QCOMPARE(lines[2], QStringLiteral("Flags=0"));
        QCOMPARE(lines[3], QStringLiteral("ShowCmd=1"));
        QCOMPARE(lines[4], QStringLiteral("PixelsPerInch=%1").arg(ppi()));
        QVERIFY(lines[5].startsWith(QStringLiteral("MinMaxPos%1=").arg(screenSuffix())));
        QCOMPARE(lines[6], QStringLiteral("MinMaxPos=") + lines[5].section(u'=', 1));
        QCOMPARE(lines[5].section(u'=', 1).split(u',').size(), 4);
        QCOMPARE(lines[7], QStringLiteral("NormPos%1=").arg(screenSuffix()) + fourNumbers(firstRun()));
        QCOMPARE(lines[8], QStringLiteral("NormPos=") + fourNumbers(firstRun()));
        QCOMPARE(lines[9], QStringLiteral("Visible=0"));
    }

    void movedAndResizedWindowComesBackThere()
    {
        const QRect moved(120, 80, 400, 300);
        runOnce([&](MainWindow& form) {
            // As a user does it: the frame moves, the frame is dragged larger.
            const QSize frame = form.frameGeometry().size() - form.size();
            form.move(moved.topLeft());
            form.resize(moved.size() - frame);
            QTRY_COMPARE(form.frameGeometry(), moved);
        });
        const QString ini = QString::fromUtf8(readAll(iniPath()));
        QVERIFY2(ini.contains(QStringLiteral("\r\nNormPos=120,80,520,380\r\n")), qPrintable(ini));
        runOnce([&](MainWindow& form) { QCOMPARE(form.frameGeometry(), moved); });
    }

    void storedRectangleIsFittedIntoTheScreen_data()
    {
        QTest::addColumn<QString>("stored");  // NormPos
        QTest::addColumn<QRect>("large");     // shown, and saved, on 1280 × 1024
        QTest::addColumn<QRect>("small");     // on 1024 × 768
        const QRect fits(100, 50, 542, 381);
        // clang-format off
        QTest::newRow("fits both") << fourNumbers(fits) << fits << fits;
        QTest::newRow("past the right and bottom") << "900,700,1442,1081" << QRect(738, 643, 542, 381)
                                                   << QRect(482, 387, 542, 381);
        QTest::newRow("above and left") << "-300,-50,242,331" << QRect(0, 0, 542, 381) << QRect(0, 0, 542, 381);
        QTest::newRow("larger than the screen") << "10,20,2010,1520" << QRect(0, 0, 1280, 1024)
                                                << QRect(0, 0, 1024, 768);
        QTest::newRow("as large as the file can say") << "0,0,2147483647,2147483647" << QRect(0, 0, 1280, 1024)
                                                      << QRect(0, 0, 1024, 768);
        QTest::newRow("across the int range") << "-2147483648,0,2147483647,400" << QRect(0, 0, 1280, 400)
                                              << QRect(0, 0, 1024, 400);
        // clang-format on
    }

    void storedRectangleIsFittedIntoTheScreen()
    {
        QFETCH(QString, stored);
        QFETCH(QRect, large);
        QFETCH(QRect, small);
        writeIni(QStringLiteral("[TMForm]\nFormVersion=0\nShowCmd=1\nPixelsPerInch=%1\nNormPos=%2\n")
                     .arg(ppi())
                     .arg(stored));
        const QRect expected = firstRun() == QRect(602, 479, 542, 381) ? large : small;
        runOnce([&](MainWindow& form) { QCOMPARE(form.frameGeometry(), expected); });
        const QString ini = QString::fromUtf8(readAll(iniPath()));
        QVERIFY2(ini.contains(QStringLiteral("\r\nNormPos=") + fourNumbers(expected) + QStringLiteral("\r\n")),
                 qPrintable(ini));
    }

    void maximisedWindowComesBackMaximised()
    {
        runOnce([](MainWindow& form) {
            form.showMaximized();
            QTRY_VERIFY(form.isMaximized());
        });
        const QString ini = QString::fromUtf8(readAll(iniPath()));
        QVERIFY2(ini.contains(QStringLiteral("\r\nShowCmd=3\r\n")), qPrintable(ini));
        runOnce([](MainWindow& form) {
            QVERIFY(form.isMaximized());
            form.showNormal();
            QTRY_COMPARE(form.frameGeometry(), firstRun());
        });
    }

    void formVersionBelowZeroRestoresNothing()
    {
        writeIni(QStringLiteral("[TMForm]\nFormVersion=-1\nShowCmd=3\nPixelsPerInch=%1\nNormPos=10,20,310,220\n")
                     .arg(ppi()));
        runOnce([](MainWindow& form) {
            QVERIFY(!form.isMaximized());
            QCOMPARE(form.frameGeometry(), firstRun());
        });
    }

    void placementOfAnotherDpiKeepsDesignedBoundsButState()
    {
        writeIni(QStringLiteral("[TMForm]\nFormVersion=0\nShowCmd=3\nPixelsPerInch=%1\nNormPos=10,20,310,220\n")
                     .arg(ppi() + 1));
        runOnce([](MainWindow& form) {
            QVERIFY(form.isMaximized());
            form.showNormal();
            QTRY_COMPARE(form.frameGeometry(), firstRun());
        });
    }

    void unwritableSettingsReportTwiceAndWindowStillCloses()
    {
        // A plain file where the settings folder should be: no one can write there.
        const QString blocker = home_->path("not-a-folder");
        {
            QFile file(blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(blocker + QStringLiteral("/config")));

        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("OK"))).then(ModalScript::click(QStringLiteral("OK")));
        {
            auto form = makeForm();
            form->show();
            QVERIFY(QTest::qWaitForWindowExposed(form.get()));
            QVERIFY(form->close());
            QVERIFY(!form->isVisible());
            QCOMPARE(script.seen.size(), size_t{1});
        }
        qputenv("XDG_CONFIG_HOME", config);
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{2});
        for (const SeenWindow& box : script.seen) {
            QCOMPARE(box.title, QString::fromUtf8(MainWindow::kCaption));
            QCOMPARE(box.text, QStringLiteral("Unable to write to abmmaker.INI.\nNot a directory."));
        }
    }

    // The program itself, stopped while it saves its placement on the way
    // out: every signal that ends it removes the temporary file first.
    void signalDuringTheSettingsSaveLeavesNoTemporaryFile()
    {
        const QString config = home_->path(QStringLiteral("signals"));
        QVERIFY(QDir().mkpath(config));
        ProgramLaunch how;
        how.env = {"ABM_STOP_DURING_SAVE=1", "ABM_QUIT_AFTER_SHOW=1",
                   "XDG_CONFIG_HOME=" + QFile::encodeName(config).toStdString()};
        how.out = how.err = "/dev/null";
        for (const int signal : endingSignals()) {
            const pid_t pid = spawnProgram({ABMMAKER_PATH}, how);
            QVERIFY2(programStopped(pid), strsignal(signal));
            QCOMPARE(QDir(config).entryList(QDir::Files | QDir::Hidden).size(), 1);
            ::kill(pid, signal);
            ::kill(pid, SIGCONT);
            QCOMPARE(programStatus(pid), 128 + signal);
            QVERIFY2(QDir(config).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), strsignal(signal));
        }
    }
};

QTEST_MAIN(PlacementTest)
#include "PlacementTest.moc"
