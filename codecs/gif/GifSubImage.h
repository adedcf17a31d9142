#pragma once

// One image of a GIF file: what its graphic control extension says of it,
// its descriptor and colour table, and its pixel data (one colour index per
// pixel, interlacing undone), decoded when the file loads straight into the
// 8-bit raster it hands out; the raster's palette and the transparency mask
// are made on first request and kept. Comments, plain text and application
// blocks before it are stepped over.

#include "GifColorTable.h"

#include "codecs/raster/Raster.h"
#include "codecs/raster/Graphics.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace abm {

// What the graphic control extensions before an image say of it: the first
// one gives every value, a later one can still make it transparent.
struct GifGraphicControl {
    bool transparent = false;  // pixels of transparentIndex are left out
    uint8_t transparentIndex = 0;
    // What is done with the image once shown (disposal): its rectangle back
    // to the background, or back to what was there before it; any other
    // value keeps it.
    static constexpr int kRestoreBackground = 2;
    static constexpr int kRestorePrevious = 3;
    int disposal = 0;
    uint16_t delay = 0;  // hundredths of a second
};

class Raster;
class GifImage;
class LzwDecoder;
class GifReader;

class GifSubImage {
public:
    explicit GifSubImage(GifImage* image);
    ~GifSubImage();
    GifSubImage(const GifSubImage&) = delete;
    GifSubImage& operator=(const GifSubImage&) = delete;

    // Reads the extensions, the image descriptor and the local colour table,
    // and steps over the pixel data, leaving the reader at the next block.
    // Errors: "Unknown extension type", "Unsupported Application Extension
    // block size", "Premature end of data" in a fixed-size part.
    // `pixelBudget` is what the picture may still allocate for pixel data;
    // it is reduced by this image's size.
    void loadFromReader(GifReader& reader, int64_t& pixelBudget);
    // Decodes the pixel data the load stepped over into the image's raster
    // (reserved against the memory budget first). `reader` is the one the
    // image was loaded from.
    void decodePixels(const GifReader& reader, LzwDecoder& decoder);

    // The image descriptor; a width or height of 0 has been replaced by the
    // logical screen's size.
    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    uint8_t separator() const { return separator_; }
    uint8_t flags() const { return flags_; }
    bool interlaced() const { return (flags_ & kGifInterlaceFlag) != 0; }
    Rect boundsRect() const { return Rect(left_, top_, left_ + width_, top_ + height_); }
    // The descriptor gave a width or height of 0: the image is decoded at the
    // screen's size, but it has no pixels of its own to show.
    bool sizeless() const { return sizeless_; }

    // No image descriptor followed its extensions, or its size is 0.
    bool empty() const { return !hasImage_ || width_ == 0 || height_ == 0; }
    bool transparent() const { return control_.transparent; }
    const GifGraphicControl& graphicControl() const { return control_; }

    const GifColorTable& colorMap() const { return colorMap_; }

    // Width × height colour indexes, rows top-down: a copy, the raster holds them.
    std::vector<uint8_t> data() const;

    // An 8-bit raster of the image with a 256-entry colour table, or nullptr
    // when the image is empty. Raises "No global or local color table
    // defined" when no table applies.
    const Raster* raster();
    // Set bits mark transparent pixels; nullptr when none is transparent.
    const BitMask* mask();

    // Where the image lands in `rect` standing for the logical screen: at
    // its own offset and size when `rect` has the screen's size, scaled by
    // `rect`'s size over the screen's otherwise.
    Rect placeIn(const Rect& rect) const;
    // Draws the image into `rect` of `onto` as a part of the logical screen
    // that `rect` stands for (placeIn); leaves transparent pixels out when
    // asked and the image is transparent.
    void draw(Raster& onto, const Rect& rect, bool doTransparent);

    // Drops the pixels and the mask for good once nothing will draw the image
    // again (the import draws each image once): the image then hands out no
    // raster. The palette it chose stays, for later images that borrow
    // sub-image 0's.
    void releasePixels();

private:
    void readExtensions(GifReader& reader);
    void readGraphicControl(GifReader& reader);
    void makeBitmap();
    SharedPalette choosePalette() const;

    GifImage* image_;
    bool hasGraphicControl_ = false;
    GifGraphicControl control_;

    bool hasImage_ = false;
    bool sizeless_ = false;
    uint8_t separator_ = 0;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    uint8_t flags_ = 0;
    GifColorTable colorMap_;
    // Where the minimum code size byte lies in the file; none when the file
    // ends before it.
    size_t codeSizeAt_ = 0;
    bool hasCodeSize_ = false;

    // The image's bookkeeping and its mask, against the memory budget.
    MemoryReservation held_;
    Raster raster_;  // the colour indexes; the palette is set on first request
    bool bitmapMade_ = false;
    bool released_ = false;
    SharedPalette palette_;
    std::unique_ptr<BitMask> mask_;
};

}  // namespace abm
