#pragma once

// The options dialog: frame size, auto-size, stretch and transparent GIF,
// smoothing, dithering and keeping proportions, the .abm registration button
// and the link to the user guide. One hidden instance lives from the first
// options command until the window closes; meanwhile the workspace reads the
// options from its controls at the moment it needs them, so they hold exactly
// what the user left there, Cancel or not.

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

class OptionsDialog : public QDialog, public FrameOptions {
    Q_OBJECT

public:
    static constexpr int kClientWidth = 341;
    // The designed 217, grown by a row for each of the three conversion boxes.
    static constexpr int kConversionRow = 24;
    static constexpr int kClientHeight = 217 + 3 * kConversionRow;
    static constexpr const char* kRegisterCaption = "Зарегистрировать расширение *.ABM\r\nпод эту программу";

    explicit OptionsDialog(QWidget* parent = nullptr);

    NumberField* widthField;
    NumberField* heightField;
    QCheckBox* autoSizeBox;
    QCheckBox* stretchBox;
    QCheckBox* transparentBox;
    QCheckBox* smoothBox;
    QCheckBox* ditherBox;
    QCheckBox* keepAspectBox;
    QToolButton* registerButton;
    QLabel* authorLink;
    QLabel* emailCaption;
    QLabel* emailLabel;
    QLabel* versionLabel;
    QPushButton* okButton;
    QPushButton* cancelButton;

    // FrameOptions, read from the controls.
    std::string widthText() const override;
    std::string heightText() const override;
    bool autoSize() const override;
    bool stretch() const override;
    bool transparent() const override;
    bool smooth() const override;
    bool dither() const override;
    bool keepProportions() const override;

    // Sets `key` to 0 to drop a typed character: Backspace on a one-character
    // text, and everything that is not a digit.
    void filterTypedCharacter(QObject* sender, QChar& key);
    // Sets `key` to 0 for Delete, so the edit never sees it.
    void filterDeleteKey(QObject* sender, int& key, Qt::KeyboardModifiers shift);
    void applyAutoSize();
    void registerAbmFileType();
    // Opens the user guide, where one is installed.
    void openAuthorLink();
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
    bool filterEditKey(QObject* edit, QKeyEvent* event);

    // Centred on the primary screen by its outer rectangle, with these frame margins.
    void centreOnScreen();

    QUrl guide_;
    QMargins centredWith_;
};

}  // namespace abm
