// The window's undo stack, the phone-size command, the modified marker in
// the title, the question on closing and what a save says, offscreen with
// the real boxes and dialogs.

#include "MainWindowTestSupport.h"

#include <QUndoStack>

using namespace abm;
using namespace abm::test;

class MainWindowHistoryTest : public QObject, WindowFixture {
    Q_OBJECT

    static QString shownTitle(const MainWindow& form) { return form.windowHandle()->title(); }

private slots:
    void initTestCase() { startRun(); }
    void init() { startTest(); }
    void cleanup() { endTest(); }

    void closingAsksOnlyWhileFramesAreUnsaved_data()
    {
        QTest::addColumn<bool>("withFrames");
        QTest::addColumn<QString>("before");  // "", "fit", "fit+save", "fit+export"
        QTest::addColumn<QString>("answer");  // to the close question
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("notice");
        // clang-format off
        QTest::newRow("empty") << false << "" << "" << false << true << "";
        QTest::newRow("as opened") << true << "" << "" << false << true << "";
        QTest::newRow("changed, Cancel") << true << "fit" << "Cancel" << true << false << "";
        QTest::newRow("changed, Discard") << true << "fit" << "Discard" << true << true << "";
        QTest::newRow("changed, Save") << true << "fit" << "Save" << true << true << "Сохранено: out.abm";
        QTest::newRow("changed, Save cancelled") << true << "fit" << "Save-cancel" << true << false << "";
        QTest::newRow("saved") << true << "fit+save" << "" << false << true << "Сохранено: out.abm";
        QTest::newRow("exported") << true << "fit+export" << "" << false << true << "Сохранено кадров: 2";
        // clang-format on
    }

    void closingAsksOnlyWhileFramesAreUnsaved()
    {
        QFETCH(bool, withFrames);
        QFETCH(QString, before);
        QFETCH(QString, answer);
        QFETCH(bool, asked);
        QFETCH(bool, closed);
        QFETCH(QString, notice);
        std::vector<std::string> arguments;
        if (withFrames)
            arguments.push_back(native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0})));
        auto form = makeForm(arguments);
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(shownTitle(*form), kCaption);

        ModalScript script;
        const QString out = testFile(QStringLiteral("out"));
        if (before.startsWith(QStringLiteral("fit"))) {
            part<QAction>(*form, "FitPhoneA")->trigger();
            QCOMPARE(shownTitle(*form), kCaption + u'*');
        }
        if (before.endsWith(QStringLiteral("save")) || before.endsWith(QStringLiteral("export"))) {
            script.then(ModalScript::chooseFile(out));
            part<QAction>(*form, before.endsWith(QStringLiteral("save")) ? "SaveToFileA" : "SaveBmpA")->trigger();
            QVERIFY(script.done());
            QCOMPARE(shownTitle(*form), kCaption);
        }
        if (!answer.isEmpty())
            script.then(ModalScript::click(answer.section(u'-', 0, 0)));
        if (answer == QStringLiteral("Save"))
            script.then(ModalScript::chooseFile(out));
        if (answer == QStringLiteral("Save-cancel"))
            script.then(ModalScript::reject());
        const size_t boxesBefore = script.seen.size();
        QCOMPARE(form->close(), closed);
        QVERIFY(script.done());
        QCOMPARE(script.seen.size() > boxesBefore, asked);
        if (asked) {
            QCOMPARE(script.seen[boxesBefore].text, QStringLiteral("Сохранить анимацию перед выходом?"));
            QCOMPARE(script.seen[boxesBefore].buttons.size(), 3);
        }
        QCOMPARE(form->isWindowModified(), asked && answer != QStringLiteral("Save"));
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->text(), notice);
        if (!notice.isEmpty())
            QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QStringLiteral("2"));
        if (notice.startsWith(QStringLiteral("Сохранено:")))
            QCOMPARE(readAll(out + QStringLiteral(".abm")).size(), 72 + 2 * 128 * 97 * 2);
    }

    // A picture larger than the phone's is refused until Ctrl+T, which is one
    // step of the undo stack; undo and redo bring each state back exactly.
    void phoneSizeIsOneStepAndMakesAnyPictureSave()
    {
        const QString big = testFile(QStringLiteral("big.bmp"));
        QImage image(320, 240, QImage::Format_RGB32);
        image.fill(Qt::red);
        QVERIFY(image.save(big, "BMP"));
        auto form = makeForm({native(big)});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const FrameStrip& strip = form->model()->strip;
        auto* undo = part<QAction>(*form, "UndoA");
        auto* redo = part<QAction>(*form, "RedoA");
        const auto frameSize = [&] { return QSize(strip.frame(0).picture.width(), strip.frame(0).picture.height()); };
        QCOMPARE(frameSize(), QSize(320, 240));
        QVERIFY(undo->isEnabled() && !redo->isEnabled());  // the command line's import

        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("Cancel")));
        part<QAction>(*form, "SaveToFileA")->trigger();
        QVERIFY(script.done());
        QVERIFY(script.seen.back().text.startsWith(QStringLiteral("Сохранение невозможно.")));

        const int steps = form->undoStack()->count();
        part<QAction>(*form, "FitPhoneA")->trigger();
        QCOMPARE(form->undoStack()->count(), steps + 1);
        QCOMPARE(frameSize(), QSize(128, 97));
        QCOMPARE(strip.options(), fittedToPhone(FrameOptions()));
        undo->trigger();
        QCOMPARE(frameSize(), QSize(320, 240));
        QCOMPARE(strip.options(), FrameOptions());
        QVERIFY(redo->isEnabled());
        redo->trigger();
        QCOMPARE(frameSize(), QSize(128, 97));
        QVERIFY(!redo->isEnabled());
        undo->trigger();
        undo->trigger();
        QCOMPARE(strip.count(), 0);
        QVERIFY(!undo->isEnabled() && redo->isEnabled());
        redo->trigger();
        redo->trigger();

        script.then(ModalScript::chooseFile(testFile(QStringLiteral("phone"))));
        part<QAction>(*form, "SaveToFileA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(readAll(testFile(QStringLiteral("phone.abm"))).size(), 72 + 128 * 97 * 2);
    }
};

QTEST_MAIN(MainWindowHistoryTest)
#include "MainWindowHistoryTest.moc"
