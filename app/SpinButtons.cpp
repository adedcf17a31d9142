#include "SpinButtons.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QToolButton>

#include <algorithm>

namespace abm {

namespace {

QToolButton* arrowButton(QWidget* parent, Qt::ArrowType arrow)
{
    auto* button = new QToolButton(parent);
    button->setArrowType(arrow);
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

}  // namespace

SpinButtons::SpinButtons(QWidget* parent)
    : QWidget(parent), up_(arrowButton(this, Qt::UpArrow)), down_(arrowButton(this, Qt::DownArrow))
{
    setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
}

void SpinButtons::resizeEvent(QResizeEvent*)
{
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

QString SpinButtons::positionText(int position) const
{
    QLocale locale;
    QLocale::NumberOptions options = locale.numberOptions();
    options.setFlag(QLocale::OmitGroupSeparator, !thousands);
    locale.setNumberOptions(options);
    return locale.toString(position);
}

void SpinButtons::setPosition(int position)
{
    position_ = std::clamp(position, minimum, maximum);
    if (associate_)
        associate_->setText(positionText(position_));
}

void SpinButtons::setAssociate(QLineEdit* edit)
{
    if (associate_)
        associate_->removeEventFilter(this);
    associate_ = edit;
    if (associate_)
        associate_->installEventFilter(this);
}

void SpinButtons::step(int direction)
{
    int current = position_;
    if (associate_) {
        bool ok = false;
        const int shown = QLocale().toInt(associate_->text(), &ok);
        if (ok)
            current = std::clamp(shown, minimum, maximum);
    }
    const long long next = static_cast<long long>(current) + static_cast<long long>(direction) * increment;
    int position;
    if (next > maximum)
        position = wrap ? minimum : maximum;
    else if (next < minimum)
        position = wrap ? maximum : minimum;
    else
        position = static_cast<int>(next);
    setPosition(position);
}

bool SpinButtons::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == associate_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down) {
            step(key->key() == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace abm
