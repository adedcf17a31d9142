#include "FormOpt.h"

#include "Author.h"
#include "ErrorBox.h"
#include "FrmInc.h"
#include "UpDown.h"
#include "base/Error.h"
#include "base/Numbers.h"
#include "desktop/FileAssociation.h"
#include "base/ProgramFile.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

namespace abm {

namespace {

QCheckBox* CheckBox(QWidget* parent, const char* name, const char* caption, QRect geometry, bool checked)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption), parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(geometry);
    box->setChecked(checked);
    return box;
}

QLabel* Label(QWidget* parent, const char* name, const QString& caption, QPoint at)
{
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->move(at);
    label->adjustSize();
    return label;
}

TFrmInc* NumberField(QWidget* parent, const char* name, const char* caption, QPoint at, int value)
{
    auto* field = new TFrmInc(parent);
    field->setObjectName(QString::fromLatin1(name));
    field->move(at);
    field->caption->setText(QString::fromUtf8(caption));
    field->spinButtons->SetPosition(value);
    field->edit->setEnabled(false);
    return field;
}

// Keys the dialog itself acts on before an edit sees them as characters.
bool IsDialogKey(int key)
{
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter ||
           key == Qt::Key_Escape;
}

// The character a key press types, as a classic edit receives it: control
// combinations give their control codes (Ctrl+V is 22), keys that type
// nothing give none.
QChar TypedCharacter(const QKeyEvent* event)
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

TFormOpt::TFormOpt(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormOpt"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);
    setWindowTitle(QString());

    widthField = NumberField(this, "FrmWidth", "Ширина:", {32, 16}, 128);
    heightField = NumberField(this, "FrmHeight", "Высота:", {32, 72}, 97);
    autoSizeBox = CheckBox(this, "ChBAutoSize", "Авторазмер", {104, 32, 97, 17}, true);
    stretchBox = CheckBox(this, "ChBStretch", "Растянуть", {224, 32, 97, 17}, false);
    transparentBox = CheckBox(this, "ChBTransparent", "Загружать GIF как прозрачный", {104, 64, 217, 17}, false);

    registerButton = new QToolButton(this);
    registerButton->setObjectName(QStringLiteral("SpeedButton1"));
    registerButton->setText(QString::fromUtf8(kRegisterCaption).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    registerButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
    registerButton->setGeometry(104, 88, 217, 33);
    registerButton->setAutoRaise(true);
    registerButton->setFocusPolicy(Qt::NoFocus);

    authorLink = Label(this, "LbUrl", QString::fromUtf8(kAuthorUrl), {16, 144});
    QFont urlFont = authorLink->font();
    urlFont.setUnderline(true);
    authorLink->setFont(urlFont);
    QPalette urlPalette = authorLink->palette();
    urlPalette.setColor(QPalette::WindowText, Qt::blue);
    authorLink->setPalette(urlPalette);
    authorLink->setCursor(Qt::PointingHandCursor);
    authorLink->adjustSize();
    authorLink->installEventFilter(this);

    emailCaption = Label(this, "Label1", QStringLiteral("E_Mail:"), {16, 168});
    emailLabel = Label(this, "Label2", QString::fromUtf8(kAuthorEmail), {64, 168});
    versionLabel = Label(this, "Label3", QStringLiteral("V 1.0.0"), {264, 136});

    okButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("BitBtn1"));
    okButton->setGeometry(168, 184, 75, 25);
    okButton->setDefault(true);
    cancelButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("BitBtn2"));
    cancelButton->setGeometry(256, 184, 75, 25);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(autoSizeBox, &QCheckBox::toggled, this, [this] { RunHandler([this] { applyAutoSize(); }); });
    connect(registerButton, &QToolButton::clicked, this, [this] { RunHandler([this] { registerAbmFileType(); }); });
    widthField->edit->installEventFilter(this);
    heightField->edit->installEventFilter(this);

    setTabOrder(widthField->edit, heightField->edit);
    setTabOrder(heightField->edit, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, autoSizeBox);
    setTabOrder(autoSizeBox, stretchBox);
    setTabOrder(stretchBox, transparentBox);
}

std::string TFormOpt::widthText() const
{
    return widthField->edit->text().toStdString();
}

std::string TFormOpt::heightText() const
{
    return heightField->edit->text().toStdString();
}

bool TFormOpt::AutoSize() const
{
    return autoSizeBox->isChecked();
}

bool TFormOpt::Stretch() const
{
    return stretchBox->isChecked();
}

bool TFormOpt::Transparent() const
{
    return transparentBox->isChecked();
}

void TFormOpt::accept()
{
    if (!AutoSize()) {
        for (TFrmInc* field : {widthField, heightField}) {
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

void TFormOpt::filterKeyPress(QObject* Sender, QChar& Key)
{
    const auto* edit = qobject_cast<QLineEdit*>(Sender);
    if (!edit)
        return;
    if (Key == QChar(8)) {
        if (edit->text().size() == 1)
            Key = QChar(0);
    } else if (Key < u'0' || Key > u'9') {
        Key = QChar(0);
    }
}

void TFormOpt::filterKeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
{
    if (Key == Qt::Key_Delete)
        Key = 0;
}

void TFormOpt::applyAutoSize()
{
    const bool manual = !autoSizeBox->isChecked();
    widthField->edit->setEnabled(manual);
    heightField->edit->setEnabled(manual);
}

void TFormOpt::registerAbmFileType()
{
    AssociateFileType(".abm", "abmfile", "", "", ProgramFilePath());
}

void TFormOpt::openAuthorLink()
{
    QDesktopServices::openUrl(QUrl(authorLink->text().trimmed()));
}

bool TFormOpt::FilterEditKey(QObject* edit, QKeyEvent* event)
{
    int key = event->key();
    filterKeyDown(edit, key, event->modifiers());
    if (key == 0)
        return true;
    if (IsDialogKey(event->key()))
        return false;
    QChar typed = TypedCharacter(event);
    if (typed.isNull())
        return false;
    filterKeyPress(edit, typed);
    return typed.isNull();
}

bool TFormOpt::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == widthField->edit || watched == heightField->edit)) {
        bool drop = false;
        RunHandler([&] { drop = FilterEditKey(watched, static_cast<QKeyEvent*>(event)); });
        return drop;
    }
    if (watched == authorLink && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && authorLink->rect().contains(mouse->position().toPoint())) {
            RunHandler([this] { openAuthorLink(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormOpt::showEvent(QShowEvent* event)
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->geometry().center());
        move(frame.topLeft());
    }
    QDialog::showEvent(event);
}

}  // namespace abm
