#pragma once

// A raster as Qt paints it. Frames are 16-bit 5-6-5, which is QImage's
// Format_RGB16 row for row; other formats go through their colours.

#include "codecs/raster/Bitmap.h"

#include <QImage>

namespace abm {

// A copy: the raster may change or go after the call. Empty gives a null image.
QImage RasterToQImage(const TBitmap& raster);

}  // namespace abm
