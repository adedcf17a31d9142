#pragma once

// The drawing surface of one raster. Every pixel written is converted into
// the raster's own format (5-6-5 for 16 bits, nearest palette colour for
// 8 bits) and clipped to (0, 0, width, height).

#include "Graphics.h"

namespace abm {

class TBitmap;
struct TBitmapImage;

class TCanvas {
public:
    explicit TCanvas(TBitmap* owner) : owner_(owner) {}

    TColor brushColor = clWhite;
    TColor penColor = clBlack;
    int penWidth = 1;

    TRect clipRect() const;

    void fillRect(const TRect& r);
    // Filled with the brush, the outermost ring of pixels in the pen colour.
    void rectangle(const TRect& r);
    // Unscaled, top-left at (x, y); an empty picture draws nothing.
    void draw(int x, int y, const TBitmap& picture);
    // Scaled to fill r exactly by dropping or repeating whole rows and columns.
    void stretchDraw(const TRect& r, const TBitmap* picture);
    // As StretchDraw, leaving out every source pixel whose mask bit is set.
    void maskedStretchDraw(const TRect& r, const TBitmap& picture, const TBitMask& mask);
    // Scaled rectangle copy from another surface (plain source copy).
    void copyRect(const TRect& dest, const TCanvas& source, const TRect& sourceRect);
    void copyRect(const TRect& dest, const TBitmap& source, const TRect& sourceRect);

private:
    friend class TBitmap;
    TBitmap* owner_;
};

// The blit every drawing operation uses: rectangle s of src scaled onto
// rectangle d of dst, clipped to dst, optionally masked by source pixel.
void stretchBlit(TBitmapImage& dst, const TRect& d, const TBitmapImage& src, const TRect& s,
                 const TBitMask* mask = nullptr);
void fillImageRect(TBitmapImage& dst, const TRect& r, TColor color);

}  // namespace abm
