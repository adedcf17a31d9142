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
    field->Label1->setText(QString::fromUtf8(caption));
    field->UpDown1->SetPosition(value);
    field->MaskEd->setEnabled(false);
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

    FrmWidth = NumberField(this, "FrmWidth", "Ширина:", {32, 16}, 128);
    FrmHeight = NumberField(this, "FrmHeight", "Высота:", {32, 72}, 97);
    ChBAutoSize = CheckBox(this, "ChBAutoSize", "Авторазмер", {104, 32, 97, 17}, true);
    ChBStretch = CheckBox(this, "ChBStretch", "Растянуть", {224, 32, 97, 17}, false);
    ChBTransparent = CheckBox(this, "ChBTransparent", "Загружать GIF как прозрачный", {104, 64, 217, 17}, false);

    SpeedButton1 = new QToolButton(this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setText(QString::fromUtf8(kRegisterCaption).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    SpeedButton1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    SpeedButton1->setGeometry(104, 88, 217, 33);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setFocusPolicy(Qt::NoFocus);

    LbUrl = Label(this, "LbUrl", QString::fromUtf8(kAuthorUrl), {16, 144});
    QFont urlFont = LbUrl->font();
    urlFont.setUnderline(true);
    LbUrl->setFont(urlFont);
    QPalette urlPalette = LbUrl->palette();
    urlPalette.setColor(QPalette::WindowText, Qt::blue);
    LbUrl->setPalette(urlPalette);
    LbUrl->setCursor(Qt::PointingHandCursor);
    LbUrl->adjustSize();
    LbUrl->installEventFilter(this);

    Label1 = Label(this, "Label1", QStringLiteral("E_Mail:"), {16, 168});
    Label2 = Label(this, "Label2", QString::fromUtf8(kAuthorEmail), {64, 168});
    Label3 = Label(this, "Label3", QStringLiteral("V 1.0.0"), {264, 136});

    BitBtn1 = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(168, 184, 75, 25);
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(256, 184, 75, 25);

    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(ChBAutoSize, &QCheckBox::toggled, this, [this] { RunHandler([this] { ChBAutoSizeClick(); }); });
    connect(SpeedButton1, &QToolButton::clicked, this, [this] { RunHandler([this] { SpeedButton1Click(); }); });
    FrmWidth->MaskEd->installEventFilter(this);
    FrmHeight->MaskEd->installEventFilter(this);

    setTabOrder(FrmWidth->MaskEd, FrmHeight->MaskEd);
    setTabOrder(FrmHeight->MaskEd, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setTabOrder(BitBtn2, ChBAutoSize);
    setTabOrder(ChBAutoSize, ChBStretch);
    setTabOrder(ChBStretch, ChBTransparent);
}

std::string TFormOpt::FrmWidthText() const
{
    return FrmWidth->MaskEd->text().toStdString();
}

std::string TFormOpt::FrmHeightText() const
{
    return FrmHeight->MaskEd->text().toStdString();
}

bool TFormOpt::AutoSize() const
{
    return ChBAutoSize->isChecked();
}

bool TFormOpt::Stretch() const
{
    return ChBStretch->isChecked();
}

bool TFormOpt::Transparent() const
{
    return ChBTransparent->isChecked();
}

void TFormOpt::accept()
{
    if (!AutoSize()) {
        for (TFrmInc* field : {FrmWidth, FrmHeight}) {
            try {
                parseInt(field->MaskEd->text().toStdString());
            } catch (const Error& error) {
                if (error.kind() != ErrorKind::NotAnInteger)
                    throw;
                ShowException(error);
                field->MaskEd->setFocus();
                field->MaskEd->selectAll();
                return;
            }
        }
    }
    QDialog::accept();
}

void TFormOpt::FrmWidthMaskEdKeyPress(QObject* Sender, QChar& Key)
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

void TFormOpt::FrmWidthMaskEdKeyDown(QObject*, int& Key, Qt::KeyboardModifiers)
{
    if (Key == Qt::Key_Delete)
        Key = 0;
}

void TFormOpt::ChBAutoSizeClick()
{
    const bool manual = !ChBAutoSize->isChecked();
    FrmWidth->MaskEd->setEnabled(manual);
    FrmHeight->MaskEd->setEnabled(manual);
}

void TFormOpt::SpeedButton1Click()
{
    AssociateFileType(".abm", "abmfile", "", "", ProgramFilePath());
}

void TFormOpt::LbUrlClick()
{
    QDesktopServices::openUrl(QUrl(LbUrl->text().trimmed()));
}

bool TFormOpt::FilterEditKey(QObject* edit, QKeyEvent* event)
{
    int key = event->key();
    FrmWidthMaskEdKeyDown(edit, key, event->modifiers());
    if (key == 0)
        return true;
    if (IsDialogKey(event->key()))
        return false;
    QChar typed = TypedCharacter(event);
    if (typed.isNull())
        return false;
    FrmWidthMaskEdKeyPress(edit, typed);
    return typed.isNull();
}

bool TFormOpt::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && (watched == FrmWidth->MaskEd || watched == FrmHeight->MaskEd)) {
        bool drop = false;
        RunHandler([&] { drop = FilterEditKey(watched, static_cast<QKeyEvent*>(event)); });
        return drop;
    }
    if (watched == LbUrl && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && LbUrl->rect().contains(mouse->position().toPoint())) {
            RunHandler([this] { LbUrlClick(); });
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
