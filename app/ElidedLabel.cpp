#include "ElidedLabel.h"

#include <QPainter>
#include <QStyle>

namespace abm {

void ElidedLabel::paintEvent(QPaintEvent* event)
{
    // A framed label indents its text by half an "x", as QLabel does.
    const int inset = margin() + (indent() >= 0      ? indent()
                                  : frameWidth() > 0 ? fontMetrics().horizontalAdvance(u'x') / 2
                                                     : 0);
    const QRect room = contentsRect().adjusted(inset, 0, -inset, 0);
    if (fontMetrics().horizontalAdvance(text()) <= room.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    drawFrame(&painter);
    style()->drawItemText(&painter, room, QStyle::visualAlignment(layoutDirection(), alignment()), palette(),
                          isEnabled(), fontMetrics().elidedText(text(), Qt::ElideRight, room.width()),
                          foregroundRole());
}

}  // namespace abm
