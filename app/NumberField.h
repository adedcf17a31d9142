#pragma once

// The labelled number field: a caption, a one-line edit and up-down arrows
// bound to it. It has no behaviour of its own; the dialog that places it
// wires the edit's events.

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
};

}  // namespace abm
