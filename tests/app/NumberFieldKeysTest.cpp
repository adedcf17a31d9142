// The options dialog's number fields: the keys they take and refuse, the
// selection, the clipboard shortcuts and the arrows.

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

// The width field made editable, holding `text` with the caret at `caret`
// (-1: at the end).
QLineEdit* editableWidth(OptionsDialog& dialog, const QString& text, int caret = -1)
{
    part<QCheckBox>(dialog, "ChBAutoSize")->setChecked(false);
    QLineEdit* edit = sizeEdit(dialog, "FrmWidth");
    edit->setText(text);
    edit->setCursorPosition(caret < 0 ? static_cast<int>(text.size()) : caret);
    return edit;
}

}  // namespace

class NumberFieldKeysTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;

private slots:
    void initTestCase()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    void keysThatLeaveTextUnchanged_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        // clang-format off
        QTest::newRow("letter") << int(Qt::Key_A) << "a" << -1;
        QTest::newRow("minus") << int(Qt::Key_Minus) << "-" << -1;
        QTest::newRow("blank") << int(Qt::Key_Space) << " " << -1;
        QTest::newRow("full stop") << int(Qt::Key_Period) << "." << -1;
        QTest::newRow("Delete before the text") << int(Qt::Key_Delete) << "" << 0;
        QTest::newRow("Delete inside the text") << int(Qt::Key_Delete) << "" << 1;
        // clang-format on
    }

    void keysThatLeaveTextUnchanged()
    {
        QFETCH(int, key);
        QFETCH(QString, text);
        QFETCH(int, caret);
        OptionsDialog dialog;
        QLineEdit* edit = editableWidth(dialog, QStringLiteral("128"), caret);
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key(key));
        else
            QTest::keyClicks(edit, text);
        QCOMPARE(edit->text(), QStringLiteral("128"));
    }

    void digitsAreTyped()
    {
        OptionsDialog dialog;
        QLineEdit* edit = editableWidth(dialog, QStringLiteral("12"));
        QTest::keyClicks(edit, QStringLiteral("3x4"));
        QCOMPARE(edit->text(), QStringLiteral("1234"));
    }

    void backspaceRefusedOnlyOnOneCharacter_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        // clang-format off
        QTest::newRow("three characters") << "128" << "12";
        QTest::newRow("one character") << "7" << "7";
        QTest::newRow("two characters") << "10" << "1";
        // clang-format on
    }

    void backspaceRefusedOnlyOnOneCharacter()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        OptionsDialog dialog;
        QLineEdit* edit = editableWidth(dialog, before);
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), after);
    }

    void selectedTextIsReplacedOrEmptied()
    {
        OptionsDialog dialog;
        QLineEdit* edit = editableWidth(dialog, QStringLiteral("128"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_6);
        QCOMPARE(edit->text(), QStringLiteral("6"));
        edit->setText(QStringLiteral("128"));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QCOMPARE(edit->text(), QString());
    }

    void clipboardShortcutsNeverReachTheEdit()
    {
        OptionsDialog dialog;
        QLineEdit* edit = editableWidth(dialog, QStringLiteral("128"));
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
        // clang-format off
        QTest::newRow("up") << "128" << int(Qt::Key_Up) << "129";
        QTest::newRow("down") << "128" << int(Qt::Key_Down) << "127";
        QTest::newRow("stops at 10000") << "10000" << int(Qt::Key_Up) << "10000";
        QTest::newRow("stops at 0") << "0" << int(Qt::Key_Down) << "0";
        QTest::newRow("999 up is plain digits") << "999" << int(Qt::Key_Up) << "1000";
        QTest::newRow("grouped text is read") << "1,000" << int(Qt::Key_Down) << "999";
        QTest::newRow("typed text above range") << "20000" << int(Qt::Key_Up) << "10000";
        // clang-format on
    }

    void arrowsStepWithinRange()
    {
        QFETCH(QString, before);
        QFETCH(int, key);
        QFETCH(QString, after);
        OptionsDialog dialog;
        QLineEdit* edit = editableWidth(dialog, before);
        QTest::keyClick(edit, Qt::Key(key));
        QCOMPARE(edit->text(), after);
    }

    void arrowButtonsStepTheEditAndStayEnabled()
    {
        OptionsDialog dialog;
        const SpinButtons* arrows = part<NumberField>(dialog, "FrmHeight")->spinButtons;
        QVERIFY(!sizeEdit(dialog, "FrmHeight")->isEnabled());
        QVERIFY(arrows->upButton()->isEnabled());
        QTest::mouseClick(arrows->upButton(), Qt::LeftButton);
        QCOMPARE(sizeEdit(dialog, "FrmHeight")->text(), QStringLiteral("98"));
        QTest::mouseClick(arrows->downButton(), Qt::LeftButton);
        QTest::mouseClick(arrows->downButton(), Qt::LeftButton);
        QCOMPARE(sizeEdit(dialog, "FrmHeight")->text(), QStringLiteral("96"));
    }

    void arrowsWritePlainDigitsInEveryLocale()
    {
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        OptionsDialog dialog;
        QLineEdit* edit = editableWidth(dialog, QStringLiteral("999"));
        QTest::keyClick(edit, Qt::Key_Up);
        const QString first = edit->text();
        QTest::mouseClick(part<NumberField>(dialog, "FrmWidth")->spinButtons->upButton(), Qt::LeftButton);
        const QString next = edit->text();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(first, QStringLiteral("1000"));
        QCOMPARE(next, QStringLiteral("1001"));
    }
};

QTEST_MAIN(NumberFieldKeysTest)
#include "NumberFieldKeysTest.moc"
