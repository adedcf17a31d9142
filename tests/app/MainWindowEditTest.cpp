// The main window's editing commands offscreen: clear and delete with their
// real boxes, the pop-up menu, drag-reordering, saving through the real
// dialogs.

#include "MainWindowTestSupport.h"

using namespace abm;
using namespace abm::test;

class MainWindowEditTest : public QObject, WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startRun(); }
    void init() { startTest(); }
    void cleanup() { endTest(); }

    void clearAskedAndAnsweredBothWays_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("No") << "&No" << false;
        QTest::newRow("OK") << "OK" << true;
    }

    void clearAskedAndAnsweredBothWays()
    {
        QFETCH(QString, answer);
        QFETCH(bool, cleared);
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}, 40, 97))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->height(), 117);

        ModalScript script;
        script.then(ModalScript::click(answer));
        part<QAction>(*form, "ClearA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{1});
        QCOMPARE(script.seen[0].text, QStringLiteral("Очистить?"));
        QCOMPARE(script.seen[0].title, QStringLiteral("Confirm"));
        QCOMPARE(script.seen[0].buttons, (QStringList{QStringLiteral("&No"), QStringLiteral("OK")}));

        QCOMPARE(form->model()->strip.count(), cleared ? 0 : 2);
        QCOMPARE(form->thumbnails().size(), cleared ? size_t{0} : size_t{2});
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), cleared ? QStringLiteral("0") : QStringLiteral("2"));
        QCOMPARE(part<QAction>(*form, "SaveBmpA")->isEnabled(), !cleared);
        QCOMPARE(part<QAction>(*form, "SaveToFileA")->isEnabled(), !cleared);
        QCOMPARE(part<QAction>(*form, "ClearA")->isEnabled(), !cleared);
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->height(), 117);
    }

    void deleteFromPopupAnsweredBothWays_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("Cancel") << "Cancel" << false;
        QTest::newRow("OK") << "OK" << true;
    }

    void deleteFromPopupAnsweredBothWays()
    {
        QFETCH(QString, answer);
        QFETCH(bool, deleted);
        auto form = makeForm({native(solidAbm(QStringLiteral("three.abm"), {0xF800, 0x07E0, 0x001F}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        ModalScript script;
        script.then(ModalScript::clickMenuAction(part<QAction>(*form, "DeleteA"))).then(ModalScript::click(answer));
        contextMenuOn(form->thumbnails()[1]);
        QTRY_VERIFY(script.done());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        QCOMPARE(script.seen.size(), size_t{2});
        QCOMPARE(script.seen[1].text, QStringLiteral("Удалить?"));
        QCOMPARE(script.seen[1].title, QStringLiteral("Confirm"));
        QCOMPARE(script.seen[1].buttons, (QStringList{QStringLiteral("OK"), QStringLiteral("Cancel")}));
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->popupFrame(), -1);
        if (deleted)
            QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x001F}));
        else
            QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F}));
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QString::number(deleted ? 2 : 3));
    }

    void deletingLastFrameDisablesCommands()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        form->show();
        ModalScript script;
        script.then(ModalScript::clickMenuAction(part<QAction>(*form, "DeleteA")))
            .then(ModalScript::click(QStringLiteral("OK")));
        contextMenuOn(form->thumbnails()[0]);
        QTRY_VERIFY(script.done());
        QCOMPARE(form->model()->strip.count(), 0);
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QStringLiteral("0"));
        QVERIFY(!part<QAction>(*form, "SaveBmpA")->isEnabled());
        QVERIFY(!part<QAction>(*form, "SaveToFileA")->isEnabled());
        QVERIFY(!part<QAction>(*form, "ClearA")->isEnabled());
        QVERIFY(part<QAction>(*form, "DeleteA")->isEnabled());
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
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->popupFrame(), -1);
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

        QRect dropMark;
        part<StripView>(*form, "ScrollBoxSource")->setDragExec([&](QDrag& drag) {
            const Qt::DropAction action = dropOn(target, drag);
            orderKeptDuringDrag = firstPixels(*form) == std::vector<uint16_t>{0xF800, 0x07E0, 0x001F, 0xFFE0};
            if (QWidget* mark = part<QWidget>(*form, "DropMark"); mark->isVisible())
                dropMark = mark->geometry();
            return action;
        });
        pressAndDrag(source, source->rect().center());
        QVERIFY(orderKeptDuringDrag);
        // Moved right, the frame lands in the gap after the third.
        QCOMPARE(dropMark, QRect(2 * 43 + 40, 0, 3, 30));
        // The thumbnail that started the drag outlives it.
        QVERIFY(source);
        QCOMPARE(form->thumbnails(), before);
        QTest::mouseRelease(source, Qt::LeftButton, {}, source->rect().center());

        QTRY_COMPARE(firstPixels(*form), (std::vector<uint16_t>{0x07E0, 0x001F, 0xF800, 0xFFE0}));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!source);
        QVERIFY(!target);
        for (size_t i = 0; i < form->thumbnails().size(); ++i) {
            QCOMPARE(form->thumbnails()[i]->index(), static_cast<int>(i));
            QCOMPARE(form->thumbnails()[i]->x(), static_cast<int>(i) * 43);
        }
    }

    void dragDroppedOutsideThumbnailsChangesNothing()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const std::vector<ThumbnailWidget*> before = form->thumbnails();
        const uint64_t generation = form->model()->strip.generation();
        part<StripView>(*form, "ScrollBoxSource")->setDragExec([](QDrag&) { return Qt::IgnoreAction; });
        pressAndDrag(before[0], QPoint(3, 3));
        QTest::mouseRelease(before[0], Qt::LeftButton, {}, QPoint(3, 3));
        QTest::qWait(20);
        QCOMPARE(form->model()->strip.generation(), generation);
        QCOMPARE(form->thumbnails(), before);
    }

    // Clicks select without a rebuild: Ctrl toggles, Shift extends from the
    // frame last clicked; Ctrl+A and Esc; Delete deletes the selection after
    // "Удалить?", and Ctrl+Z brings it back.
    void clicksAndKeysSelectAndDeleteDeletesTheSelection()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("five.abm"), {0xF800, 0x07E0, 0x001F, 0xFFE0, 0x0000}))});
        form->show();
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        const auto view = part<StripView>(*form, "ScrollBoxSource");
        const uint64_t generation = form->model()->strip.generation();
        const auto click = [&](int i, Qt::KeyboardModifiers keys) {
            QTest::mouseClick(form->thumbnails()[static_cast<size_t>(i)], Qt::LeftButton, keys, QPoint(5, 5));
        };
        const auto key = [&](Qt::Key k, Qt::KeyboardModifiers keys) { QTest::keyClick(form.get(), k, keys); };
        struct Step {
            std::function<void()> act;
            std::vector<int> selected;
        };
        const Step steps[] = {
            {[&] { click(1, {}); }, {1}},
            {[&] { click(3, Qt::ControlModifier); }, {1, 3}},
            {[&] { click(1, Qt::ControlModifier); }, {3}},
            {[&] { click(3, Qt::ShiftModifier); }, {1, 2, 3}},
            {[&] { key(Qt::Key_Escape, {}); }, {}},
            {[&] { key(Qt::Key_A, Qt::ControlModifier); }, {0, 1, 2, 3, 4}},
            {[&] { click(2, {}); }, {2}},
            {[&] { click(4, Qt::ControlModifier); }, {2, 4}},
        };
        for (const Step& step : steps) {
            step.act();
            QCOMPARE(view->selection().indexes(), step.selected);
            for (const ThumbnailWidget* shown : form->thumbnails())
                QCOMPARE(shown->selected(), view->selection().contains(shown->index()));
        }
        QCOMPARE(form->model()->strip.generation(), generation);
        QCOMPARE(part<QAction>(*form, "DeleteSelectedA")->isEnabled(), true);
        QVERIFY(pixel16(shown16(form->thumbnails()[2]), 20, 15) != 0x001F);
        checkStripShowsRasters(*form);

        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("OK")));
        key(Qt::Key_Delete, {});
        QVERIFY(script.done());
        QCOMPARE(script.seen[0].text, QStringLiteral("Удалить?"));
        QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0, 0xFFE0}));
        QVERIFY(view->selection().empty() && !part<QAction>(*form, "DeleteSelectedA")->isEnabled());
        // Keys go to the window once it is active again (a window manager's
        // work, which this platform leaves to the test).
        form->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form.get()));
        key(Qt::Key_Z, Qt::ControlModifier);
        std::vector<uint16_t> frames;
        for (int i = 0; i < form->model()->strip.count(); ++i)
            frames.push_back(pixel16(form->model()->strip.frame(i).picture, 0, 0));
        QCOMPARE(frames, (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F, 0xFFE0, 0x0000}));
    }

    void savesAbmThroughRealDialogLikeToolkitFreeCode()
    {
        const QString gif = corpus("gif/wuffs/animated-red-blue.gif");
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("window")));
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("reference")));
        const QString folder = testFile(QStringLiteral("window"));

        auto form = makeForm({native(gif)});
        form->placementStore()->writeSetting("SavePath", native(folder) + "/");
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
        part<QAction>(*form, "SaveToFileA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(filters, (QStringList{QStringLiteral("*.abm"), QStringLiteral("Все файлы (*.*)")}));
        QCOMPARE(shownFolder, QDir(folder).absolutePath());
        QCOMPARE(mode, QFileDialog::AcceptSave);

        Reference reference;
        reference.workspace.start({native(gif)});
        reference.prompts.saveAnswers.push_back(native(testFile(QStringLiteral("reference/anim.txt"))));
        reference.workspace.commands.saveAbm();

        const QByteArray written = readAll(folder + QStringLiteral("/anim.abm"));
        QVERIFY(written.size() > 72);
        QCOMPARE(written, readAll(testFile(QStringLiteral("reference/anim.abm"))));
        QVERIFY(!QFile::exists(folder + QStringLiteral("/anim.txt")));
        QCOMPARE(form->placementStore()->readSetting("SavePath", ""), native(folder) + "/");
    }

    void savesBmpThroughRealDialogLikeToolkitFreeCode()
    {
        const QString gif = corpus("gif/wuffs/animated-red-blue.gif");
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("window")));
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("reference")));
        const QString folder = testFile(QStringLiteral("window"));

        auto form = makeForm({native(gif)});
        form->placementStore()->writeSetting("SaveBmp", native(folder) + "/");
        QStringList filters;
        QString shownFolder;
        ModalScript script;
        script.then([&](QWidget* window) {
            filters = comboTexts(window);
            shownFolder = qobject_cast<QFileDialog*>(window)->directory().absolutePath();
            ModalScript::chooseFile(folder + QStringLiteral("/walk"))(window);
        });
        part<QAction>(*form, "SaveBmpA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(filters, (QStringList{QStringLiteral("*.bmp"), QStringLiteral("Все файлы (*.*)")}));
        QCOMPARE(shownFolder, QDir(folder).absolutePath());

        Reference reference;
        reference.workspace.start({native(gif)});
        reference.prompts.saveAnswers.push_back(native(testFile(QStringLiteral("reference/walk"))));
        reference.workspace.commands.exportBmp();

        const int count = form->model()->strip.count();
        QVERIFY(count > 1);
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("/walk%1.bmp").arg(i);
            const QByteArray written = readAll(folder + name);
            QVERIFY2(!written.isEmpty(), qPrintable(name));
            QCOMPARE(written, readAll(testFile(QStringLiteral("reference")) + name));
        }
        QVERIFY(!QFile::exists(folder + QStringLiteral("/walk%1.bmp").arg(count)));
        QCOMPARE(form->placementStore()->readSetting("SaveBmp", ""), native(folder) + "/");
    }

    void saveAsksBeforeOverwriting_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("replaced");
        QTest::newRow("Yes") << "&Yes" << true;
        QTest::newRow("No") << "&No" << false;
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
        part<QAction>(*form, "SaveToFileA")->trigger();
        QVERIFY(script.done());
        QVERIFY(script.seen[1].text.contains(QStringLiteral("anim.abm")));
        QCOMPARE(readAll(target) == "old", !replaced);
        if (replaced)
            QCOMPARE(readAll(target).size(), 72 + 40 * 30 * 2);
    }
};

QTEST_MAIN(MainWindowEditTest)
#include "MainWindowEditTest.moc"
