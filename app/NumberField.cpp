#include "NumberField.h"

#include "SpinButtons.h"
#include "TextFit.h"

#include <QLabel>
#include <QLineEdit>

namespace abm {

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

    setFocusProxy(edit);
}

}  // namespace abm
