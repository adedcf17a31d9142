#include "GifComposer.h"

#include "codecs/raster/Canvas.h"

namespace abm {

namespace {

// Disposal methods of the graphic control extension.
constexpr int kRestoreBackground = 2;
constexpr int kRestorePrevious = 3;

}  // namespace

GifComposer::GifComposer(GifImage& gif, Mode mode) : gif_(gif), mode_(mode)
{
    const Raster* first = gif.images(0).raster();
    if (!first)
        return;  // every frame is empty, as sub-image 0 is
    picture_.createForOverwrite(first->width(), first->height(), PixelLayout::forFormat(pf24bit));
    picture_.setPalette(first->sharedPalette());
    Canvas& canvas = picture_.canvas();
    if (mode == Mode::Transparent)
        canvas.fillRect(canvas.clipRect());
    else
        canvas.draw(0, 0, *first);
}

bool GifComposer::next()
{
    while (nextIndex_ < gif_.count()) {
        const int index = nextIndex_++;
        GifSubImage& image = gif_.images(index);
        if (image.raster()) {
            draw(image, index);
            return true;
        }
    }
    return false;
}

void GifComposer::draw(GifSubImage& image, int index)
{
    const bool transparent = mode_ == Mode::Transparent;
    const Rect screen = picture_.canvas().clipRect();
    if (transparent) {
        disposePrevious();
        disposal_ = image.disposal();
        lastRect_ = image.placeIn(screen);
        if (disposal_ == kRestorePrevious)
            beforeLast_ = picture_;
    } else if (index > 0 && image.mask()) {
        coveredTransparentPixels_ = true;
    }
    image.draw(picture_.canvas(), screen, transparent, false);
    // Drawn once and for all: only sub-image 0's palette is still wanted,
    // by images that borrow it.
    image.releasePixels();
}

void GifComposer::disposePrevious()
{
    if (disposal_ == kRestoreBackground) {
        Canvas& canvas = picture_.canvas();
        canvas.brushColor = clWhite;
        canvas.fillRect(lastRect_);
    } else if (disposal_ == kRestorePrevious) {
        // Only the last image changed the picture since the copy.
        picture_ = beforeLast_;
        beforeLast_ = Raster();
    }
    disposal_ = 0;
}

int64_t GifComposer::workingBytes(const GifImage& gif, Mode mode)
{
    if (gif.count() == 0 || gif.images(0).empty())
        return 0;
    const GifSubImage& first = gif.images(0);
    bool restores = false;
    for (int i = 0; mode == Mode::Transparent && i < gif.count(); ++i)
        restores = restores || (!gif.images(i).empty() && gif.images(i).disposal() == kRestorePrevious);
    return (restores ? 2 : 1) * rasterBytes(first.width(), first.height(), 24);
}

}  // namespace abm
