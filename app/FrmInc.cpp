#include "FrmInc.h"

#include "UpDown.h"

#include <QLabel>
#include <QLineEdit>

namespace abm {

TFrmInc::TFrmInc(QWidget* parent)
    : QWidget(parent), Label1(new QLabel(this)), MaskEd(new QLineEdit(this)), UpDown1(new TUpDown(this))
{
    setFixedSize(kWidth, kHeight);

    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(0, 0, 52, 13);
    Label1->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    MaskEd->setObjectName(QStringLiteral("MaskEd"));
    MaskEd->setGeometry(0, 16, 41, 21);
    MaskEd->setText(QStringLiteral("0"));
    // A classic edit takes no dropped text; only typed digits get in.
    MaskEd->setAcceptDrops(false);

    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    UpDown1->setGeometry(41, 16, 11, 21);
    UpDown1->Min = 0;
    UpDown1->Max = 10000;
    UpDown1->Increment = 1;
    UpDown1->Wrap = false;
    // The frame size is read as a plain integer: "1,000" would be refused.
    UpDown1->Thousands = false;
    UpDown1->SetAssociate(MaskEd);

    setFocusProxy(MaskEd);
}

}  // namespace abm
