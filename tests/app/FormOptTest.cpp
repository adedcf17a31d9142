// The options dialog alone: its layout, the number fields' key handling and
// arrows, the auto-size switch, OK and Cancel, the registration button and
// the web link.

#include "desktop/FileAssociation.h"
#include "base/ProgramFile.h"
#include "app/Author.h"
#include "app/FormOpt.h"
#include "app/FrmInc.h"
#include "app/UpDown.h"
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

// The width field made editable, holding `text` with the caret at `caret`
// (-1: at the end).
QLineEdit* EditableWidth(TFormOpt& dialog, const QString& text, int caret = -1)
{
    dialog.ChBAutoSize->setChecked(false);
    QLineEdit* edit = dialog.FrmWidth->MaskEd;
    edit->setText(text);
    edit->setCursorPosition(caret < 0 ? static_cast<int>(text.size()) : caret);
    return edit;
}

}  // namespace

class FormOptTest : public QObject {
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
        TFormOpt dialog;
        QCOMPARE(dialog.size(), QSize(341, 217));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QCOMPARE(dialog.windowTitle(), QString());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(!(dialog.windowFlags() & Qt::WindowMinimizeButtonHint));
        QVERIFY(!dialog.isSizeGripEnabled());
        QVERIFY(!dialog.parent());

        QCOMPARE(dialog.FrmWidth->pos(), QPoint(32, 16));
        QCOMPARE(dialog.FrmHeight->pos(), QPoint(32, 72));
        QCOMPARE(dialog.ChBAutoSize->geometry(), QRect(104, 32, 97, 17));
        QCOMPARE(dialog.ChBStretch->geometry(), QRect(224, 32, 97, 17));
        QCOMPARE(dialog.ChBTransparent->geometry(), QRect(104, 64, 217, 17));
        QCOMPARE(dialog.SpeedButton1->geometry(), QRect(104, 88, 217, 33));
        QCOMPARE(dialog.LbUrl->pos(), QPoint(16, 144));
        QCOMPARE(dialog.Label1->pos(), QPoint(16, 168));
        QCOMPARE(dialog.Label2->pos(), QPoint(64, 168));
        QCOMPARE(dialog.Label3->pos(), QPoint(264, 136));
        QCOMPARE(dialog.BitBtn1->geometry(), QRect(168, 184, 75, 25));
        QCOMPARE(dialog.BitBtn2->geometry(), QRect(256, 184, 75, 25));

