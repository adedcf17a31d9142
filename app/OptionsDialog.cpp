#include "OptionsDialog.h"

#include "Author.h"
#include "ErrorBox.h"
#include "NumberField.h"
#include "SpinButtons.h"
#include "TextFit.h"
#include "base/Error.h"
#include "base/Numbers.h"
#include "desktop/FileAssociation.h"
#include "base/ProgramFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QUrl>
#include <QWindow>

namespace abm {

namespace {

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, QRect geometry, bool checked)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    box->setChecked(checked);
    return box;
}

QLabel* label(QWidget* parent, const char* name, const QString& caption, QPoint at)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(at);
    label->adjustSize();
    return label;
}

NumberField* numberField(QWidget* parent, const char* name, const char* caption, QPoint at, int value)
{
    auto* field = new NumberField(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->move(at);
    field->caption->setText(QString::fromUtf8(caption));
    field->spinButtons->setPosition(value);
    field->edit->setEnabled(false);
    return field;
}

// Keys the dialog itself acts on before an edit sees them as characters.
bool isDialogKey(int key)
{
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter ||
           key == Qt::Key_Escape;
}

// The character a key press types, as a classic edit receives it: control
// combinations give their control codes (Ctrl+V is 22), keys that type
// nothing give none.
QChar typedCharacter(const QKeyEvent* event)
{
    const int key = event->key();
    if ((event->modifiers() & Qt::ControlModifier) && !(event->modifiers() & Qt::AltModifier)) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return QChar(key - Qt::Key_A + 1);
        if (key == Qt::Key_Backspace)
            return QChar(127);
    }
    if (key == Qt::Key_Backspace)
        return QChar(8);
    const QString text = event->text();
    return text.isEmpty() ? QChar() : text.front();
}

}  // namespace

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormOpt"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);
    setWindowTitle(QString());

    widthField = numberField(this, "FrmWidth", "Ширина:", {32, 16}, 128);
    heightField = numberField(this, "FrmHeight", "Высота:", {32, 72}, 97);
    autoSizeBox = checkBox(this, "ChBAutoSize", "Авторазмер", {104, 32, 97, 17}, true);
    stretchBox = checkBox(this, "ChBStretch", "Растянуть", {224, 32, 97, 17}, false);
    transparentBox = checkBox(this, "ChBTransparent", "Загружать GIF как прозрачный", {104, 64, 217, 17}, false);
    // Under the other check boxes, in their column; what was designed below
    // them moves down by the three rows.
    const auto conversionRow = [](int i) { return QRect(104, 88 + i * kConversionRow, 217, 17); };
    constexpr int below = 3 * kConversionRow;
    smoothBox = checkBox(this, "CbSmooth", "Сглаживание при масштабировании", conversionRow(0), false);
    ditherBox = checkBox(this, "CbDither", "Дизеринг 5-6-5", conversionRow(1), false);
    keepAspectBox = checkBox(this, "CbKeepAspect", "Сохранять пропорции", conversionRow(2), false);

    registerButton = new QToolButton(this);
    registerButton->setObjectName(QStringLiteral("SpeedButton1"));
    registerButton->setText(QString::fromUtf8(kRegisterCaption).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    registerButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    registerButton->setGeometry(104, 88 + below, 217, 33);
    // Flat, but with its frame always drawn: a button that shows none until
    // hovered is not seen as one.
    registerButton->setAutoRaise(false);
    registerButton->setFocusPolicy(Qt::NoFocus);

    guide_ = userGuide();
    authorLink = label(this, "LbUrl", QString::fromUtf8(kGuideCaption), {16, 144 + below});
    QFont urlFont = authorLink->font();
    urlFont.setUnderline(true);
    authorLink->setFont(urlFont);
    QPalette urlPalette = authorLink->palette();
    urlPalette.setColor(QPalette::WindowText, Qt::blue);
    authorLink->setPalette(urlPalette);
    authorLink->setCursor(Qt::PointingHandCursor);
    authorLink->adjustSize();
    authorLink->installEventFilter(this);
    // No link that leads nowhere: without an installed guide there is none.
    authorLink->setVisible(!guide_.isEmpty());

    emailCaption = label(this, "Label1", QStringLiteral("E_Mail:"), {16, 168 + below});
    emailLabel = label(this, "Label2", QString(), {64, 168 + below});
    // No e-mail address exists to show.
    emailCaption->hide();
    emailLabel->hide();
    versionLabel = label(this, "Label3", QStringLiteral("V 1.0.0"), {264, 136 + below});

    okButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("BitBtn1"));
    okButton->setGeometry(168, 184 + below, 75, 25);
    okButton->setDefault(true);
    cancelButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("BitBtn2"));
    cancelButton->setGeometry(256, 184 + below, 75, 25);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(autoSizeBox, &QCheckBox::toggled, this, [this] { runHandler([this] { applyAutoSize(); }); });
    connect(registerButton, &QToolButton::clicked, this, [this] { runHandler([this] { registerAbmFileType(); }); });
    widthField->edit->installEventFilter(this);
    heightField->edit->installEventFilter(this);

    setTabOrder(widthField->edit, heightField->edit);
    setTabOrder(heightField->edit, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, autoSizeBox);
    setTabOrder(autoSizeBox, stretchBox);
    setTabOrder(stretchBox, transparentBox);
    setTabOrder(transparentBox, smoothBox);
    setTabOrder(smoothBox, ditherBox);
    setTabOrder(ditherBox, keepAspectBox);
    fitToText(this);
}

