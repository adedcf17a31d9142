#pragma once

// The labelled number field: a caption, a one-line edit and up-down arrows
// bound to it. The edit takes typed digits and nothing else: every other
// character, clipboard shortcuts among them, and the Delete key are
// dropped, and Backspace is refused on a one-character text, so only the
// arrows and typed digits change it. What the text means is the dialog's.

#include <QWidget>

class QLabel;
class QLineEdit;

namespace abm {

class SpinButtons;

class NumberField : public QWidget {
    Q_OBJECT

public:
    static constexpr int kWidth = 52;
    static constexpr int kHeight = 37;

    explicit NumberField(QWidget* parent = nullptr);

    QLabel* caption;
    QLineEdit* edit;
    SpinButtons* spinButtons;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace abm
