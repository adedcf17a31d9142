#pragma once

// A raster as Qt paints it. Frames are 16-bit 5-6-5, which is QImage's
// Format_RGB16 row for row: their rows are painted where they lie, never
// copied. Other formats are converted for the painted part alone, so no
// paint ever costs a full-size copy of a picture.

#include "codecs/raster/Raster.h"

#include <QImage>
#include <QPoint>
#include <QRect>

class QPainter;

namespace abm {

// Paints `raster` unscaled with its top-left corner at `origin`, only where
// it meets `exposed` (both in the painter's coordinates).
void paintRaster(QPainter& painter, const Raster& raster, QPoint origin, const QRect& exposed);

// An image Qt could make, or Error OutOfMemory: nothing is ever written into a
// null image.
QImage newImage(QSize size, QImage::Format format);

}  // namespace abm
