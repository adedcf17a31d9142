#include "RasterView.h"

#include "RasterImage.h"

#include <QPaintEvent>
#include <QPainter>

#include <exception>

namespace abm {

RasterView::RasterView(QWidget* parent) : QWidget(parent)
{
}

void RasterView::setRaster(const Raster* raster, QPoint origin)
{
    raster_ = raster;
    origin_ = origin;
    update();
}

void RasterView::paintEvent(QPaintEvent* event)
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