        QCOMPARE(dialog.FrmWidth->Label1->text(), QStringLiteral("Ширина:"));
        QCOMPARE(dialog.FrmHeight->Label1->text(), QStringLiteral("Высота:"));
        QCOMPARE(dialog.FrmWidth->MaskEd->text(), QStringLiteral("128"));
        QCOMPARE(dialog.FrmHeight->MaskEd->text(), QStringLiteral("97"));
        QCOMPARE(dialog.FrmWidth->UpDown1->Position(), 128);
        QCOMPARE(dialog.FrmHeight->UpDown1->Position(), 97);
        QVERIFY(!dialog.FrmWidth->MaskEd->isEnabled());
        QVERIFY(!dialog.FrmHeight->MaskEd->isEnabled());
        QCOMPARE(dialog.ChBAutoSize->text(), QStringLiteral("Авторазмер"));
        QVERIFY(dialog.ChBAutoSize->isChecked());
        QCOMPARE(dialog.ChBStretch->text(), QStringLiteral("Растянуть"));
        QVERIFY(!dialog.ChBStretch->isChecked());
        QCOMPARE(dialog.ChBTransparent->text(), QStringLiteral("Загружать GIF как прозрачный"));
        QVERIFY(!dialog.ChBTransparent->isChecked());
        QCOMPARE(dialog.SpeedButton1->text(), QStringLiteral("Зарегистрировать расширение *.ABM\nпод эту программу"));
        QVERIFY(dialog.SpeedButton1->autoRaise());
        QCOMPARE(dialog.SpeedButton1->focusPolicy(), Qt::NoFocus);
        QCOMPARE(dialog.LbUrl->text(), QString::fromUtf8(kAuthorUrl));
        QVERIFY(dialog.LbUrl->font().underline());
        QCOMPARE(dialog.LbUrl->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QCOMPARE(dialog.LbUrl->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(dialog.Label1->text(), QStringLiteral("E_Mail:"));
        QCOMPARE(dialog.Label2->text(), QString::fromUtf8(kAuthorEmail));
        QCOMPARE(dialog.Label3->text(), QStringLiteral("V 1.0.0"));
        QCOMPARE(dialog.BitBtn1->text(), QStringLiteral("OK"));
        QVERIFY(dialog.BitBtn1->isDefault());
        QCOMPARE(dialog.BitBtn2->text(), QStringLiteral("Cancel"));
        QVERIFY(!dialog.BitBtn1->icon().isNull());
        QVERIFY(!dialog.BitBtn2->icon().isNull());
    }

    void numberFieldMatchesDesign()
    {
        TFrmInc field;
        QCOMPARE(field.size(), QSize(52, 37));
        QCOMPARE(field.Label1->geometry(), QRect(0, 0, 52, 13));
        QVERIFY(field.Label1->alignment() & Qt::AlignHCenter);
        QCOMPARE(field.MaskEd->geometry(), QRect(0, 16, 41, 21));
        QCOMPARE(field.MaskEd->text(), QStringLiteral("0"));
        QCOMPARE(field.UpDown1->geometry(), QRect(41, 16, 11, 21));
        QCOMPARE(field.UpDown1->Min, 0);
        QCOMPARE(field.UpDown1->Max, 10000);
        QCOMPARE(field.UpDown1->Increment, 1);
        QVERIFY(!field.UpDown1->Wrap);
        QCOMPARE(field.UpDown1->Associate(), field.MaskEd);
    }

    void tabOrderMatchesDesign()
    {
        TFormOpt dialog;
        const std::vector<QWidget*> designed{dialog.FrmWidth->MaskEd, dialog.FrmHeight->MaskEd, dialog.BitBtn1,
                                             dialog.BitBtn2,           dialog.ChBAutoSize,          dialog.ChBStretch,
                                             dialog.ChBTransparent};
        std::vector<QWidget*> order;
        QWidget* w = designed.front();
        do {
            if (std::find(designed.begin(), designed.end(), w) != designed.end())
                order.push_back(w);
            w = w->nextInFocusChain();
        } while (w != designed.front());
        QCOMPARE(order, designed);
    }

    void keysThatLeaveTextUnchanged_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << -1;
        QTest::newRow("minus") << int(Qt::Key_Minus) << "-" << -1;
        QTest::newRow("blank") << int(Qt::Key_Space) << " " << -1;
        QTest::newRow("full stop") << int(Qt::Key_Period) << "." << -1;
        QTest::newRow("Delete before the text") << int(Qt::Key_Delete) << "" << 0;
        QTest::newRow("Delete inside the text") << int(Qt::Key_Delete) << "" << 1;
    }

