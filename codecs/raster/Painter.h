#pragma once

// Drawing on a raster, made for the moment of use as a QPainter is:
//
//     Painter painter(frame);
//     painter.fillRect(frame.rect(), color::white);
//     painter.drawImage(target, picture);
//
// Every pixel written is converted into the raster's own format (5-6-5 for
// 16 bits, nearest palette colour for 8 bits) and clipped to raster.rect().
// A picture drawn may be the raster itself or share its pixels: the old
// pixels are read.

#include "Graphics.h"

namespace abm {

class Raster;
struct PixelBuffer;

class Painter {
public:
    explicit Painter(Raster& target) : target_(target) {}

    void fillRect(const Rect& r, Color color);
    // Unscaled, top-left at (x, y); an empty image draws nothing.
    void drawImage(int x, int y, const Raster& image);
    // Scaled to fill `target` exactly by dropping or repeating whole rows and columns.
    void drawImage(const Rect& target, const Raster& image);
    // The part `source` of the image scaled onto `target` the same way.
    void drawImage(const Rect& target, const Raster& image, const Rect& source);
    // As drawImage(target, image), leaving out every pixel whose mask bit is set.
    void drawImage(const Rect& target, const Raster& image, const BitMask& mask);

private:
    Raster& target_;
};

// The blit every drawing operation uses: rectangle s of src scaled onto
// rectangle d of dst, clipped to dst, optionally masked by source pixel.
void stretchBlit(PixelBuffer& dst, const Rect& d, const PixelBuffer& src, const Rect& s, const BitMask* mask = nullptr);
void fillImageRect(PixelBuffer& dst, const Rect& r, Color color);

}  // namespace abm