std::string OptionsDialog::widthText() const
{
    return widthField->edit->text().toStdString();
}

std::string OptionsDialog::heightText() const
{
    return heightField->edit->text().toStdString();
}

bool OptionsDialog::autoSize() const
{
    return autoSizeBox->isChecked();
}

bool OptionsDialog::stretch() const
{
    return stretchBox->isChecked();
}

bool OptionsDialog::transparent() const
{
    return transparentBox->isChecked();
}

bool OptionsDialog::smooth() const
{
    return smoothBox->isChecked();
}

bool OptionsDialog::dither() const
{
    return ditherBox->isChecked();
}

bool OptionsDialog::keepProportions() const
{
    return keepAspectBox->isChecked();
}

void OptionsDialog::accept()
{
    if (!autoSize()) {
        for (NumberField* field : {widthField, heightField}) {
            try {
                parseInt(field->edit->text().toStdString());
            } catch (const Error& error) {
                if (error.kind() != ErrorKind::NotAnInteger)
                    throw;
                showError(error);
                field->edit->setFocus();
                field->edit->selectAll();
                return;
            }
        }
    }
    QDialog::accept();
}

void OptionsDialog::filterTypedCharacter(QObject* sender, QChar& key)
{
    const auto* edit = qobject_cast<QLineEdit*>(sender);
    if (!edit)
        return;
    if (key == QChar(8)) {
        if (edit->text().size() == 1)
            key = QChar(0);
    } else if (key < u'0' || key > u'9') {
        key = QChar(0);
    }
}

void OptionsDialog::filterDeleteKey(QObject*, int& key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Delete)
        key = 0;
}

void OptionsDialog::applyAutoSize()
{
    const bool manual = !autoSizeBox->isChecked();
    widthField->edit->setEnabled(manual);
    heightField->edit->setEnabled(manual);
}

void OptionsDialog::registerAbmFileType()
{
    associateFileType(".abm", "abmfile", "", "", programFilePath());
}

QUrl OptionsDialog::userGuide()
{
    const QString file = QString::fromLatin1(kGuideFile);
    QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/../share/") + file;
    if (!QFileInfo(path).isFile())
        path = QStandardPaths::locate(QStandardPaths::GenericDataLocation, file);
    return path.isEmpty() ? QUrl() : QUrl::fromLocalFile(QFileInfo(path).canonicalFilePath());
}

void OptionsDialog::openAuthorLink()
{
    if (!guide_.isEmpty())
        QDesktopServices::openUrl(guide_);
}

bool OptionsDialog::filterEditKey(QObject* edit, QKeyEvent* event)
{
    int key = event->key();
    filterDeleteKey(edit, key, event->modifiers());
    if (key == 0)
        return true;
    if (isDialogKey(event->key()))
        return false;
    QChar typed = typedCharacter(event);
    if (typed.isNull())
        return false;
    filterTypedCharacter(edit, typed);
    return typed.isNull();
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == widthField->edit || watched == heightField->edit)) {
        bool drop = false;
        runHandler([&] { drop = filterEditKey(watched, static_cast<QKeyEvent*>(event)); });
        return drop;
    }
    if (watched == authorLink && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && authorLink->rect().contains(mouse->position().toPoint())) {
            runHandler([this] { openAuthorLink(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void OptionsDialog::showEvent(QShowEvent* event)
{
    centreOnScreen();
    QDialog::showEvent(event);
}

bool OptionsDialog::event(QEvent* event)
{
    const bool result = QDialog::event(event);
    // The window manager tells the frame only once the dialog is shown: then
    // it is centred again with the frame it really has.
    const QEvent::Type type = event->type();
    if ((type == QEvent::Move || type == QEvent::Resize || type == QEvent::WindowActivate) && isVisible() &&
        windowHandle() && !windowHandle()->frameMargins().isNull() && windowHandle()->frameMargins() != centredWith_)
        centreOnScreen();
    return result;
}

void OptionsDialog::centreOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Before its first showing the dialog has no frame yet: a shown window's
    // frame is the best guess of the one it will get.
    QMargins margins = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const bool framed = !margins.isNull();
    for (const QWidget* other : QApplication::topLevelWidgets())
        if (margins.isNull() && other != this && other->isVisible() && other->windowHandle())
            margins = other->windowHandle()->frameMargins();
    centredWith_ = framed ? margins : QMargins();
    QRect frame = geometry().marginsAdded(margins);
    frame.moveCenter(screen->geometry().center());
    // Without a frame of its own, a move places the client area.
    move(framed ? frame.topLeft() : frame.topLeft() + QPoint(margins.left(), margins.top()));
}

}  // namespace abm
