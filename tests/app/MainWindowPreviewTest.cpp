// The main window offscreen: the preview and the animated icon, the
// standard error box, the splitter and the options dialog's effect on the
// strip.

#include "MainWindowTestSupport.h"
#include "codecs/bmp/BmpCodec.h"
#include "codecs/raster/FrameConversion.h"
#include "base/ErrorText.h"
#include "base/NameText.h"

using namespace abm;
using namespace abm::test;

class MainWindowPreviewTest : public QObject, WindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { startRun(); }
    void init() { startTest(); }
    void cleanup() { endTest(); }

    void previewShowsFramesAfterTicks_data()
    {
        QTest::addColumn<QSize>("frame");
        QTest::addColumn<QRect>("shown");  // the part of the frame the field shows
        QTest::addColumn<QPoint>("at");
        // clang-format off
        QTest::newRow("40x30") << QSize(40, 30) << QRect(0, 0, 40, 30) << QPoint(45, 34);
        QTest::newRow("41x31") << QSize(41, 31) << QRect(0, 0, 41, 31) << QPoint(45, 34);
        QTest::newRow("128x97") << QSize(128, 97) << QRect(0, 0, 128, 97) << QPoint(1, 1);
        QTest::newRow("200x150") << QSize(200, 150) << QRect(35, 26, 130, 99) << QPoint(0, 0);
        // clang-format on
    }

    void previewShowsFramesAfterTicks()
    {
        QFETCH(QSize, frame);
        QFETCH(QRect, shown);
        QFETCH(QPoint, at);
        // Five frames: the fifth is never previewed.
        writeAbm(testFile(QStringLiteral("five.abm")), frame.width(), frame.height(),
                 {pattern(0), pattern(1), pattern(2), pattern(3), pattern(4)});
        auto form = makeForm({native(testFile(QStringLiteral("five.abm")))});
        QCOMPARE(part<RasterView>(form.get(), "ImPrev")->size(), QSize(130, 99));

        for (int tick = 0; tick < 6; ++tick) {
            tickOnce(*form);
            QCOMPARE(form->model()->player.nextFrame(), (tick + 1) % 4);
            QCOMPARE(part<RasterView>(form.get(), "ImPrev")->size(), QSize(130, 99));
            const QImage preview = shown16(part<RasterView>(form.get(), "ImPrev"));
            QCOMPARE(preview.size(), QSize(130, 99));
            const PixelFunction pixels = pattern(tick % 4);
            for (int y = 0; y < 99; ++y)
                for (int x = 0; x < 130; ++x) {
                    const QPoint source = QPoint(x, y) - at + shown.topLeft();
                    const bool border = x == 0 || y == 0 || x == 129 || y == 98;
                    const uint16_t expected = shown.contains(source) ? pixels(source.x(), source.y())
                                              : border               ? uint16_t{0}
                                                                     : uint16_t{0xFFFF};
                    QCOMPARE(pixel16(preview, x, y), expected);
                }
        }
    }

    void previewEmptyAfterClear()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        tickOnce(*form);
        QCOMPARE(pixel16(shown16(part<RasterView>(form.get(), "ImPrev")), 65, 49), uint16_t{0xF800});
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("OK")));
        part<QAction>(*form, "ClearA")->trigger();
        QVERIFY(script.done());
        tickOnce(*form);
        QCOMPARE(form->model()->player.preview().width(), 0);
        QVERIFY(pixel16(shown16(part<RasterView>(form.get(), "ImPrev")), 65, 49) != uint16_t{0xF800});
    }

    void iconStepsThroughImListAtEveryTick()
    {
        auto form = makeForm();
        QCOMPARE(form->animatedIcons().size(), size_t{8});
        for (int tick = 0; tick < 10; ++tick) {
            tickOnce(*form);
            QCOMPARE(form->iconIndexShown(), tick % 8);
            QCOMPARE(QApplication::windowIcon().cacheKey(),
                     form->animatedIcons()[static_cast<size_t>(tick % 8)].cacheKey());
        }
        for (const QIcon& picture : form->animatedIcons())
            QCOMPARE(picture.pixmap(QSize(48, 48)).size(), QSize(48, 48));
    }

    void standardErrorTextAppendsFullStop_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("letter") << "Unable to write to abmmaker.INI" << "Unable to write to abmmaker.INI.";
        QTest::newRow("full stop") << "Done." << "Done.";
        QTest::newRow("below full stop") << "What!" << "What!";
        QTest::newRow("minus") << "x-" << "x-";
        QTest::newRow("slash") << "a/" << "a/.";
        QTest::newRow("digit") << "JPEG error #42" << "JPEG error #42.";
        QTest::newRow("quote") << "'' is not a valid integer value" << "'' is not a valid integer value.";
        QTest::newRow("cyrillic") << "Ошибка" << "Ошибка.";
        QTest::newRow("empty") << "" << "";
        // clang-format on
    }

    void standardErrorTextAppendsFullStop()
    {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(standardErrorText(message), shown);
    }

    void handlerErrorShowsStandardErrorBox()
    {
        // The first frame file's name is taken by a folder: the export stops there.
        QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("walk0.bmp")));
        std::string expected;
        try {
            writeBmpFile(Raster(), native(testFile(QStringLiteral("walk0.bmp"))));
        } catch (const std::exception& e) {
            // The folder's name holds Cyrillic: isolated, so it cannot move the text around it.
            expected = describe(e, programText, isolatedName);
        }
        QVERIFY(expected.find("\"\u2068/") != std::string::npos);

        auto form = makeForm({native(solidAbm(QStringLiteral("one.abm"), {0xF800}))});
        form->show();
        ModalScript script;
        // Asked first whether to replace what is there.
        script.then(ModalScript::chooseFile(testFile(QStringLiteral("walk.bmp"))))
            .then(ModalScript::click(QStringLiteral("OK")))
            .then(ModalScript::click(QStringLiteral("OK")));
        part<QAction>(*form, "SaveBmpA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{3});
        QCOMPARE(script.seen[1].text, QString::fromUtf8("Файл walk0.bmp уже существует. Заменить?"));
        QCOMPARE(script.seen[2].title, kCaption);
        QCOMPARE(script.seen[2].text, standardErrorText(QString::fromStdString(expected)));
        QVERIFY(script.seen[2].text.endsWith(u'.'));
        QCOMPARE(script.seen[2].buttons, QStringList{QStringLiteral("OK")});
        QCOMPARE(form->placementStore()->readSetting("SaveBmp", ""), std::string());
        // The program goes on.
        QVERIFY(part<QAction>(*form, "SaveBmpA")->isEnabled());
        tickOnce(*form);
    }

    void splitterChangesStripHeight()
    {
        auto form = makeForm();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QSplitterHandle* handle = part<QSplitter>(*form, "Splitter1")->handle(1);
        const QPoint start = handle->rect().center();
        const auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
            QMouseEvent event(type, local, handle->mapToGlobal(local), Qt::LeftButton, buttons, {});
            QApplication::sendEvent(handle, &event);
        };
        QSignalSpy moved(part<QSplitter>(*form, "Splitter1"), &QSplitter::splitterMoved);
        send(QEvent::MouseButtonPress, start, Qt::LeftButton);
        send(QEvent::MouseMove, start + QPoint(0, 30), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, start + QPoint(0, 30), Qt::NoButton);
        QCOMPARE(moved.size(), 1);
        const int position = moved.at(0).at(0).toInt();
        QVERIFY(position > 130);
        QCOMPARE(part<StripView>(*form, "ScrollBoxSource")->height(), position);
        QCOMPARE(form->stripHeight(), position);
        // The window follows the model from then on, also when resized.
        form->resize(form->width(), form->height() + 40);
        QTRY_COMPARE(part<StripView>(*form, "ScrollBoxSource")->height(), position);
    }

    void optionsShowFirstFrameSizeAndOkRenormalises()
    {
        writeAbm(testFile(QStringLiteral("big.abm")), 200, 150, {pattern(0), pattern(1)});
        auto form = makeForm({native(testFile(QStringLiteral("big.abm")))});
        form->show();
        QString widthText, heightText;
        bool widthEnabled = true, heightEnabled = true;
        ModalScript script;
        script.then([&](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            QVERIFY(dialog);
            widthText = sizeEdit(dialog, "FrmWidth")->text();
            heightText = sizeEdit(dialog, "FrmHeight")->text();
            widthEnabled = sizeEdit(dialog, "FrmWidth")->isEnabled();
            heightEnabled = sizeEdit(dialog, "FrmHeight")->isEnabled();
            part<QCheckBox>(dialog, "ChBAutoSize")->click();
            part<QPushButton>(dialog, "BitBtn1")->click();
        });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(widthText, QStringLiteral("200"));
        QCOMPARE(heightText, QStringLiteral("150"));
        QVERIFY(!widthEnabled);
        QVERIFY(!heightEnabled);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(form->thumbnails()[static_cast<size_t>(i)]->size(), QSize(200, 150));
            QCOMPARE(rasterSize(*form->thumbnails()[static_cast<size_t>(i)]->raster()), QSize(200, 150));
        }
    }

    void conversionBoxesChangeTheFramesAfterOk_data()
    {
        QTest::addColumn<bool>("smooth");
        QTest::addColumn<bool>("dither");
        QTest::addColumn<bool>("keepAspect");
        // clang-format off
        QTest::newRow("none") << false << false << false;
        QTest::newRow("smooth") << true << false << false;
        QTest::newRow("dither") << false << true << false;
        QTest::newRow("keep aspect") << false << false << true;
        QTest::newRow("all") << true << true << true;
        // clang-format on
    }

    // The frames after OK are the picture converted as the boxes say, and
    // the strip shows exactly them.
    void conversionBoxesChangeTheFramesAfterOk()
    {
        QFETCH(bool, smooth);
        QFETCH(bool, dither);
        QFETCH(bool, keepAspect);
        Raster picture;
        picture.create(300, 120, PixelLayout::forFormat(PixelFormat::Bgr888));
        for (int y = 0; y < 120; ++y)
            for (int i = 0; i < 900; ++i)
                picture.row(y)[i] = static_cast<uint8_t>(i * 7 + y * 13 + (i * y) % 11);
        writeBmpFile(picture, native(testFile(QStringLiteral("wide.bmp"))));
        auto form = makeForm({native(testFile(QStringLiteral("wide.bmp")))});
        form->show();
        ModalScript script;
        script.then([&](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            part<QCheckBox>(dialog, "ChBAutoSize")->click();
            sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("128"));
            sizeEdit(dialog, "FrmHeight")->setText(QStringLiteral("97"));
            part<QCheckBox>(dialog, "ChBStretch")->click();
            part<QCheckBox>(dialog, "CbSmooth")->setChecked(smooth);
            part<QCheckBox>(dialog, "CbDither")->setChecked(dither);
            part<QCheckBox>(dialog, "CbKeepAspect")->setChecked(keepAspect);
            part<QPushButton>(dialog, "BitBtn1")->click();
        });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());
        const Raster& frame = form->model()->strip.frame(0).picture;
        const FrameConversion how{.smooth = smooth, .dither = dither, .keepProportions = keepAspect};
        QVERIFY(sameRaster(frame, convertToFrame(picture, 128, 97, how)));
        QCOMPARE(sameRaster(frame, convertToFrame(picture, 128, 97, {})), !smooth && !dither && !keepAspect);
        checkStripShowsRasters(*form);
    }

    void optionsEnterRebuildsStripEscDoesNot_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("rebuilt");
        // clang-format off
        QTest::newRow("Enter") << int(Qt::Key_Return) << true;
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false;
        // clang-format on
    }

    void optionsEnterRebuildsStripEscDoesNot()
    {
        QFETCH(int, key);
        QFETCH(bool, rebuilt);
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}))});
        const std::vector<ThumbnailWidget*> before = form->thumbnails();
        const uint64_t generation = form->model()->strip.generation();
        ModalScript script;
        script.then([key](QWidget* window) {
            QWidget* focus = QApplication::focusWidget();
            QTest::keyClick(focus && window->isAncestorOf(focus) ? focus : window, Qt::Key(key));
        });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());
        QVERIFY(!form->optionsDialog()->isVisible());
        QCOMPARE(form->model()->strip.generation() != generation, rebuilt);
        QCOMPARE(form->thumbnails() != before, rebuilt);
    }

    void optionsChangedThenCancelledApplyToLaterImports()
    {
        auto form = makeForm();
        form->show();
        ModalScript script;
        script.then([](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            part<QCheckBox>(dialog, "ChBAutoSize")->click();
            part<QCheckBox>(dialog, "ChBStretch")->click();
            sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("32"));
            sizeEdit(dialog, "FrmHeight")->setText(QStringLiteral("20"));
            part<QPushButton>(dialog, "BitBtn2")->click();
        });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());

        FrameOptions reopened;
        script.then([&](QWidget* window) {
            reopened = qobject_cast<OptionsDialog*>(window)->options();
            qobject_cast<OptionsDialog*>(window)->reject();
        });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(reopened, (FrameOptions{.width = 32, .height = 20, .autoSize = false, .stretch = true}));

        solidAbm(QStringLiteral("one.abm"), {0xF800}, 64, 48);
        script.then(ModalScript::chooseFile(testFile(QStringLiteral("one.abm"))));
        part<QAction>(*form, "OpenGifA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(form->thumbnails().at(0)->size(), QSize(32, 20));
        QCOMPARE(rasterSize(*form->thumbnails().at(0)->raster()), QSize(32, 20));
    }

    // The dialog is built by the first options command, without an owner,
    // and shows the strip's options; what it holds when it closes, Cancel
    // too, is the strip's from then on. Once the window closed, the command
    // shows nothing.
    void optionsGoThroughTheDialogWhileItLives()
    {
        FrameOptions changed = fittedToPhone({.transparentGif = true});
        changed.width = 40;
        auto form = makeForm();
        form->show();
        QCOMPARE(form->model()->strip.options(), FrameOptions());
        FrameOptions shown;
        ModalScript script;
        script.then([&](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            shown = dialog->options();
            for (const char* box :
                 {"ChBAutoSize", "ChBStretch", "ChBTransparent", "CbSmooth", "CbDither", "CbKeepAspect"})
                part<QCheckBox>(dialog, box)->click();
            sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("40"));
            part<QPushButton>(dialog, "BitBtn2")->click();
        });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(shown, FrameOptions());
        QVERIFY(!form->optionsDialog()->isVisible());
        QVERIFY(!form->optionsDialog()->parent());
        QCOMPARE(form->model()->strip.options(), changed);

        QVERIFY(form->close());
        QVERIFY(!form->optionsDialog());
        QCOMPARE(form->model()->strip.options(), changed);
        script.then(ModalScript::reject());
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(!form->optionsDialog());
        QVERIFY(!script.done());
    }

    void emptySizeFieldMakesNextImportFail()
    {
        auto form = makeForm();
        ModalScript script;
        script.then([](QWidget* window) {
            auto* dialog = qobject_cast<OptionsDialog*>(window);
            part<QCheckBox>(dialog, "ChBAutoSize")->click();
            QLineEdit* edit = sizeEdit(dialog, "FrmWidth");
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Backspace);
            QCOMPARE(edit->text(), QString());
            // OK would refuse the empty text; Cancel keeps it in the dialog.
            part<QPushButton>(dialog, "BitBtn2")->click();
        });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());

        script.then(ModalScript::chooseFile(corpus("gif/wuffs/animated-red-blue.gif")))
            .then(ModalScript::click(QStringLiteral("OK")));
        part<QAction>(*form, "OpenGifA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.back().title, kCaption);
        QCOMPARE(script.seen.back().text, QStringLiteral("'' is not a valid integer value."));
        QCOMPARE(form->model()->strip.count(), 0);
        QCOMPARE(form->placementStore()->readSetting("LoadImg", ""), std::string());
    }

    // A size text that is not an integer ("1,000", as the arrows once wrote)
    // never costs a frame: OK refuses it with the conversion error, and a
    // delete whose rebuild fails under it keeps every frame.
    void sizeThatIsNoIntegerNeverDropsAFrame()
    {
        auto form = makeForm({native(solidAbm(QStringLiteral("two.abm"), {0xF800, 0x07E0}))});
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        const QString error = QStringLiteral("'1,000' is not a valid integer value.");
        bool stillOpen = false;
        ModalScript script;
        script
            .then([](QWidget* window) {
                auto* dialog = qobject_cast<OptionsDialog*>(window);
                part<QCheckBox>(dialog, "ChBAutoSize")->click();
                sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("1,000"));
                part<QPushButton>(dialog, "BitBtn1")->click();
            })
            .then(ModalScript::click(QStringLiteral("OK")))
            .then([&](QWidget* window) {
                stillOpen = window == form->optionsDialog();
                part<QPushButton>(form->optionsDialog(), "BitBtn2")->click();
            });
        part<QAction>(*form, "OptionsA")->trigger();
        QVERIFY(script.done());
        QVERIFY(stillOpen);
        QCOMPARE(script.seen[1].text, error);

        script.then(ModalScript::clickMenuAction(part<QAction>(*form, "DeleteA")))
            .then(ModalScript::click(QStringLiteral("OK")))
            .then(ModalScript::click(QStringLiteral("OK")));
        contextMenuOn(form->thumbnails()[0]);
        QTRY_VERIFY(script.done());
        QCOMPARE(script.seen.back().title, kCaption);
        QCOMPARE(script.seen.back().text, error);
        QCOMPARE(firstPixels(*form), (std::vector<uint16_t>{0xF800, 0x07E0}));
        QCOMPARE(part<QLabel>(*form, "StatusPanel0")->text(), QStringLiteral("2"));
        QVERIFY(part<QAction>(*form, "SaveToFileA")->isEnabled());
    }

    void commandsFollowTheStripAfterAnOpenThatFails()
    {
        solidAbm(QStringLiteral("one.abm"), {0xF800});
        QFile bad(testFile(QStringLiteral("bad.gif")));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("GIF89a\x01");
        bad.close();
        auto form = makeForm();
        ModalScript script;
        script.then(ModalScript::chooseFile(QStringLiteral("\"one.abm\" \"bad.gif\"")))
            .then(ModalScript::click(QStringLiteral("OK")));
        form->placementStore()->writeSetting("LoadImg", native(dir_->path()) + "/");
        part<QAction>(*form, "OpenGifA")->trigger();
        QVERIFY(script.done());
        QCOMPARE(script.seen.back().title, kCaption);
        // The decoder's words, then the file they concern.
        QCOMPARE(script.seen.back().text, QString::fromUtf8("Premature end of data.\nФайл: \u2068") + dir_->path() +
                                              QStringLiteral("/bad.gif") + QChar(0x2069));
        QCOMPARE(form->model()->strip.count(), 1);
        for (QAction* action :
             {part<QAction>(*form, "SaveBmpA"), part<QAction>(*form, "SaveToFileA"), part<QAction>(*form, "ClearA")})
            QVERIFY2(action->isEnabled(), qPrintable(action->objectName()));
    }
};

QTEST_MAIN(MainWindowPreviewTest)
#include "MainWindowPreviewTest.moc"
