#pragma once

// A picture handed over a row at a time, top to bottom, as a decoder makes
// it, perhaps at a fraction of its size, so that the frame conversion can
// average the rows as they come instead of holding the whole picture.

#include "Raster.h"

#include <cstdint>

namespace abm {

class PictureRows {
public:
    virtual ~PictureRows() = default;

    // Row y of the rows, 0 at the top, in `layout` with `palette`. Rows are
    // asked for in order, never one above the last; a row stays valid until
    // the next call.
    virtual const uint8_t* row(int y) = 0;

    // The picture's own size, which frames are fitted to.
    int pictureWidth = 0;
    int pictureHeight = 0;
    // The rows show the picture at eighths / 8 of its size: width × height
    // pixels, that size rounded up, the last column and row covering what
    // is left of the picture.
    int eighths = 8;
    int width = 0;
    int height = 0;
    PixelLayout layout = PixelLayout::forFormat(PixelFormat::Bgr888);
    SharedPalette palette;
};

}  // namespace abm
