// The window's import under a small memory budget: each input that asks for
// too much ends in the standard error box with the budget's text naming the
// file, the window goes on, and the strip keeps the frame it had. A FIFO
// named on the command line is no file to import and does not hang the start.

#include "GuiTestSupport.h"
#include "HostileInputs.h"
#include "ModalScript.h"
#include "app/MainWindow.h"
#include "base/MemoryBudget.h"

#include <QLabel>
#include <QStyleFactory>
#include <QtTest>

#include <sys/stat.h>

using namespace abm;
using namespace abm::test;

class MainWindowMemoryTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;
    QTemporaryDir dir_;

private slots:
    void initTestCase()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setApplicationName(QString::fromUtf8(MainWindow::kCaption));
    }

    void hostileInputsEndInTheErrorBoxWithTheStripUnchanged()
    {
        const QString one = dir_.filePath(QStringLiteral("one.abm"));
        writeAbm(one, 40, 30, {solid(0xF800)});
        MainWindow form({native(one)});
        part<QTimer>(form, "Timer")->stop();
        QCOMPARE(form.model()->strip.count(), 1);
        const int64_t limit = MemoryBudget::used() + (int64_t{64} << 20);
        const int64_t old = MemoryBudget::limit();
        MemoryBudget::setLimit(limit);
        MemoryBudget::resetPeak();
        for (const fuzz::HostileInput& input : fuzz::memoryBombs()) {
            // Past the raster cap the readers refuse first, each in its own way.
            if (input.name.find("16385") != std::string::npos)
                continue;
            const QString path = dir_.filePath(QString::fromStdString(input.name));
            fuzz::writeHostileInput(native(path), input);
            ModalScript script;
            script.then(ModalScript::chooseFile(path)).then(ModalScript::click(QStringLiteral("OK")));
            part<QAction>(form, "OpenGifA")->trigger();
            QVERIFY(script.done());
            QCOMPARE(script.seen.size(), size_t{2});
            QCOMPARE(script.seen[1].title, QString::fromUtf8(MainWindow::kCaption));
            QVERIFY2(script.seen[1].text.startsWith(QStringLiteral("not enough memory for \"") + path +
                                                    QStringLiteral("\": needs ")),
                     qPrintable(script.seen[1].text));
            QCOMPARE(form.model()->strip.count(), 1);
            QCOMPARE(form.thumbnails().size(), size_t{1});
            QCOMPARE(part<QLabel>(form, "StatusPanel0")->text(), QStringLiteral("1"));
            QFile::remove(path);
        }
        QVERIFY(MemoryBudget::peak() <= limit);
        MemoryBudget::setLimit(old);
    }

    void fifoOnTheCommandLineIsNoFileToImport()
    {
        const QString fifo = dir_.filePath(QStringLiteral("x.gif"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        MainWindow form({native(fifo)});
        QCOMPARE(form.model()->strip.count(), 0);
    }
};

QTEST_MAIN(MainWindowMemoryTest)
#include "MainWindowMemoryTest.moc"
