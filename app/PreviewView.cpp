#include "PreviewView.h"

#include "RasterView.h"
#include "TextFit.h"
#include "codecs/raster/Raster.h"

#include <QEvent>
#include <QLabel>

namespace abm {

namespace {

constexpr int kCaptionHeight = 17;
constexpr QRect kPictureBounds(16, 32, 130, 99);

}  // namespace

PreviewView::PreviewView(QWidget* parent) : QScrollArea(parent)
{
    setObjectName(QStringLiteral("ScrollBox1"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    content_ = new QWidget;
    content_->setObjectName(QStringLiteral("PreviewContent"));
    content_->setMinimumSize(kPictureBounds.right() + 1, kPictureBounds.bottom() + 1);
    setWidget(content_);
    content_->installEventFilter(this);

    caption_ = new QLabel(QStringLiteral(" Предварительный просмотр:"), content_);
    caption_->setObjectName(QStringLiteral("StaticText1"));
    caption_->setGeometry(0, 0, content_->width(), kCaptionHeight);
    picture_ = new RasterView(content_);
    picture_->setObjectName(QStringLiteral("ImPrev"));
    picture_->setGeometry(kPictureBounds);
    // A caption taller than designed moves the picture down.
    fitToText(content_);
    content_->setMinimumSize(picture_->geometry().bottomRight().x() + 1, picture_->geometry().bottomRight().y() + 1);
}

void PreviewView::showPicture(const Raster& picture)
{
    picture_->setRaster(&picture);
    if (picture.width() != 0)
        picture_->resize(picture.width(), picture.height());
}

bool PreviewView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize && watched == content_)
        caption_->resize(content_->width(), caption_->height());
    return QScrollArea::eventFilter(watched, event);
}

}  // namespace abm
