#pragma once

// Up-down arrow buttons bound to an edit: each step reads the number the
// edit shows (the user may have typed one), moves it by Increment within
// minimum..maximum and writes it back, from 1000 up with the locale's digit-group
// separator when Thousands is set. The Up and Down keys in the edit step it
// too.

#include <QWidget>

class QLineEdit;
class QToolButton;

namespace abm {

class SpinButtons : public QWidget {
    Q_OBJECT

public:
    explicit SpinButtons(QWidget* parent = nullptr);

    int minimum = 0;
    int maximum = 100;
    int increment = 1;
    bool wrap = false;
    bool thousands = true;

    int position() const { return position_; }
    // Also writes the number into the bound edit.
    void setPosition(int position);

    QLineEdit* associate() const { return associate_; }
    void setAssociate(QLineEdit* edit);

    // One step up (+1) or down (-1), as a click on an arrow does.
    void step(int direction);

    // The text the edit gets for a position.
    QString positionText(int position) const;

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QToolButton* up_;
    QToolButton* down_;
    QLineEdit* associate_ = nullptr;
    int position_ = 0;
};

}  // namespace abm
