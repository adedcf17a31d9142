// The program's look with the desktop's real fonts: Qt's Russian texts next
// to the window's own literal captions, and every control's text inside the
// control at any font size. ctest runs it at scale 1 and at QT_SCALE_FACTOR=2.

#include "GuiTestSupport.h"
#include "ModalScript.h"
#include "app/DesktopLook.h"
#include "app/DialogPrompts.h"
#include "app/ErrorBox.h"
#include "app/MainWindow.h"
#include "app/NumberField.h"
#include "app/OptionsDialog.h"
#include "app/SpinButtons.h"
#include "app/TextFit.h"
#include "base/Error.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QPushButton>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace abm;
using namespace abm::test;

namespace {

// The widest line a control shows, and the room it has for it.
QStringList shownLines(QWidget* w)
{
    QString text;
    if (auto* label = qobject_cast<QLabel*>(w))
        text = label->text();
    else if (auto* tool = qobject_cast<QToolButton*>(w); tool && tool->toolButtonStyle() != Qt::ToolButtonIconOnly)
        text = tool->text();
    else if (auto* button = qobject_cast<QAbstractButton*>(w); button && !tool)
        text = button->text();
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        text = edit->property(kWidestTextProperty).toString();
    return text.remove(u'&').split(u'\n', Qt::SkipEmptyParts);
}

// "name: text needs N, has M" for every visible control whose text does not fit.
QStringList clippedControls(QWidget* root)
{
    QStringList clipped;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (w->isWindow() || w->isHidden())
            continue;
        const QStringList lines = shownLines(w);
        if (lines.isEmpty())
            continue;
        int width = 0;
        for (const QString& line : lines)
            width = std::max(width, w->fontMetrics().horizontalAdvance(line));
        int room = w->contentsRect().width();
        if (qobject_cast<QCheckBox*>(w))
            room -= w->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, w) +
                    w->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, w);
        const int height = w->fontMetrics().height() * int(lines.size());
        // What the style draws around the text fits too (a push button's
        // hint holds a minimum width of the style's, an edit's a typical one).
        const bool styleFits =
            qobject_cast<QPushButton*>(w) || qobject_cast<QLineEdit*>(w) || w->sizeHint().width() <= w->width();
        if (width > room || height > w->height() || !styleFits)
            clipped << QStringLiteral("%1 '%2': needs %3x%4, has %5x%6")
                           .arg(w->objectName(), lines.join(u'|'))
                           .arg(width)
                           .arg(height)
                           .arg(room)
                           .arg(w->height());
    }
    return clipped;
}

}  // namespace

class DesktopLookTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestHome> home_;

private slots:
    void initTestCase()
    {
        home_ = std::make_unique<TestHome>();
        QApplication::setApplicationName(QString::fromUtf8(MainWindow::kCaption));
        applyDesktopLook(*qApp);
    }

    void qtTextsAreRussianButTheWindowsCaptionsStay()
    {
        // The Qt file dialog's own labels, then our boxes' literal buttons.
        QStringList labels;
        ModalScript script;
        script.then([&](QWidget* window) {
            for (auto* label : window->findChildren<QLabel*>())
                labels << label->text();
            static_cast<QDialog*>(window)->reject();
        });
        DialogPrompts prompts(nullptr);
        prompts.askOpenFiles({});
        script.then(ModalScript::click(QStringLiteral("OK")));
        prompts.showMessage("Очистить?", MessageKind::confirmation, {MessageButton::no, MessageButton::ok});
        script.then(ModalScript::click(QStringLiteral("OK")));
        showError(Error(ErrorKind::NotAnInteger, "x"));
        QVERIFY(script.done());
        QCOMPARE(script.seen[0].title, QStringLiteral("Открыть"));
        QVERIFY2(labels.contains(QStringLiteral("Перейти к:")), qPrintable(labels.join(u',')));
        QCOMPARE(script.seen[1].buttons, (QStringList{QStringLiteral("&No"), QStringLiteral("OK")}));
        QCOMPARE(script.seen[2].buttons, QStringList{QStringLiteral("OK")});
    }

    void everyTextFitsItsControl_data()
    {
        QTest::addColumn<int>("pointSize");
        QTest::newRow("8 pt, the program's") << 8;
        QTest::newRow("12 pt") << 12;
    }

    void everyTextFitsItsControl()
    {
        QFETCH(int, pointSize);
        const QFont before = QApplication::font();
        QFont font = before;
        font.setPointSize(pointSize);
        QApplication::setFont(font);
        OptionsDialog dialog;
        MainWindow form({});
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QStringList clipped = clippedControls(&dialog) + clippedControls(&form);
        QApplication::setFont(before);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(u'\n')));
        // Nothing left the dialog, and nothing got smaller than designed.
        for (QWidget* w : dialog.findChildren<QWidget*>()) {
            QString where;
            QDebug(&where) << w->objectName() << w->geometry() << "in" << dialog.size();
            QVERIFY2(dialog.rect().contains(w->mapTo(&dialog, w->rect().bottomRight())), qPrintable(where));
        }
        QVERIFY(dialog.width() >= OptionsDialog::kClientWidth && dialog.height() >= OptionsDialog::kClientHeight);
        QVERIFY(part<QPushButton>(dialog, "BitBtn1")->width() >= 75 &&
                part<QToolButton>(dialog, "SpeedButton1")->height() >= 33);
        // Rows and columns stay aligned; a control without text keeps its size.
        QCOMPARE(part<QPushButton>(dialog, "BitBtn1")->y(), part<QPushButton>(dialog, "BitBtn2")->y());
        QCOMPARE(part<QCheckBox>(dialog, "ChBAutoSize")->y(), part<QCheckBox>(dialog, "ChBStretch")->y());
        QCOMPARE(part<QCheckBox>(dialog, "CbSmooth")->x(), part<QToolButton>(dialog, "SpeedButton1")->x());
        QCOMPARE(part<NumberField>(dialog, "FrmWidth")->spinButtons->size(), QSize(11, 21));
    }

    void registerButtonShowsItsFrameUnhovered()
    {
        OptionsDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        const QImage shot = part<QToolButton>(dialog, "SpeedButton1")->grab().toImage();
        const QColor background = dialog.palette().color(QPalette::Window);
        int framed = 0;
        for (int y = 0; y < shot.height(); ++y)
            framed += QColor(shot.pixel(0, y)) != background;
        QVERIFY2(framed > shot.height() / 2, qPrintable(QString::number(framed)));
    }
};

QTEST_MAIN(DesktopLookTest)
#include "DesktopLookTest.moc"
