#include "NumberField.h"

#include "SpinButtons.h"
#include "TextFit.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace abm {

namespace {

// Keys the dialog itself acts on before an edit sees them as characters.
bool isDialogKey(int key)
{
    return key == Qt::Key_Tab || key == Qt::Key_Backtab || key == Qt::Key_Return || key == Qt::Key_Enter ||
           key == Qt::Key_Escape;
}

// The character a key press types, as a classic edit receives it: control
// combinations give their control codes (Ctrl+V is 22), keys that type
// nothing give none.
QChar typedCharacter(const QKeyEvent& event)
{
    const int key = event.key();
    if ((event.modifiers() & Qt::ControlModifier) && !(event.modifiers() & Qt::AltModifier)) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return QChar(key - Qt::Key_A + 1);
        if (key == Qt::Key_Backspace)
            return QChar(127);
    }
    if (key == Qt::Key_Backspace)
        return QChar(8);
    const QString text = event.text();
    return text.isEmpty() ? QChar() : text.front();
}

// Whether `edit` must not see the key. The Backspace rule looks at the
// text's length only, not at the selection.
bool refusesKey(const QLineEdit& edit, const QKeyEvent& event)
{
    if (event.key() == Qt::Key_Delete)
        return true;
    if (isDialogKey(event.key()))
        return false;
    const QChar typed = typedCharacter(event);
    if (typed.isNull())
        return false;
    if (typed == QChar(8))
        return edit.text().size() == 1;
    return typed < u'0' || typed > u'9';
}

}  // namespace

NumberField::NumberField(QWidget* parent)
    : QWidget(parent), caption(new QLabel(this)), edit(new QLineEdit(this)), spinButtons(new SpinButtons(this))
{
    setFixedSize(kWidth, kHeight);

    caption->setObjectName(QStringLiteral("Label1"));
    caption->setGeometry(0, 0, 52, 13);
    caption->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    edit->setObjectName(QStringLiteral("MaskEd"));
    edit->setGeometry(0, 16, 41, 21);
    edit->setText(QStringLiteral("0"));
    // A classic edit takes no dropped text; only typed digits get in.
    edit->setAcceptDrops(false);

    spinButtons->setObjectName(QStringLiteral("UpDown1"));
    spinButtons->setGeometry(41, 16, 11, 21);
    spinButtons->minimum = 0;
    spinButtons->maximum = 10000;
    spinButtons->increment = 1;
    spinButtons->wrap = false;
    // The frame size is read as a plain integer: "1,000" would be refused.
    spinButtons->thousands = false;
    spinButtons->setAssociate(edit);
    edit->setProperty(kWidestTextProperty, QString::number(spinButtons->maximum));
    edit->installEventFilter(this);

    setFocusProxy(edit);
}

bool NumberField::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edit && event->type() == QEvent::KeyPress)
        return refusesKey(*edit, *static_cast<QKeyEvent*>(event));
    return QWidget::eventFilter(watched, event);
}

}  // namespace abm
