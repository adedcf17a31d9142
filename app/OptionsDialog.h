#pragma once

// The options dialog: frame size, auto-size, stretch and transparent GIF,
// smoothing, dithering and keeping proportions, the .abm registration button
// and the link to the user guide. A view: the window hands it the options
// before it shows it and takes them back after it closed, OK or Cancel, as
// the strip's copy; between showings the one hidden instance keeps what
// the user left in its controls.

#include "workspace/FrameOptions.h"

#include <QDialog>
#include <QMargins>
#include <QUrl>

class QCheckBox;
class QLabel;
class QPushButton;
class QToolButton;

namespace abm {

class NumberField;

class OptionsDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 341;
    // The designed 217, grown by a row for each of the three conversion boxes.
    static constexpr int kConversionRow = 24;
    static constexpr int kClientHeight = 217 + 3 * kConversionRow;
    static constexpr const char* kRegisterCaption = "Зарегистрировать расширение *.ABM\r\nпод эту программу";

    explicit OptionsDialog(QWidget* parent = nullptr);

    // The controls show `options`; a size field whose text already reads as
    // its size keeps it as typed ("0128").
    void setOptions(const FrameOptions& options);
    // The size fields show this size (the first frame's), in plain digits.
    void setFrameSize(int width, int height);
    // What the controls hold; a size field's text that is no integer stays
    // text, and fails where the size is used.
    FrameOptions options() const;

    // The installed user guide as a file URL, or an empty one.
    static QUrl userGuide();

    // OK with auto-size off reads both sizes first: a text that is not a
    // plain integer shows the conversion error and keeps the dialog open,
    // so that closing it never makes the strip's rebuild fail.
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;

private:
    void applyAutoSize();
    void registerAbmFileType();
    // Opens the user guide, where one is installed.
    void openUserGuide();
    // Centred on the primary screen by its outer rectangle, with these frame margins.
    void centreOnScreen();

    NumberField* widthField_;
    NumberField* heightField_;
    QCheckBox* autoSizeBox_;
    QCheckBox* stretchBox_;
    QCheckBox* transparentBox_;
    QCheckBox* smoothBox_;
    QCheckBox* ditherBox_;
    QCheckBox* keepAspectBox_;
    QToolButton* registerButton_;
    QLabel* guideLink_;

    QUrl guide_;
    QMargins centredWith_;
};

}  // namespace abm
