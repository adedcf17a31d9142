#pragma once

// The frames of a GIF, one per image with pixels, each drawn in the image's
// own colours (its local table, else the global one, else sub-image 0's)
// into a picture of sub-image 0's size that stands for the logical screen.
// A frame that one image covers whole, at its own size and with nothing left
// out, is that image's own 8-bit raster (no copy, no conversion); any other
// is 24-bit, carrying sub-image 0's table as its palette, as the frames of a
// GIF always have.
//
// Synopsis:
//     GifComposer frames(gif, GifComposer::Mode::Transparent);
//     while (frames.next())
//         keep(frames.frame());  // a copy shares the pixels until the next draw
//
// Each image's pixels are let go once it is drawn (GifSubImage::releasePixels).
// An image whose descriptor gave no size draws nothing: its frame is the
// picture as it stands.

#include "GifImage.h"

#include "codecs/raster/Raster.h"

#include <cstdint>

namespace abm {

class GifComposer {
public:
    enum class Mode {
        // The picture starts as sub-image 0 (white when sub-image 0 has no
        // size of its own), and every image's whole
        // rectangle covers what is beneath, its transparent colour included;
        // disposal is not applied.
        Opaque,
        // What a browser shows: the picture starts white, every image leaves
        // its transparent pixels out, and before the next image is drawn the
        // previous one's disposal is applied: 2 puts its rectangle back to
        // white, 3 puts back what was there before it was drawn, any other
        // value keeps it.
        Transparent,
    };

    // Raises what sub-image 0's raster raises ("No global or local color
    // table defined"), and ListIndexOutOfBounds for a GIF without images.
    GifComposer(GifImage& gif, Mode mode);

    // Draws the next image with pixels; false when none is left.
    bool next();
    // The picture as the last image left it.
    const Raster& frame() const { return picture_; }
    // Opaque only: an image after the first had pixels of its transparent
    // colour, which Transparent would have left out.
    bool coveredTransparentPixels() const { return coveredTransparentPixels_; }

    // What composing holds besides the frames kept, against the memory
    // budget: the 24-bit picture, and the copy that disposal 3 restores.
    static int64_t workingBytes(const GifImage& gif, Mode mode);

private:
    void disposePrevious();
    void draw(GifSubImage& image, int index);
    // The picture to draw on, made 24-bit first if it is an image's own raster.
    Raster& trueColourPicture();

    GifImage& gif_;
    Mode mode_;
    SharedPalette firstPalette_;
    Raster picture_;
    // Disposal 3: the picture before the last image was drawn (shared, so a
    // copy only once the draw changes the picture).
    Raster beforeLast_;
    int disposal_ = 0;
    Rect lastRect_;
    int nextIndex_ = 0;
    bool coveredTransparentPixels_ = false;
};

}  // namespace abm
