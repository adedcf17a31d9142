// The options dialog alone: its layout, the auto-size switch, OK and Cancel,
// the registration button and the web link.

#include "desktop/FileAssociation.h"
#include "base/ProgramFile.h"
#include "app/Author.h"
#include "app/OptionsDialog.h"
#include "app/NumberField.h"
#include "app/SpinButtons.h"
#include "tests/app/GuiTestSupport.h"
#include "tests/app/ModalScript.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyleFactory>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace abm;
using namespace abm::test;

namespace {

const QString kTitle = QStringLiteral("Создание анимашек для Samsung - SGH-C100");

}  // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;

public slots:
    void openUrl(const QUrl& url) { openedUrls << url; }

public:
    QList<QUrl> openedUrls;

private slots:
    void initTestCase()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setApplicationName(kTitle);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void dialogMatchesDesign()
    {
        OptionsDialog dialog;
        // The designed 341 × 217, three check box rows higher, is the minimum:
        // controls grow to their texts in the real font and move on by as
        // much (DesktopLookTest).
        QVERIFY(dialog.width() >= 341 && dialog.height() >= 289);
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowTitle(), QString());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!dialog.isSizeGripEnabled());
        QVERIFY(!dialog.parent());

        struct Designed {
            const char* name;
            QRect rect;
            const char* text;  // the control's "text" property
            bool checked;
        };
        // clang-format off
        const Designed designed[] = {
            {"FrmWidth", {32, 16, 52, 37}, nullptr, false},     {"FrmHeight", {32, 72, 52, 37}, nullptr, false},
            {"ChBAutoSize", {104, 32, 97, 17}, "Авторазмер", true},
            {"ChBStretch", {224, 32, 97, 17}, "Растянуть", false},
            {"ChBTransparent", {104, 64, 217, 17}, "Загружать GIF как прозрачный", false},
            {"CbSmooth", {104, 88, 217, 17}, "Сглаживание при масштабировании", false},
            {"CbDither", {104, 112, 217, 17}, "Дизеринг 5-6-5", false},
            {"CbKeepAspect", {104, 136, 217, 17}, "Сохранять пропорции", false},
            {"SpeedButton1", {104, 160, 217, 33}, "Зарегистрировать расширение *.ABM\nпод эту программу", false},
            {"LbUrl", {16, 216, 1, 1}, kGuideCaption, false}, {"Label3", {264, 208, 1, 1}, "V 1.0.0", false},
            {"BitBtn1", {168, 256, 75, 25}, "OK", false},       {"BitBtn2", {256, 256, 75, 25}, "Cancel", false}};
        // clang-format on
        for (const Designed& d : designed) {
            const QWidget* widget = part<QWidget>(dialog, d.name);
            const QRect now = widget->geometry();
            QVERIFY2(now.left() >= d.rect.left() && now.top() >= d.rect.top() && now.width() >= d.rect.width() &&
                         now.height() >= d.rect.height() && dialog.rect().contains(now),
                     d.name);
            if (d.text)
                QCOMPARE(widget->property("text").toString(), QString::fromUtf8(d.text));
            QCOMPARE(widget->property("checked").toBool(), d.checked);
        }
        QCOMPARE(part<NumberField>(dialog, "FrmWidth")->caption->text(), QStringLiteral("Ширина:"));
        QCOMPARE(part<NumberField>(dialog, "FrmHeight")->caption->text(), QStringLiteral("Высота:"));
        QCOMPARE(sizeEdit(dialog, "FrmWidth")->text(), QStringLiteral("128"));
        QCOMPARE(sizeEdit(dialog, "FrmHeight")->text(), QStringLiteral("97"));
        QVERIFY(!sizeEdit(dialog, "FrmWidth")->isEnabled() && !sizeEdit(dialog, "FrmHeight")->isEnabled());
        QCOMPARE(part<QToolButton>(dialog, "SpeedButton1")->focusPolicy(), Qt::NoFocus);
        const QLabel* link = part<QLabel>(dialog, "LbUrl");
        QVERIFY(link->font().underline());
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QCOMPARE(link->cursor().shape(), Qt::PointingHandCursor);
        const auto own = [&](const char* name) {
            return dialog.findChild<QLabel*>(QString::fromLatin1(name), Qt::FindDirectChildrenOnly);
        };
        QCOMPARE(own("Label1")->text(), QStringLiteral("E_Mail:"));
        QVERIFY(own("Label1")->isHidden() && own("Label2")->isHidden());
        QVERIFY(part<QPushButton>(dialog, "BitBtn1")->isDefault());
        QVERIFY(!part<QPushButton>(dialog, "BitBtn1")->icon().isNull());
        QVERIFY(!part<QPushButton>(dialog, "BitBtn2")->icon().isNull());
    }

    void numberFieldMatchesDesign()
    {
        NumberField field;
        QCOMPARE(field.size(), QSize(52, 37));
        QCOMPARE(field.caption->geometry(), QRect(0, 0, 52, 13));
        QVERIFY(field.caption->alignment() & Qt::AlignHCenter);
        QCOMPARE(field.edit->geometry(), QRect(0, 16, 41, 21));
        QCOMPARE(field.edit->text(), QStringLiteral("0"));
        QCOMPARE(field.spinButtons->geometry(), QRect(41, 16, 11, 21));
        QCOMPARE(field.spinButtons->minimum, 0);
        QCOMPARE(field.spinButtons->maximum, 10000);
        QCOMPARE(field.spinButtons->increment, 1);
        QVERIFY(!field.spinButtons->wrap);
        QCOMPARE(field.spinButtons->associate(), field.edit);
    }

    void tabOrderMatchesDesign()
    {
        OptionsDialog dialog;
        std::vector<QWidget*> designed{sizeEdit(dialog, "FrmWidth"), sizeEdit(dialog, "FrmHeight")};
        for (const char* name : {"BitBtn1", "BitBtn2", "ChBAutoSize", "ChBStretch", "ChBTransparent", "CbSmooth",
                                 "CbDither", "CbKeepAspect"})
            designed.push_back(part<QWidget>(dialog, name));
        std::vector<QWidget*> order;
        QWidget* w = designed.front();
        do {
            if (std::find(designed.begin(), designed.end(), w) != designed.end())
                order.push_back(w);
            w = w->nextInFocusChain();
        } while (w != designed.front());
        QCOMPARE(order, designed);
    }

    void okWithASizeThatIsNoIntegerShowsTheErrorAndStaysOpen_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("message");
        // clang-format off
        QTest::newRow("grouped") << "1,000" << "97" << "'1,000' is not a valid integer value.";
        QTest::newRow("empty height") << "128" << "" << "'' is not a valid integer value.";
        QTest::newRow("pasted letters") << "12px" << "97" << "'12px' is not a valid integer value.";
        // clang-format on
    }

    void okWithASizeThatIsNoIntegerShowsTheErrorAndStaysOpen()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, message);
        OptionsDialog dialog;
        part<QCheckBox>(dialog, "ChBAutoSize")->setChecked(false);
        bool openAfterError = false;
        ModalScript script;
        script
            .then([&](QWidget*) {
                sizeEdit(dialog, "FrmWidth")->setText(width);
                sizeEdit(dialog, "FrmHeight")->setText(height);
                part<QPushButton>(dialog, "BitBtn1")->click();
            })
            .then(ModalScript::click(QStringLiteral("OK")))
            .then([&](QWidget* window) {
                // The dialog again, once the error box is gone.
                openAfterError = window == &dialog && dialog.isVisible();
                sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("1000"));
                sizeEdit(dialog, "FrmHeight")->setText(QStringLiteral("97"));
                part<QPushButton>(dialog, "BitBtn1")->click();
            });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{3});
        QCOMPARE(script.seen[1].title, kTitle);
        QCOMPARE(script.seen[1].text, message);
        QVERIFY(openAfterError);
    }

    void okWithAutoSizeOnTakesAnyText()
    {
        OptionsDialog dialog;
        ModalScript script;
        script.then([&](QWidget*) {
            sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("1,000"));
            part<QPushButton>(dialog, "BitBtn1")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(script.seen.size(), size_t{1});
    }

    void autoSizeSwitchesBothEdits()
    {
        OptionsDialog dialog;
        part<QCheckBox>(dialog, "ChBAutoSize")->click();
        QVERIFY(!dialog.options().autoSize);
        QVERIFY(sizeEdit(dialog, "FrmWidth")->isEnabled());
        QVERIFY(sizeEdit(dialog, "FrmHeight")->isEnabled());
        QVERIFY(part<NumberField>(dialog, "FrmWidth")->spinButtons->isEnabled());
        QVERIFY(part<NumberField>(dialog, "FrmHeight")->spinButtons->upButton()->isEnabled());
        part<QCheckBox>(dialog, "ChBAutoSize")->click();
        QVERIFY(dialog.options().autoSize);
        QVERIFY(!sizeEdit(dialog, "FrmWidth")->isEnabled());
        QVERIFY(!sizeEdit(dialog, "FrmHeight")->isEnabled());
        QVERIFY(part<NumberField>(dialog, "FrmWidth")->spinButtons->isEnabled());
        QVERIFY(part<NumberField>(dialog, "FrmHeight")->spinButtons->downButton()->isEnabled());
    }

    // Values in and out: a size text that is no integer stays text; a text
    // that already reads as the size given is kept as typed.
    void optionsGoInAndComeOut()
    {
        OptionsDialog dialog;
        QCOMPARE(dialog.options(), FrameOptions());
        FrameOptions chosen = fittedToPhone({.transparentGif = true});
        chosen.width = 64;
        chosen.height = FrameDimension::fromText("1,000");
        dialog.setOptions(chosen);
        QCOMPARE(sizeEdit(dialog, "FrmWidth")->text(), QStringLiteral("64"));
        QCOMPARE(sizeEdit(dialog, "FrmHeight")->text(), QStringLiteral("1,000"));
        QVERIFY(sizeEdit(dialog, "FrmWidth")->isEnabled());
        QCOMPARE(dialog.options(), chosen);
        sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("064"));
        dialog.setOptions(chosen);
        QCOMPARE(sizeEdit(dialog, "FrmWidth")->text(), QStringLiteral("064"));
        dialog.setFrameSize(200, 150);
        QCOMPARE(dialog.options().width, FrameDimension(200));
        QCOMPARE(sizeEdit(dialog, "FrmHeight")->text(), QStringLiteral("150"));
    }

    void closesWithResultOfKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("fromEdit");
        QTest::addColumn<int>("result");
        // clang-format off
        QTest::newRow("Enter") << int(Qt::Key_Return) << false << int(QDialog::Accepted);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false << int(QDialog::Rejected);
        QTest::newRow("Enter in an edit") << int(Qt::Key_Return) << true << int(QDialog::Accepted);
        QTest::newRow("Esc in an edit") << int(Qt::Key_Escape) << true << int(QDialog::Rejected);
        // clang-format on
    }

    void closesWithResultOfKey()
    {
        QFETCH(int, key);
        QFETCH(bool, fromEdit);
        QFETCH(int, result);
        OptionsDialog dialog;
        if (fromEdit)
            part<QCheckBox>(dialog, "ChBAutoSize")->setChecked(false);
        ModalScript script;
        script.then([&](QWidget*) {
            QWidget* target = QApplication::focusWidget();
            if (fromEdit) {
                sizeEdit(dialog, "FrmHeight")->setFocus();
                target = sizeEdit(dialog, "FrmHeight");
            }
            QTest::keyClick(target ? target : &dialog, Qt::Key(key));
        });
        QCOMPARE(dialog.exec(), result);
        QVERIFY(script.done());
        QVERIFY(!dialog.isVisible());
    }

    void changesBeforeCancelSurviveReopening()
    {
        OptionsDialog dialog;
        ModalScript script;
        script.then([&](QWidget*) {
            part<QCheckBox>(dialog, "ChBTransparent")->click();
            part<QCheckBox>(dialog, "CbDither")->click();
            part<QCheckBox>(dialog, "ChBAutoSize")->click();
            sizeEdit(dialog, "FrmWidth")->setText(QStringLiteral("50"));
            part<QPushButton>(dialog, "BitBtn2")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        bool transparent = false, dither = false, autoSize = true;
        QString width;
        script.then([&](QWidget*) {
            transparent = part<QCheckBox>(dialog, "ChBTransparent")->isChecked();
            dither = part<QCheckBox>(dialog, "CbDither")->isChecked();
            autoSize = part<QCheckBox>(dialog, "ChBAutoSize")->isChecked();
            width = sizeEdit(dialog, "FrmWidth")->text();
            part<QPushButton>(dialog, "BitBtn1")->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(transparent);
        QVERIFY(dither);
        QVERIFY(!autoSize);
        QCOMPARE(width, QStringLiteral("50"));
    }

    void centredOnScreenWhenShown()
    {
        OptionsDialog dialog;
        dialog.move(0, 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY((dialog.frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void registerButtonAssociatesAbmFilesSilently()
    {
        OptionsDialog dialog;
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("OK")));
        part<QToolButton>(dialog, "SpeedButton1")->click();
        QCoreApplication::processEvents();
        QVERIFY(script.seen.empty());
        const QString data = qEnvironmentVariable("XDG_DATA_HOME");
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(QFile::exists(data + QStringLiteral("/mime/packages/abmfile.xml")));
        const QByteArray entry = readAll(data + QStringLiteral("/applications/abmfile.desktop"));
        QVERIFY(entry.contains(QByteArray::fromStdString(programFilePath()) + " %F"));
        QVERIFY(readAll(config + QStringLiteral("/mimeapps.list")).contains("application/x-abmfile=abmfile.desktop;"));
    }

    void registerButtonFailureShowsStandardErrorBox()
    {
        const QString blocker = home_->path("blocked-data");
        {
            QFile file(blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QByteArray data = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + QStringLiteral("/share")));
        OptionsDialog dialog;
        ModalScript script;
        script.then(ModalScript::click(QStringLiteral("OK")));
        part<QToolButton>(dialog, "SpeedButton1")->click();
        qputenv("XDG_DATA_HOME", data);
        QVERIFY(script.done());
        QCOMPARE(script.seen.size(), size_t{1});
        QCOMPARE(script.seen[0].title, kTitle);
        QVERIFY2(script.seen[0].text.startsWith(QStringLiteral("Failed to create key ")),
                 qPrintable(script.seen[0].text));
        QVERIFY(script.seen[0].text.endsWith(u'.'));
        QCOMPARE(script.seen[0].buttons, QStringList{QStringLiteral("OK")});
    }

    void linkOpensTheInstalledGuideOrIsNotShown_data()
    {
        QTest::addColumn<bool>("installed");
        QTest::newRow("guide installed") << true;
        QTest::newRow("no guide") << false;
    }

    void linkOpensTheInstalledGuideOrIsNotShown()
    {
        QFETCH(bool, installed);
        // The XDG data folders are the only place this test program finds one.
        QTemporaryDir data;
        const QByteArray oldHome = qgetenv("XDG_DATA_HOME"), oldDirs = qgetenv("XDG_DATA_DIRS");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(data.filePath(QStringLiteral("none"))));
        const QString guide = data.filePath(QString::fromLatin1(kGuideFile));
        if (installed) {
            QVERIFY(QDir().mkpath(QFileInfo(guide).path()));
            QFile file(guide);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        OptionsDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        openedUrls.clear();
        QTest::mouseClick(part<QLabel>(dialog, "LbUrl"), Qt::LeftButton, {},
                          part<QLabel>(dialog, "LbUrl")->rect().center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        qputenv("XDG_DATA_HOME", oldHome);
        qputenv("XDG_DATA_DIRS", oldDirs);
        QCOMPARE(part<QLabel>(dialog, "LbUrl")->isVisible(), installed);
        QCOMPARE(openedUrls,
                 installed ? QList<QUrl>{QUrl::fromLocalFile(QFileInfo(guide).canonicalFilePath())} : QList<QUrl>{});
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
