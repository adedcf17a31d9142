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

        const std::vector<std::pair<QWidget*, QRect>> designed{
            {dialog.widthField, {32, 16, 52, 37}},        {dialog.heightField, {32, 72, 52, 37}},
            {dialog.autoSizeBox, {104, 32, 97, 17}},      {dialog.stretchBox, {224, 32, 97, 17}},
            {dialog.transparentBox, {104, 64, 217, 17}},  {dialog.smoothBox, {104, 88, 217, 17}},
            {dialog.ditherBox, {104, 112, 217, 17}},      {dialog.keepAspectBox, {104, 136, 217, 17}},
            {dialog.registerButton, {104, 160, 217, 33}}, {dialog.authorLink, {16, 216, 1, 1}},
            {dialog.versionLabel, {264, 208, 1, 1}},      {dialog.okButton, {168, 256, 75, 25}},
            {dialog.cancelButton, {256, 256, 75, 25}}};
        for (const auto& [widget, rect] : designed) {
            const QRect now = widget->geometry();
            QVERIFY2(now.left() >= rect.left() && now.top() >= rect.top() && now.width() >= rect.width() &&
                         now.height() >= rect.height(),
                     qPrintable(widget->objectName()));
        }
        QCOMPARE(dialog.widthField->caption->text(), QStringLiteral("Ширина:"));
        QCOMPARE(dialog.heightField->caption->text(), QStringLiteral("Высота:"));
        QCOMPARE(dialog.widthField->edit->text(), QStringLiteral("128"));
        QCOMPARE(dialog.heightField->edit->text(), QStringLiteral("97"));
        QCOMPARE(dialog.widthField->spinButtons->position(), 128);
        QCOMPARE(dialog.heightField->spinButtons->position(), 97);
        QVERIFY(!dialog.widthField->edit->isEnabled());
        QVERIFY(!dialog.heightField->edit->isEnabled());
        QCOMPARE(dialog.autoSizeBox->text(), QStringLiteral("Авторазмер"));
        QVERIFY(dialog.autoSizeBox->isChecked());
        QCOMPARE(dialog.stretchBox->text(), QStringLiteral("Растянуть"));
        QVERIFY(!dialog.stretchBox->isChecked());
        QCOMPARE(dialog.transparentBox->text(), QStringLiteral("Загружать GIF как прозрачный"));
        QVERIFY(!dialog.transparentBox->isChecked());
        const std::pair<QCheckBox*, const char*> conversionBoxes[] = {
            {dialog.smoothBox, "CbSmooth Сглаживание при масштабировании"},
            {dialog.ditherBox, "CbDither Дизеринг 5-6-5"},
            {dialog.keepAspectBox, "CbKeepAspect Сохранять пропорции"},
        };
        for (const auto& [box, nameAndCaption] : conversionBoxes) {
            QCOMPARE(box->objectName() + u' ' + box->text(), QString::fromUtf8(nameAndCaption));
            QVERIFY(!box->isChecked());
            QVERIFY(dialog.rect().contains(box->geometry()));
        }
        QCOMPARE(dialog.registerButton->text(), QStringLiteral("Зарегистрировать расширение *.ABM\nпод эту программу"));
        QCOMPARE(dialog.registerButton->focusPolicy(), Qt::NoFocus);
        QCOMPARE(dialog.authorLink->text(), QString::fromUtf8(kGuideCaption));
        QVERIFY(dialog.authorLink->font().underline());
        QCOMPARE(dialog.authorLink->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QCOMPARE(dialog.authorLink->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(dialog.emailCaption->text(), QStringLiteral("E_Mail:"));
        QVERIFY(dialog.emailCaption->isHidden() && dialog.emailLabel->isHidden());
        QCOMPARE(dialog.versionLabel->text(), QStringLiteral("V 1.0.0"));
        QCOMPARE(dialog.okButton->text(), QStringLiteral("OK"));
        QVERIFY(dialog.okButton->isDefault());
        QCOMPARE(dialog.cancelButton->text(), QStringLiteral("Cancel"));
        QVERIFY(!dialog.okButton->icon().isNull());
        QVERIFY(!dialog.cancelButton->icon().isNull());
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
        const std::vector<QWidget*> designed{dialog.widthField->edit, dialog.heightField->edit, dialog.okButton,
                                             dialog.cancelButton,     dialog.autoSizeBox,       dialog.stretchBox,
                                             dialog.transparentBox,   dialog.smoothBox,         dialog.ditherBox,
                                             dialog.keepAspectBox};
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
        dialog.autoSizeBox->setChecked(false);
        bool openAfterError = false;
        ModalScript script;
        script
            .then([&](QWidget*) {
                dialog.widthField->edit->setText(width);
                dialog.heightField->edit->setText(height);
                dialog.okButton->click();
            })
            .then(ModalScript::click(QStringLiteral("OK")))
            .then([&](QWidget* window) {
                // The dialog again, once the error box is gone.
                openAfterError = window == &dialog && dialog.isVisible();
                dialog.widthField->edit->setText(QStringLiteral("1000"));
                dialog.heightField->edit->setText(QStringLiteral("97"));
                dialog.okButton->click();
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
            dialog.widthField->edit->setText(QStringLiteral("1,000"));
            dialog.okButton->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QCOMPARE(script.seen.size(), size_t{1});
    }

    void autoSizeSwitchesBothEdits()
    {
        OptionsDialog dialog;
        dialog.autoSizeBox->click();
        QVERIFY(!dialog.autoSize());
        QVERIFY(dialog.widthField->edit->isEnabled());
        QVERIFY(dialog.heightField->edit->isEnabled());
        QVERIFY(dialog.widthField->spinButtons->isEnabled());
        QVERIFY(dialog.heightField->spinButtons->upButton()->isEnabled());
        dialog.autoSizeBox->click();
        QVERIFY(dialog.autoSize());
        QVERIFY(!dialog.widthField->edit->isEnabled());
        QVERIFY(!dialog.heightField->edit->isEnabled());
        QVERIFY(dialog.widthField->spinButtons->isEnabled());
        QVERIFY(dialog.heightField->spinButtons->downButton()->isEnabled());
    }

    void optionsAreReadFromTheControls()
    {
        OptionsDialog dialog;
        const FrameOptions& options = dialog;
        QCOMPARE(options.widthText(), std::string("128"));
        QCOMPARE(options.heightText(), std::string("97"));
        dialog.widthField->edit->setText(QStringLiteral("64"));
        dialog.heightField->edit->setText(QStringLiteral("1,000"));
        dialog.stretchBox->click();
        dialog.transparentBox->click();
        dialog.smoothBox->click();
        dialog.ditherBox->click();
        dialog.keepAspectBox->click();
        QCOMPARE(options.widthText(), std::string("64"));
        QCOMPARE(options.heightText(), std::string("1,000"));
        QVERIFY(options.stretch());
        QVERIFY(options.transparent());
        QVERIFY(options.smooth() && options.dither() && options.keepProportions());
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
            dialog.autoSizeBox->setChecked(false);
        ModalScript script;
        script.then([&](QWidget*) {
            QWidget* target = QApplication::focusWidget();
            if (fromEdit) {
                dialog.heightField->edit->setFocus();
                target = dialog.heightField->edit;
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
            dialog.transparentBox->click();
            dialog.ditherBox->click();
            dialog.autoSizeBox->click();
            dialog.widthField->edit->setText(QStringLiteral("50"));
            dialog.cancelButton->click();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
        bool transparent = false, dither = false, autoSize = true;
        QString width;
        script.then([&](QWidget*) {
            transparent = dialog.transparentBox->isChecked();
            dither = dialog.ditherBox->isChecked();
            autoSize = dialog.autoSizeBox->isChecked();
            width = dialog.widthField->edit->text();
            dialog.okButton->click();
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
        dialog.registerButton->click();
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
        dialog.registerButton->click();
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
        QTest::mouseClick(dialog.authorLink, Qt::LeftButton, {}, dialog.authorLink->rect().center());
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        qputenv("XDG_DATA_HOME", oldHome);
        qputenv("XDG_DATA_DIRS", oldDirs);
        QCOMPARE(dialog.authorLink->isVisible(), installed);
        QCOMPARE(openedUrls,
                 installed ? QList<QUrl>{QUrl::fromLocalFile(QFileInfo(guide).canonicalFilePath())} : QList<QUrl>{});
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
