#pragma once

// A label that shows as much of its text as its width allows, cut with "…"
// where the text is longer, while its size hint stays the whole text's: a
// layout gives it the text's width where there is room, less where there is
// not, and the text is never clipped mid-letter.

#include <QLabel>

namespace abm {

class ElidedLabel : public QLabel {
    Q_OBJECT

public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace abm
