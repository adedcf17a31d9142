#pragma once

// The drawing surface of one raster. Every pixel written is converted into
// the raster's own format (5-6-5 for 16 bits, nearest palette colour for
// 8 bits) and clipped to (0, 0, width, height).

#include "Graphics.h"

namespace abm {

class Raster;
struct PixelBuffer;

class Canvas {
public:
    explicit Canvas(Raster* owner) : owner_(owner) {}

    Color brushColor = color::white;
    Color penColor = color::black;
    int penWidth = 1;

    Rect clipRect() const;

    void fillRect(const Rect& r);
    // Filled with the brush, the outermost ring of pixels in the pen colour.
    void rectangle(const Rect& r);
    // Unscaled, top-left at (x, y); an empty picture draws nothing.
    void draw(int x, int y, const Raster& picture);
    // Scaled to fill r exactly by dropping or repeating whole rows and columns.
    void stretchDraw(const Rect& r, const Raster* picture);
    // As StretchDraw, leaving out every source pixel whose mask bit is set.
    void maskedStretchDraw(const Rect& r, const Raster& picture, const BitMask& mask);
    // Scaled rectangle copy from another surface (plain source copy).
    void copyRect(const Rect& dest, const Canvas& source, const Rect& sourceRect);
    void copyRect(const Rect& dest, const Raster& source, const Rect& sourceRect);

private:
    friend class Raster;
    Raster* owner_;
};

// The blit every drawing operation uses: rectangle s of src scaled onto
// rectangle d of dst, clipped to dst, optionally masked by source pixel.
void stretchBlit(PixelBuffer& dst, const Rect& d, const PixelBuffer& src, const Rect& s, const BitMask* mask = nullptr);
void fillImageRect(PixelBuffer& dst, const Rect& r, Color color);

}  // namespace abm
