#include "RasterView.h"

#include "RasterImage.h"

#include <QPaintEvent>
#include <QPainter>

#include <exception>

namespace abm {

TRasterView::TRasterView(QWidget* parent) : QWidget(parent) {}

void TRasterView::setRaster(const TBitmap* raster, QPoint origin)
{
    raster_ = raster;
    origin_ = origin;
    update();
}

void TRasterView::paintEvent(QPaintEvent* event)
{
    if (!raster_)
        return;
    QPainter painter(this);
    try {
        paintRaster(painter, *raster_, origin_, event->rect());
    } catch (const std::exception&) {
        // A paint cannot stop for a box (it would come back at every
        // repaint): a part Qt cannot make stays unpainted.
    }
}

}  // namespace abm