    void keysThatLeaveTextUnchanged()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, caret);
        TFormOpt dialog;
        QLineEdit* edit = EditableWidth(dialog, QStringLiteral("128"), caret);
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key(key));
        else
            QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), QStringLiteral("128"));
    }

    void digitsAreTyped()
    {
        TFormOpt dialog;
        QLineEdit* edit = EditableWidth(dialog, QStringLiteral("12"));
        QTest::keyClicks(edit, QStringLiteral("3x4"));
        QCOMPARE(edit->text(), QStringLiteral("1234"));
    }

    void backspaceRefusedOnlyOnOneCharacter_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("three characters") << "128" << "12";
        QTest::newRow("one character") << "7" << "7";
        QTest::newRow("two characters") << "10" << "1";
    }

    void backspaceRefusedOnlyOnOneCharacter()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        TFormOpt dialog;
        QLineEdit* edit = EditableWidth(dialog, before);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), after);
    }

    void selectedTextIsReplacedOrEmptied()
    {
        TFormOpt dialog;
        QLineEdit* edit = EditableWidth(dialog, QStringLiteral("128"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_6);
        QCOMPARE(edit->text(), QStringLiteral("6"));
        edit->setText(QStringLiteral("128"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
        QCOMPARE(dialog.FrmWidthText(), std::string());
    }

    void clipboardShortcutsNeverReachTheEdit()
    {
        TFormOpt dialog;
        QLineEdit* edit = EditableWidth(dialog, QStringLiteral("128"));
        QGuiApplication::clipboard()->setText(QStringLiteral("55"));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(edit->text(), QStringLiteral("128"));
    }

    void arrowsStepWithinRange_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("after");
        QTest::newRow("up") << "128" << int(Qt::Key_Up) << "129";
        QTest::newRow("down") << "128" << int(Qt::Key_Down) << "127";
        QTest::newRow("stops at 10000") << "10000" << int(Qt::Key_Up) << "10000";
        QTest::newRow("stops at 0") << "0" << int(Qt::Key_Down) << "0";
        QTest::newRow("999 up is plain digits") << "999" << int(Qt::Key_Up) << "1000";
        QTest::newRow("grouped text is read") << "1,000" << int(Qt::Key_Down) << "999";
        QTest::newRow("typed text above range") << "20000" << int(Qt::Key_Up) << "10000";
    }

    void arrowsStepWithinRange()
    {
        QFETCH(QString, before);
        QFETCH(int, key);
        QFETCH(QString, after);
        TFormOpt dialog;
        QLineEdit* edit = EditableWidth(dialog, before);
        QTest::keyClick(edit, Qt::Key(key));
        QCOMPARE(edit->text(), after);
    }

    void arrowButtonsStepTheEditAndStayEnabled()
    {
        TFormOpt dialog;
        QVERIFY(!dialog.FrmHeight->MaskEd->isEnabled());
        QVERIFY(dialog.FrmHeight->UpDown1->UpButton()->isEnabled());
        QTest::mouseClick(dialog.FrmHeight->UpDown1->UpButton(), Qt::LeftButton);
        QCOMPARE(dialog.FrmHeight->MaskEd->text(), QStringLiteral("98"));
        QTest::mouseClick(dialog.FrmHeight->UpDown1->DownButton(), Qt::LeftButton);
        QTest::mouseClick(dialog.FrmHeight->UpDown1->DownButton(), Qt::LeftButton);
        QCOMPARE(dialog.FrmHeight->MaskEd->text(), QStringLiteral("96"));
    }

    void arrowsWritePlainDigitsInEveryLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TFormOpt dialog;
        QLineEdit* edit = EditableWidth(dialog, QStringLiteral("999"));
        QTest::keyClick(edit, Qt::Key_Up);
        const QString first = edit->text();
        QTest::mouseClick(dialog.FrmWidth->UpDown1->UpButton(), Qt::LeftButton);
        const QString next = edit->text();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(first, QStringLiteral("1000"));
        QCOMPARE(next, QStringLiteral("1001"));
    }

    void okWithASizeThatIsNoIntegerShowsTheErrorAndStaysOpen_data()
    {
        QTest::addColumn<QString>("width");
        QTest::addColumn<QString>("height");
        QTest::addColumn<QString>("message");
        QTest::newRow("grouped") << "1,000" << "97" << "'1,000' is not a valid integer value.";
        QTest::newRow("empty height") << "128" << "" << "'' is not a valid integer value.";
        QTest::newRow("pasted letters") << "12px" << "97" << "'12px' is not a valid integer value.";
    }

    void okWithASizeThatIsNoIntegerShowsTheErrorAndStaysOpen()
    {
        QFETCH(QString, width);
        QFETCH(QString, height);
        QFETCH(QString, message);
        TFormOpt dialog;
        dialog.ChBAutoSize->setChecked(false);
        bool openAfterError = false;
        ModalScript script;
        script.Then([&](QWidget*) {
                  dialog.FrmWidth->MaskEd->setText(width);
                  dialog.FrmHeight->MaskEd->setText(height);
                  dialog.BitBtn1->click();
              })
            .Then(ModalScript::Click(QStringLiteral("OK")))
            .Then([&](QWidget* window) {
                // The dialog again, once the error box is gone.
                openAfterError = window == &dialog && dialog.isVisible();
                dialog.FrmWidth->MaskEd->setText(QStringLiteral("1000"));
                dialog.FrmHeight->MaskEd->setText(QStringLiteral("97"));
                dialog.BitBtn1->click();
            });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(script.Done());
        QCOMPARE(script.seen.size(), size_t{3});
        QCOMPARE(script.seen[1].title, kTitle);
        QCOMPARE(script.seen[1].text, message);
        QVERIFY(openAfterError);
    }

    void okWithAutoSizeOnTakesAnyText()
    {
        TFormOpt dialog;
        ModalScript script;
        script.Then([&](QWidget*) {
            dialog.FrmWidth->MaskEd->setText(QStringLiteral("1,000"));
            dialog.BitBtn1->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(script.seen.size(), size_t{1});
    }

    void autoSizeSwitchesBothEdits()
    {
        TFormOpt dialog;
        dialog.ChBAutoSize->click();
        QVERIFY(!dialog.AutoSize());
        QVERIFY(dialog.FrmWidth->MaskEd->isEnabled());
        QVERIFY(dialog.FrmHeight->MaskEd->isEnabled());
        QVERIFY(dialog.FrmWidth->UpDown1->isEnabled());
        QVERIFY(dialog.FrmHeight->UpDown1->UpButton()->isEnabled());
        dialog.ChBAutoSize->click();
        QVERIFY(dialog.AutoSize());
        QVERIFY(!dialog.FrmWidth->MaskEd->isEnabled());
        QVERIFY(!dialog.FrmHeight->MaskEd->isEnabled());
        QVERIFY(dialog.FrmWidth->UpDown1->isEnabled());
        QVERIFY(dialog.FrmHeight->UpDown1->DownButton()->isEnabled());
    }

    void optionsAreReadFromTheControls()
    {
        TFormOpt dialog;
        const IFrameOptions& options = dialog;
        QCOMPARE(options.FrmWidthText(), std::string("128"));
        QCOMPARE(options.FrmHeightText(), std::string("97"));
        dialog.FrmWidth->MaskEd->setText(QStringLiteral("64"));
        dialog.FrmHeight->MaskEd->setText(QStringLiteral("1,000"));
        dialog.ChBStretch->click();
        dialog.ChBTransparent->click();
        QCOMPARE(options.FrmWidthText(), std::string("64"));
        QCOMPARE(options.FrmHeightText(), std::string("1,000"));
        QVERIFY(options.Stretch());
        QVERIFY(options.Transparent());
    }

    void closesWithResultOfKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("fromEdit");
        QTest::addColumn<int>("result");
        QTest::newRow("Enter") << int(Qt::Key_Return) << false << int(QDialog::Accepted);
        QTest::newRow("Esc") << int(Qt::Key_Escape) << false << int(QDialog::Rejected);
        QTest::newRow("Enter in an edit") << int(Qt::Key_Return) << true << int(QDialog::Accepted);
        QTest::newRow("Esc in an edit") << int(Qt::Key_Escape) << true << int(QDialog::Rejected);
    }

    void closesWithResultOfKey()
    {
        QFETCH(int, key);
        QFETCH(bool, fromEdit);
        QFETCH(int, result);
        TFormOpt dialog;
        if (fromEdit)
            dialog.ChBAutoSize->setChecked(false);
        ModalScript script;
        script.Then([&](QWidget*) {
            QWidget* target = QApplication::focusWidget();
            if (fromEdit) {
                dialog.FrmHeight->MaskEd->setFocus();
                target = dialog.FrmHeight->MaskEd;
            }
            QTest::keyClick(target ? target : &dialog, Qt::Key(key));
        });
        QCOMPARE(dialog.exec(), result);
        QVERIFY(script.Done());
        QVERIFY(!dialog.isVisible());
    }

    void changesBeforeCancelSurviveReopening()
    {
        TFormOpt dialog;
        ModalScript script;
        script.Then([&](QWidget*) {
            dialog.ChBTransparent->click();
            dialog.ChBAutoSize->click();
            dialog.FrmWidth->MaskEd->setText(QStringLiteral("50"));
            dialog.BitBtn2->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        bool transparent = false, autoSize = true;
        QString width;
        script.Then([&](QWidget*) {
            transparent = dialog.ChBTransparent->isChecked();
            autoSize = dialog.ChBAutoSize->isChecked();
            width = dialog.FrmWidth->MaskEd->text();
            dialog.BitBtn1->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(transparent);
        QVERIFY(!autoSize);
        QCOMPARE(width, QStringLiteral("50"));
    }

    void centredOnScreenWhenShown()
    {
        TFormOpt dialog;
        dialog.move(0, 0);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QPoint centre = QGuiApplication::primaryScreen()->geometry().center();
        QVERIFY((dialog.frameGeometry().center() - centre).manhattanLength() <= 2);
    }

    void registerButtonAssociatesAbmFilesSilently()
    {
        TFormOpt dialog;
        ModalScript script;
        script.Then(ModalScript::Click(QStringLiteral("OK")));
        dialog.SpeedButton1->click();
        QCoreApplication::processEvents();
        QVERIFY(script.seen.empty());
        const QString data = qEnvironmentVariable("XDG_DATA_HOME");
        const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
        QVERIFY(QFile::exists(data + QStringLiteral("/mime/packages/abmfile.xml")));
        const QByteArray entry = ReadAll(data + QStringLiteral("/applications/abmfile.desktop"));
        QVERIFY(entry.contains(QByteArray::fromStdString(ProgramFilePath()) + " %f"));
        QVERIFY(ReadAll(config + QStringLiteral("/mimeapps.list")).contains("application/x-abmfile=abmfile.desktop;"));
    }

    void registerButtonFailureShowsStandardErrorBox()
    {
        const QString blocker = home_->Path("blocked-data");
        {
            QFile file(blocker);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QByteArray data = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(blocker + QStringLiteral("/share")));
        TFormOpt dialog;
        ModalScript script;
        script.Then(ModalScript::Click(QStringLiteral("OK")));
        dialog.SpeedButton1->click();
        qputenv("XDG_DATA_HOME", data);
        QVERIFY(script.Done());
        QCOMPARE(script.seen.size(), size_t{1});
        QCOMPARE(script.seen[0].title, kTitle);
        QVERIFY2(script.seen[0].text.startsWith(QStringLiteral("Failed to create key ")), qPrintable(script.seen[0].text));
        QVERIFY(script.seen[0].text.endsWith(u'.'));
        QCOMPARE(script.seen[0].buttons, QStringList{QStringLiteral("OK")});
    }

    void urlLabelOpensAuthorsAddress()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "openUrl");
        TFormOpt dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        openedUrls.clear();
        QTest::mouseClick(dialog.LbUrl, Qt::LeftButton, {}, dialog.LbUrl->rect().center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(openedUrls, QList<QUrl>{QUrl(QString::fromUtf8(kAuthorUrl))});
    }
};

QTEST_MAIN(FormOptTest)
#include "FormOptTest.moc"
