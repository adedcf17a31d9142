// The main window driven offscreen: its layout and actions, start-up,
// command-line import and the open command with the real file dialog.

#include "MainWindowTestSupport.h"
#include "ReferenceFrames.h"

using namespace abm;
using namespace abm::test;

class MainWindowTest : public QObject, WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startRun(); }
    void init() { startTest(); }
    void cleanup() { endTest(); }

    void layoutMatchesDesign()
    {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));

        // Qt shows "[*]" as "*" while the window is modified, else not at all.
        QCOMPARE(form->windowTitle(), kCaption + QStringLiteral("[*]"));
        QVERIFY(!form->isWindowModified());
        QCOMPARE(form->frameGeometry(), QRect(602, 479, 542, 381));

        QCOMPARE(part<QToolBar>(*form, "XPToolBar1")->height(), 34);
        QCOMPARE(part<QToolBar>(*form, "XPToolBar1")->actions(),
                 (QList<QAction*>{part<QAction>(*form, "ClearA"), part<QAction>(*form, "OpenGifA"),
                                  part<QAction>(*form, "SaveBmpA"), part<QAction>(*form, "SaveToFileA"),
                                  part<QAction>(*form, "OptionsA")}));
        for (QAction* action : part<QToolBar>(*form, "XPToolBar1")->actions()) {
            auto* button = qobject_cast<QToolButton*>(part<QToolBar>(*form, "XPToolBar1")->widgetForAction(action));
            QVERIFY(button);
            QCOMPARE(button->size(), QSize(31, 30));
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
            QVERIFY(button->autoRaise());
            const QString hint = action == part<QAction>(*form, "SaveBmpA")
                                     ? QStringLiteral("Сохранить все кадры как BMP")
                                     : QString(action->text()).remove(u'&');
            QCOMPARE(button->toolTip(), hint);
        }

        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->height(), 110);
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->frameShape(), QFrame::NoFrame);
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->mapTo(form.get(), QPoint(0, 0)).y(),
                 part<QToolBar>(*form, "XPToolBar1")->mapTo(form.get(), QPoint(0, 0)).y() + 34);
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->width(), form->centralWidget()->width());

        QCOMPARE(part<QSplitter>(*form, "Splitter1")->orientation(), Qt::Vertical);
        // The bar: 2 pixels between the strip and the preview box, black.
        QSplitterHandle* handle = part<QSplitter>(*form, "Splitter1")->handle(1);
        QCOMPARE(
            part<QScrollArea>(form.get(), "ScrollBox1")->y() -
                (part<StripView>(*form, "ScrollBoxSource")->y() + part<StripView>(*form, "ScrollBoxSource")->height()),
            2);
        QCOMPARE(handle->contentsRect().height(), 2);
        QCOMPARE(handle->cursor().shape(), Qt::SplitVCursor);
        const QImage shot = form->grab().toImage();
        const QPoint below = part<StripView>(*form, "ScrollBoxSource")
                                 ->mapTo(form.get(), QPoint(10, part<StripView>(*form, "ScrollBoxSource")->height()));
        QCOMPARE(QColor(shot.pixel(below)), QColor(Qt::black));
        QCOMPARE(QColor(shot.pixel(below + QPoint(0, 1))), QColor(Qt::black));
        QVERIFY(QColor(shot.pixel(below + QPoint(0, 2))) != QColor(Qt::black));
        QVERIFY(QColor(shot.pixel(below - QPoint(0, 1))) != QColor(Qt::black));

        QCOMPARE(part<QScrollArea>(form.get(), "ScrollBox1")->frameShape(), QFrame::NoFrame);
        QCOMPARE(part<QLabel>(form.get(), "StaticText1")->text(), QStringLiteral(" Предварительный просмотр:"));
        QCOMPARE(part<QLabel>(form.get(), "StaticText1")->geometry(),
                 QRect(0, 0, part<QScrollArea>(form.get(), "ScrollBox1")->viewport()->width(), 17));
        QCOMPARE(part<RasterView>(form.get(), "ImPrev")->geometry(), QRect(16, 32, 130, 99));

        QCOMPARE(form->statusBar()->height(), 19);
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->width(), 50);
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->width(), 50);
        QVERIFY(part<QLabel>(*form, "StatusPanel0")->alignment() & Qt::AlignHCenter);
        QVERIFY(part<QLabel>(*form, "StatusPanel1")->alignment() & Qt::AlignLeft);
        QVERIFY(part<QLabel>(*form, "StatusPanel0")->x() < part<QLabel>(*form, "StatusPanel1")->x());

        const QList<QAction*> menus = form->menuBar()->actions();
        QCOMPARE(menus.size(), 2);
        QCOMPARE(menus[0]->text(), QStringLiteral("&Файл"));
        QList<QAction*> fileItems = menus[0]->menu()->actions();
        QCOMPARE(fileItems.size(), 5);
        QVERIFY(fileItems[3]->isSeparator());
        QCOMPARE(fileItems[4], part<QAction>(*form, "ExitA"));
        QCOMPARE(fileItems.mid(0, 3),
                 (QList<QAction*>{part<QAction>(*form, "OpenGifA"), part<QAction>(*form, "SaveBmpA"),
                                  part<QAction>(*form, "SaveToFileA")}));
        QCOMPARE(menus[1]->text(), QStringLiteral("&Правка"));
        QStringList edit;
        for (const QAction* a : menus[1]->menu()->actions())
            edit << (a->isSeparator() ? QStringLiteral("-")
                                      : a->text() + u' ' + QKeySequence::listToString(a->shortcuts()));
        QCOMPARE(edit, (QStringList{"&Отменить Ctrl+Z", "&Повторить Ctrl+Shift+Z; Ctrl+Y", "-", "&Удалить Del",
                                    "Подогнать под &телефон Ctrl+T", "-", "&Настройка "}));
        QCOMPARE(part<QMenu>(*form, "PopupM")->actions(),
                 (QList<QAction*>{part<QAction>(*form, "DeleteA"), part<QAction>(*form, "ClearA")}));

        // Tab order: tool bar, strip, preview box.
        std::vector<QWidget*> order;
        QWidget* w = form.get();
        do {
            if (w == part<QToolBar>(*form, "XPToolBar1") || w == part<StripView>(*form, "ScrollBoxSource") ||
                w == part<QScrollArea>(form.get(), "ScrollBox1"))
                order.push_back(w);
            w = w->nextInFocusChain();
        } while (w != form.get());
        QCOMPARE(order,
                 (std::vector<QWidget*>{part<QToolBar>(*form, "XPToolBar1"), part<StripView>(*form, "ScrollBoxSource"),
                                        part<QScrollArea>(form.get(), "ScrollBox1")}));
    }

    void actionsMatchTable_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("icon");
        QTest::addColumn<bool>("enabledAtStart");
        QTest::addColumn<bool>("iconInMenu");
        QTest::addColumn<QKeySequence>("shortcut");
        // clang-format off
        QTest::newRow("OpenGifA") << "OpenGifA" << "Открыть" << int(CommandIcon::Open) << true << false << QKeySequence(QKeySequence::Open);
        QTest::newRow("SaveBmpA") << "SaveBmpA" << "Сохранить как BMP" << int(CommandIcon::SaveBmp) << false << false << QKeySequence(Qt::CTRL | Qt::Key_E);
        QTest::newRow("SaveToFileA") << "SaveToFileA" << "Сохранить как ABM" << int(CommandIcon::SaveAbm) << false << false << QKeySequence(QKeySequence::Save);
        QTest::newRow("OptionsA") << "OptionsA" << "Настройка" << int(CommandIcon::Options) << true << false << QKeySequence();
        QTest::newRow("ClearA") << "ClearA" << "Очистить" << int(CommandIcon::Clear) << false << true << QKeySequence();
        QTest::newRow("DeleteA") << "DeleteA" << "Удалить" << int(CommandIcon::Delete) << true << true << QKeySequence();
        // clang-format on
    }

    void actionsMatchTable()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, icon);
        QFETCH(bool, enabledAtStart);
        QFETCH(bool, iconInMenu);
        QFETCH(QKeySequence, shortcut);
        auto form = makeForm();
        auto* action = form->findChild<QAction*>(name);
        QVERIFY(action);
        // The caption as shown, with one menu mnemonic in it.
        QCOMPARE(QString(action->text()).remove(u'&'), caption);
        QCOMPARE(action->text().count(u'&'), 1);
        QCOMPARE(action->toolTip(), caption);
        QCOMPARE(action->icon().cacheKey(), form->commandIcons().at(static_cast<size_t>(icon)).cacheKey());
        QCOMPARE(action->isEnabled(), enabledAtStart);
        QCOMPARE(action->shortcut(), shortcut);
        QCOMPARE(action->isIconVisibleInMenu(), iconInMenu);
        QCOMPARE(form->commandIcons().size(), size_t{6});
        QVERIFY(!form->commandIcons()[static_cast<size_t>(icon)].pixmap(QSize(24, 24)).isNull());
    }

    void startsEmptyWithoutArguments()
    {
        auto form = std::make_unique<MainWindow>(std::vector<std::string>{});
        QVERIFY(part<QTimer>(*form, "Timer")->isActive());
        QCOMPARE(part<QTimer>(*form, "Timer")->interval(), 700);
        QCOMPARE(form->model()->strip.count(), 0);
        QVERIFY(form->thumbnails().empty());
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QString());
        QCOMPARE(part<QLabel>(*form, "StatusPanel1")->text(), QString());
        QVERIFY(!part<QAction>(*form, "SaveBmpA")->isEnabled());
        QVERIFY(!part<QAction>(*form, "SaveToFileA")->isEnabled());
        QVERIFY(!part<QAction>(*form, "ClearA")->isEnabled());
        QVERIFY(part<QAction>(*form, "OpenGifA")->isEnabled());
        QVERIFY(part<QAction>(*form, "OptionsA")->isEnabled());
        QVERIFY(part<QAction>(*form, "DeleteA")->isEnabled());
        QVERIFY(!form->optionsDialog());
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
        const FrameStrip& strip = form->model()->strip;
        QCOMPARE(strip.count(), expected.count());
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QString::number(expected.count()));
        QVERIFY(part<QAction>(*form, "SaveBmpA")->isEnabled());
        QVERIFY(part<QAction>(*form, "SaveToFileA")->isEnabled());
        QVERIFY(part<QAction>(*form, "ClearA")->isEnabled());
        // The button keeps its own hint when its action changes.
        QCOMPARE(part<QToolBar>(*form, "XPToolBar1")->widgetForAction(part<QAction>(*form, "SaveBmpA"))->toolTip(),
                 QStringLiteral("Сохранить все кадры как BMP"));
        QCOMPARE(form->thumbnails().size(), static_cast<size_t>(expected.count()));
        for (int i = 0; i < expected.count(); ++i) {
            const Frame& image = strip.frame(i);
            QVERIFY(sameRaster(image.picture, expected.frame(i).picture));
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
        QVERIFY(form->model()->strip.count() > 0);
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QString::number(form->model()->strip.count()));
        QVERIFY(part<QAction>(*form, "SaveBmpA")->isEnabled());
    }

    void opensEmptyWhenPathDoesNotExist()
    {
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("Cancel")));
        auto form = makeForm({native(testFile(QStringLiteral("missing.gif")))});
        QCoreApplication::processEvents();
        QVERIFY(script.seen.empty());
        QCOMPARE(form->model()->strip.count(), 0);
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QString());
        QVERIFY(!part<QAction>(*form, "SaveBmpA")->isEnabled());
        QVERIFY(!part<QAction>(*form, "SaveToFileA")->isEnabled());
        QVERIFY(!part<QAction>(*form, "ClearA")->isEnabled());
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
        part<QTimer>(form, "Timer")->stop();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        part<QAction>(form, "OpenGifA")->trigger();
        QCOMPARE(form.model()->strip.count(), 3 * times * static_cast<int>(sizes.size()));
        QScrollBar* bar = part<StripView>(form, "ScrollBoxSource")->horizontalScrollBar();
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
        const FrameStrip& strip = form->model()->strip;
        if (!script.seen.empty()) {
            // Refused for its size: nothing was added and the window goes on.
            QCOMPARE(strip.count(), 0);
            QVERIFY(form->thumbnails().empty());
            tickOnce(*form);
            return;
        }
        QCOMPARE(strip.count(), 1);
        QCOMPARE(strip.frame(0).width, 134217728);
        QScrollBar* bar = part<StripView>(*form, "ScrollBoxSource")->horizontalScrollBar();
        const QWidget* viewport = part<StripView>(*form, "ScrollBoxSource")->viewport();
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
        form->placementStore()->writeSetting("LoadImg", native(dir_->path()) + "/");

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
        part<QAction>(*form, "OpenGifA")->trigger();
        QVERIFY(script.done());

        QCOMPARE(filters, (QStringList{QStringLiteral("*.gif, *.bmp, *.jpg, *.abm"), QStringLiteral("*.gif"),
                                       QStringLiteral("*.jpg"), QStringLiteral("*.bmp"), QStringLiteral("*.abm"),
                                       QStringLiteral("Все файлы (*.*)")}));
        QCOMPARE(shownFolder, QDir(dir_->path()).absolutePath());
        QCOMPARE(mode, QFileDialog::ExistingFiles);
        QCOMPARE(acceptMode, QFileDialog::AcceptOpen);
        QVERIFY(detailsHidden);
        QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0, 0x001F}));
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QStringLiteral("3"));
        QVERIFY(part<QAction>(*form, "SaveToFileA")->isEnabled());
        QCOMPARE(form->placementStore()->readSetting("LoadImg", ""), native(dir_->path()) + "/");
        Q_UNUSED(a);
        Q_UNUSED(b);
    }

    void openDialogPatternsIgnoreCase()
    {
        const QStringList filters = DialogPrompts::nameFilters("*.gif|*.gif|Все файлы (*.*)|*.*");
        QCOMPARE(filters,
                 (QStringList{QStringLiteral("*.gif (*.[gG][iI][fF])"), QStringLiteral("Все файлы (*.*) (*)")}));
    }

    void shortcutsRunTheirCommands_data()
    {
        QTest::addColumn<QKeySequence>("keys");
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialogTitle");  // the file dialog it opens, cancelled; empty: none
        // clang-format off
        QTest::newRow("open") << QKeySequence(Qt::CTRL | Qt::Key_O) << "OpenGifA" << "Open";
        QTest::newRow("save ABM") << QKeySequence(Qt::CTRL | Qt::Key_S) << "SaveToFileA" << "Save As";
        QTest::newRow("export BMP") << QKeySequence(Qt::CTRL | Qt::Key_E) << "SaveBmpA" << "Save As";
        QTest::newRow("quit") << QKeySequence(Qt::CTRL | Qt::Key_Q) << "ExitA" << "";
        // clang-format on
    }

    void shortcutsRunTheirCommands()
    {
        QFETCH(QKeySequence, keys);
        QFETCH(QString, action);
        QFETCH(QString, dialogTitle);
        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QSignalSpy triggered(part<QAction>(*form, action.toLatin1().constData()), &QAction::triggered);
        ModalScript script;
        script.then(ModalScript::reject());
        QTest::keySequence(form.get(), keys);
        QCOMPARE(triggered.count(), 1);
        QCOMPARE(script.seen.size(), size_t{dialogTitle.isEmpty() ? 0u : 1u});
        if (!dialogTitle.isEmpty())
            QCOMPARE(script.seen[0].title, dialogTitle);
        QCOMPARE(form->isVisible(), !dialogTitle.isEmpty());
    }

    void altWithMnemonicOpensMenu_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("menu");
        QTest::newRow("Файл") << int(u'Ф') << 0;
        QTest::newRow("Правка") << int(u'П') << 1;
    }

    void altWithMnemonicOpensMenu()
    {
        QFETCH(int, key);
        QFETCH(int, menu);
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QMenu* opened = form->menuBar()->actions().at(menu)->menu();
        QTest::sendKeyEvent(QTest::Click, form.get(), Qt::Key(key), QString(QChar(key).toLower()), Qt::AltModifier);
        QTRY_VERIFY(opened->isVisible());
        opened->close();
    }

    // A GIF whose later images have transparent pixels: imported with the
    // option unticked, the second panel says so beside the frame count for
    // ten seconds; imported ticked, its frames are the GIF's composition.
    void transparentGifHintAndComposition()
    {
        const QString gif = corpus("gif/wuffs/animated-red-blue.gif");
        auto form = makeForm({native(gif)});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        auto* panel = part<QLabel>(*form, "StatusPanel1");
        QCOMPARE(panel->text(),
                 QStringLiteral("В GIF есть прозрачные кадры: включите «Загружать GIF как прозрачный» в настройках"));
        QCOMPARE(panel->toolTip(), panel->text());
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QStringLiteral("4"));
        // Whole where the window has room for it, else as much as the bar holds.
        QTRY_VERIFY(panel->width() > 400);
        form->resize(900, form->height());
        QTRY_COMPARE(panel->width(), panel->sizeHint().width());
        QVERIFY(part<QLabel>(*form, "StatusPanel0")->geometry().right() < panel->x());
        auto* notice = part<QTimer>(*form, "NoticeTimer");
        QVERIFY(notice->isActive());
        QCOMPARE(notice->interval(), 10000);
        notice->start(0);
        QTRY_COMPARE(panel->text(), QString());
        QTRY_COMPARE(panel->width(), 50);

        ModalScript script;
        script.then([](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            part<QCheckBox>(dialog, "ChBTransparent")->click();
            part<QPushButton>(dialog, "BitBtn1")->click();
        });
        part<QAction>(*form, "OptionsA")->trigger();
        script.then(ModalScript::chooseFile(gif));
        part<QAction>(*form, "OpenGifA")->trigger();
        QVERIFY(script.done());
        // No hint this time; the panel says what an ABM file leaves out.
        QCOMPARE(panel->text(), QStringLiteral("В ABM сохранятся только первые 4 кадра из 8"));
        const std::vector<Raster> reference = coalescedByImageMagick(native(gif));
        const FrameStrip& strip = form->model()->strip;
        QCOMPARE(strip.count(), 4 + static_cast<int>(reference.size()));
        for (size_t i = 0; i < reference.size(); ++i)
            QVERIFY(colours565(strip.frame(4 + static_cast<int>(i)).picture) == colours565(reference[i]));
    }

    void fileNamesInBoxesCannotReorderOrMarkUpTheText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");  // inside the isolate: the folder's name is Cyrillic
        // clang-format off
        QTest::newRow("right-to-left override") << QString::fromUtf8("x\u202EFIG.abm") << "x\\u202EFIG.abm";
        QTest::newRow("Hebrew and digits") << QString::fromUtf8("שלום 12.abm") << QString::fromUtf8("שלום 12.abm");
        QTest::newRow("markup") << "<b>bold.abm" << "<b>bold.abm";
        // clang-format on
    }

    // The reader's box for a file that is no ABM animation, opened from the
    // command line: the Russian text as it is, the name isolated behind it.
    void fileNamesInBoxesCannotReorderOrMarkUpTheText()
    {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        QFile bad(testFile(name));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("ABM") == 3);
        bad.close();
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("Cancel")));
        auto form = makeForm({native(testFile(name))});
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{1});
        QCOMPARE(script.seen[0].text,
                 QString::fromUtf8("Неверный формат файла: \u2068") + dir_->path() + u'/' + shown + QChar(0x2069));
        QCOMPARE(script.seen[0].format, Qt::PlainText);
    }

    void droppedFilesImportLikeTheOpenCommand_data()
    {
        QTest::addColumn<QStringList>("dropped");  // names in the test folder, or full URLs
        QTest::addColumn<std::vector<uint16_t>>("frames");
        QTest::addColumn<int>("errorBoxes");
        const QString web = QStringLiteral("https://example.org/c.abm");
        // clang-format off
        QTest::newRow("in the drop's order, each by its content, URLs left out") << QStringList{"b.abm", "x.jpeg", web, "a.abm"}
            << std::vector<uint16_t>{0x07E0, 0xF800, 0x001F, 0xFFE0, 0x001F, 0xFFE0} << 0;
        QTest::newRow("an error ends the drop") << QStringList{"a.abm", "bad.gif", "b.abm"}
            << std::vector<uint16_t>{0x07E0, 0x001F, 0xFFE0} << 1;
        // clang-format on
    }

    void droppedFilesImportLikeTheOpenCommand()
    {
        QFETCH(QStringList, dropped);
        QFETCH(std::vector<uint16_t>, frames);
        QFETCH(int, errorBoxes);
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("in")));
        solidAbm(QStringLiteral("in/a.abm"), {0x001F, 0xFFE0});
        solidAbm(QStringLiteral("in/b.abm"), {0xF800});
        QFile::copy(testFile(QStringLiteral("in/a.abm")), testFile(QStringLiteral("in/x.jpeg")));
        QFile bad(testFile(QStringLiteral("in/bad.gif")));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("GIF89a\x02\x00") > 0);
        bad.close();
        QList<QUrl> urls;
        for (const QString& name : dropped)
            urls << (name.contains(u':') ? QUrl(name) : QUrl::fromLocalFile(testFile(QStringLiteral("in/") + name)));

        auto form = makeForm({native(solidAbm(QStringLiteral("first.abm"), {0x07E0}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        ModalScript script;
        for (int i = 0; i < errorBoxes; ++i)
            script.then(ModalScript::click(QStringLiteral("OK")));
        // Onto the thumbnail, which takes only the strip's own drags.
        QDrag drag(form.get());
        auto* mime = new QMimeData;
        mime->setUrls(urls);
        drag.setMimeData(mime);
        QCOMPARE(dropOn(form->thumbnails()[0], drag), Qt::MoveAction);
        QTRY_COMPARE(firstPixels(*form), frames);
        QVERIFY(script.done());
        QCOMPARE(int(script.seen.size()), errorBoxes);
        const QString loadImg = QString::fromStdString(form->placementStore()->readSetting("LoadImg", ""));
        QCOMPARE(loadImg, errorBoxes ? QString() : testFile(QStringLiteral("in/")));

        // A drag without local files is not taken.
        QDrag web(form.get());
        auto* remote = new QMimeData;
        remote->setUrls({QUrl(QStringLiteral("https://example.org/a.gif"))});
        web.setMimeData(remote);
        QCOMPARE(dropOn(form->thumbnails()[0], web), Qt::IgnoreAction);
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
