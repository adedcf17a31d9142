#include "OptionsDialog.h"

#include "Author.h"
#include "ErrorBox.h"
#include "NumberField.h"
#include "SpinButtons.h"
#include "TextFit.h"
#include "base/Error.h"
#include "desktop/FileAssociation.h"
#include "base/ProgramFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMouseEvent>
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

}  // namespace

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("FormOpt"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(kClientWidth, kClientHeight);
    setSizeGripEnabled(false);
    setWindowTitle(QString());

    widthField_ = numberField(this, "FrmWidth", "Ширина:", {32, 16}, kPhoneFrameWidth);
    heightField_ = numberField(this, "FrmHeight", "Высота:", {32, 72}, kPhoneFrameHeight);
    autoSizeBox_ = checkBox(this, "ChBAutoSize", "Авторазмер", {104, 32, 97, 17}, true);
    stretchBox_ = checkBox(this, "ChBStretch", "Растянуть", {224, 32, 97, 17}, false);
    transparentBox_ = checkBox(this, "ChBTransparent", "Загружать GIF как прозрачный", {104, 64, 217, 17}, false);
    // Under the other check boxes, in their column; what was designed below
    // them moves down by the three rows.
    const auto conversionRow = [](int i) { return QRect(104, 88 + i * kConversionRow, 217, 17); };
    constexpr int below = 3 * kConversionRow;
    smoothBox_ = checkBox(this, "CbSmooth", "Сглаживание при масштабировании", conversionRow(0), false);
    ditherBox_ = checkBox(this, "CbDither", "Дизеринг 5-6-5", conversionRow(1), false);
    keepAspectBox_ = checkBox(this, "CbKeepAspect", "Сохранять пропорции", conversionRow(2), false);

    registerButton_ = new QToolButton(this);
    registerButton_->setObjectName(QStringLiteral("SpeedButton1"));
    registerButton_->setText(QString::fromUtf8(kRegisterCaption).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    registerButton_->setToolButtonStyle(Qt::ToolButtonTextOnly);
    registerButton_->setGeometry(104, 88 + below, 217, 33);
    // Flat, but with its frame always drawn: a button that shows none until
    // hovered is not seen as one.
    registerButton_->setAutoRaise(false);
    registerButton_->setFocusPolicy(Qt::NoFocus);

    guide_ = userGuide();
    guideLink_ = label(this, "LbUrl", QString::fromUtf8(kGuideCaption), {16, 144 + below});
    QFont urlFont = guideLink_->font();
    urlFont.setUnderline(true);
    guideLink_->setFont(urlFont);
    QPalette urlPalette = guideLink_->palette();
    urlPalette.setColor(QPalette::WindowText, Qt::blue);
    guideLink_->setPalette(urlPalette);
    guideLink_->setCursor(Qt::PointingHandCursor);
    guideLink_->adjustSize();
    guideLink_->installEventFilter(this);
    // No link that leads nowhere: without an installed guide there is none.
    guideLink_->setVisible(!guide_.isEmpty());

    // No e-mail address exists to show.
    label(this, "Label1", QStringLiteral("E_Mail:"), {16, 168 + below})->hide();
    label(this, "Label2", QString(), {64, 168 + below})->hide();
    label(this, "Label3", QStringLiteral("V 1.0.0"), {264, 136 + below});

    auto* okButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("BitBtn1"));
    okButton->setGeometry(168, 184 + below, 75, 25);
    okButton->setDefault(true);
    auto* cancelButton =
        new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("BitBtn2"));
    cancelButton->setGeometry(256, 184 + below, 75, 25);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(autoSizeBox_, &QCheckBox::toggled, this, [this] { runHandler([this] { applyAutoSize(); }); });
    connect(registerButton_, &QToolButton::clicked, this, [this] { runHandler([this] { registerAbmFileType(); }); });

    setTabOrder(widthField_->edit, heightField_->edit);
    setTabOrder(heightField_->edit, okButton);
    setTabOrder(okButton, cancelButton);
    setTabOrder(cancelButton, autoSizeBox_);
    setTabOrder(autoSizeBox_, stretchBox_);
    setTabOrder(stretchBox_, transparentBox_);
    setTabOrder(transparentBox_, smoothBox_);
    setTabOrder(smoothBox_, ditherBox_);
    setTabOrder(ditherBox_, keepAspectBox_);
    fitToText(this);
}

void OptionsDialog::setOptions(const FrameOptions& options)
{
    for (const auto& [field, size] : {std::pair(widthField_, options.width), std::pair(heightField_, options.height)})
        if (FrameDimension::fromText(field->edit->text().toStdString()) != size)
            field->edit->setText(QString::fromStdString(size.text()));
    autoSizeBox_->setChecked(options.autoSize);
    stretchBox_->setChecked(options.stretch);
    transparentBox_->setChecked(options.transparentGif);
    smoothBox_->setChecked(options.smooth);
    ditherBox_->setChecked(options.dither);
    keepAspectBox_->setChecked(options.keepProportions);
}

void OptionsDialog::setFrameSize(int width, int height)
{
    widthField_->edit->setText(QString::number(width));
    heightField_->edit->setText(QString::number(height));
}

FrameOptions OptionsDialog::options() const
{
    FrameOptions options;
    options.width = FrameDimension::fromText(widthField_->edit->text().toStdString());
    options.height = FrameDimension::fromText(heightField_->edit->text().toStdString());
    options.autoSize = autoSizeBox_->isChecked();
    options.stretch = stretchBox_->isChecked();
    options.transparentGif = transparentBox_->isChecked();
    options.smooth = smoothBox_->isChecked();
    options.dither = ditherBox_->isChecked();
    options.keepProportions = keepAspectBox_->isChecked();
    return options;
}

void OptionsDialog::accept()
{
    if (!autoSizeBox_->isChecked()) {
        for (NumberField* field : {widthField_, heightField_}) {
            try {
                FrameDimension::fromText(field->edit->text().toStdString()).value();
            } catch (const Error& error) {
                showError(error);
                field->edit->setFocus();
                field->edit->selectAll();
                return;
            }
        }
    }
    QDialog::accept();
}

void OptionsDialog::applyAutoSize()
{
    const bool manual = !autoSizeBox_->isChecked();
    widthField_->edit->setEnabled(manual);
    heightField_->edit->setEnabled(manual);
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

void OptionsDialog::openUserGuide()
{
    if (!guide_.isEmpty())
        QDesktopServices::openUrl(guide_);
}

bool OptionsDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == guideLink_ && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && guideLink_->rect().contains(mouse->position().toPoint())) {
            runHandler([this] { openUserGuide(); });
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
    // The client area is placed, not the frame: move() would subtract the
    // frame the widget last heard of, which lags behind the window manager's.
    setGeometry(QRect(frame.topLeft() + QPoint(margins.left(), margins.top()), size()));
}

}  // namespace abm
