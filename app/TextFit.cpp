#include "TextFit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QToolButton>

#include <algorithm>
#include <vector>

namespace abm {

namespace {

QSize lineEditSize(const QLineEdit* edit)
{
    QString text = edit->property(kWidestTextProperty).toString();
    if (edit->text().size() > text.size())
        text = edit->text();
    const QFontMetrics metrics = edit->fontMetrics();
    const QMargins margins = edit->textMargins();
    // QLineEdit keeps two pixels beside the text, and one for the cursor.
    const QSize contents(metrics.horizontalAdvance(text) + 2 * 2 + 1 + margins.left() + margins.right(),
                         metrics.height() + margins.top() + margins.bottom());
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.rect = edit->rect();
    option.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit) : 0;
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, contents, edit);
}

// A push button's size from its text and icon alone: the style's minimum
// width for any button with a caption is a look, not a need of the text.
QSize pushButtonSize(const QPushButton* button)
{
    QStyleOptionButton option;
    option.initFrom(button);
    option.features = button->isDefault() ? QStyleOptionButton::DefaultButton : QStyleOptionButton::None;
    option.icon = button->icon();
    option.iconSize = button->iconSize();
    QSize contents = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
    if (!button->icon().isNull())
        contents = QSize(contents.width() + option.iconSize.width() + 4,
                         std::max(contents.height(), option.iconSize.height()));
    return button->style()->sizeFromContents(QStyle::CT_PushButton, &option, contents, button);
}

// What the control's text needs; an empty size for controls without one.
QSize textSize(const QWidget* widget)
{
    if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
        return lineEditSize(edit);
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text().isEmpty() ? QSize() : label->sizeHint();
    if (const auto* tool = qobject_cast<const QToolButton*>(widget))
        return tool->text().isEmpty() || tool->toolButtonStyle() == Qt::ToolButtonIconOnly ? QSize() : tool->sizeHint();
    if (const auto* push = qobject_cast<const QPushButton*>(widget))
        return push->text().isEmpty() ? QSize() : pushButtonSize(push);
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text().isEmpty() ? QSize() : button->sizeHint();
    return {};
}

struct Placed {
    QWidget* widget;
    QRect designed;
    QSize size;
    QPoint shift;
};

// Hidden on purpose, not merely in a window not shown yet.
bool leftOut(const QWidget* widget)
{
    return widget->isHidden() && widget->testAttribute(Qt::WA_WState_ExplicitShowHide);
}

bool overlap(int a0, int a1, int b0, int b1)
{
    return a0 < b1 && b0 < a1;
}

void setSize(QWidget* widget, const QRect& geometry)
{
    // A fixed size stays fixed, at the new size.
    if (widget->minimumSize() == widget->maximumSize())
        widget->setFixedSize(geometry.size());
    widget->setGeometry(geometry);
}

// Moves and grows the controls as placed, and answers the size the
// container needs for them.
QSize applyPlacement(QWidget* container, const std::vector<Placed>& placed)
{
    QPoint designedEnd(0, 0);
    QPoint end(0, 0);
    bool changed = false;
    for (const Placed& p : placed) {
        const QRect now(p.designed.topLeft() + p.shift, p.size);
        if (now != p.designed) {
            setSize(p.widget, now);
            changed = true;
        }
        if (leftOut(p.widget))
            continue;
        designedEnd =
            QPoint(std::max(designedEnd.x(), p.designed.right()), std::max(designedEnd.y(), p.designed.bottom()));
        end = QPoint(std::max(end.x(), now.right()), std::max(end.y(), now.bottom()));
    }
    // Nothing grew inside: the container keeps its size, whatever the
    // geometry its own children have before it first lays them out.
    if (!changed)
        return container->size();
    // The margins the design left beyond its controls stay, where it left any.
    const QSize margins(std::max(0, container->width() - 1 - designedEnd.x()),
                        std::max(0, container->height() - 1 - designedEnd.y()));
    return container->size().expandedTo(QSize(end.x() + 1, end.y() + 1) + margins);
}

// Fits the children of `container` and answers the size it needs.
QSize fitChildren(QWidget* container)
{
    std::vector<Placed> placed;
    for (QObject* object : container->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (!child || child->isWindow())
            continue;
        QSize wanted = textSize(child);
        if (wanted.isEmpty() && !child->layout() && !child->children().isEmpty())
            wanted = wanted.expandedTo(fitChildren(child));
        placed.push_back({child, child->geometry(), child->size().expandedTo(wanted), {}});
    }
    // Each control moves on by what the shown controls before it grew and
    // moved: rightwards for those on its left in the same rows, downwards
    // for those above it in the same columns.
    const auto push = [&](auto start, auto before, auto across, auto grown, auto shift) {
        std::vector<Placed*> order;
        for (Placed& p : placed)
            order.push_back(&p);
        std::stable_sort(order.begin(), order.end(), [&](Placed* a, Placed* b) { return start(*a) < start(*b); });
        for (size_t i = 0; i < order.size(); ++i)
            for (size_t j = 0; j < i; ++j) {
                Placed& a = *order[j];
                if (!leftOut(a.widget) && before(a, *order[i]) && across(a, *order[i]))
                    shift(*order[i]) = std::max(shift(*order[i]), shift(a) + grown(a));
            }
    };
    // Controls designed in one row (or column) stay in one, so that what moved
    // them apart is followed by those beside them; repeated until nothing moves.
    const auto align = [&](auto designedAt, auto shift) {
        bool moved = false;
        for (Placed& a : placed)
            for (Placed& b : placed)
                if (!leftOut(a.widget) && designedAt(a) == designedAt(b) && shift(b) < shift(a)) {
                    shift(b) = shift(a);
                    moved = true;
                }
        return moved;
    };
    do {
        push([](const Placed& p) { return p.designed.left(); },
             [](const Placed& a, const Placed& b) { return a.designed.right() < b.designed.left(); },
             [](const Placed& a, const Placed& b) {
                 return overlap(a.designed.top(), a.designed.top() + a.size.height(), b.designed.top(),
                                b.designed.top() + b.size.height());
             },
             [](const Placed& a) { return a.size.width() - a.designed.width(); },
             [](Placed& p) -> int& { return p.shift.rx(); });
    } while (align([](const Placed& p) { return p.designed.left(); }, [](Placed& p) -> int& { return p.shift.rx(); }));
    do {
        push([](const Placed& p) { return p.designed.top(); },
             [](const Placed& a, const Placed& b) { return a.designed.bottom() < b.designed.top(); },
             [](const Placed& a, const Placed& b) {
                 return overlap(a.designed.left() + a.shift.x(), a.designed.left() + a.shift.x() + a.size.width(),
                                b.designed.left() + b.shift.x(), b.designed.left() + b.shift.x() + b.size.width());
             },
             [](const Placed& a) { return a.size.height() - a.designed.height(); },
             [](Placed& p) -> int& { return p.shift.ry(); });
    } while (align([](const Placed& p) { return p.designed.top(); }, [](Placed& p) -> int& { return p.shift.ry(); }));

    return applyPlacement(container, placed);
}

}  // namespace

void fitToText(QWidget* container)
{
    const QSize wanted = container->size().expandedTo(fitChildren(container));
    if (wanted != container->size())
        setSize(container, QRect(container->pos(), wanted));
}

}  // namespace abm
