#include "GifComposer.h"

#include "codecs/raster/Painter.h"

namespace abm {

namespace {

constexpr int kRestoreBackground = GifGraphicControl::kRestoreBackground;
constexpr int kRestorePrevious = GifGraphicControl::kRestorePrevious;

}  // namespace

GifComposer::GifComposer(GifImage& gif, Mode mode) : gif_(gif), mode_(mode)
{
    const Raster* first = gif.images(0).raster();
    if (!first)
        return;  // every frame is empty, as sub-image 0 is
    firstPalette_ = first->sharedPalette();
    if (mode == Mode::Opaque && !gif.images(0).sizeless()) {
        picture_ = *first;
        return;
    }
    picture_.createForOverwrite(first->width(), first->height(), PixelLayout::forFormat(PixelFormat::Bgr888));
    picture_.setPalette(firstPalette_);
    Painter(picture_).fillRect(picture_.rect(), color::white);
}

Raster& GifComposer::trueColourPicture()
{
    if (picture_.pixelFormat() != PixelFormat::Bgr888 && !picture_.empty()) {
        Raster full;
        full.createForOverwrite(picture_.width(), picture_.height(), PixelLayout::forFormat(PixelFormat::Bgr888));
        full.setPalette(firstPalette_);
        Painter(full).drawImage(0, 0, picture_);
        picture_.assign(&full);
    }
    return picture_;
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
    const Rect screen(0, 0, picture_.width(), picture_.height());
    if (transparent) {
        disposePrevious();
        disposal_ = image.graphicControl().disposal;
        lastRect_ = image.placeIn(screen);
        if (disposal_ == kRestorePrevious)
            beforeLast_ = picture_;
    } else if (index > 0 && image.mask() && !image.sizeless()) {
        coveredTransparentPixels_ = true;
    }
    if (image.sizeless()) {
        // Its frame is the picture as it stands: the pixels decoded for it
        // are only the fill value, not a picture.
        lastRect_ = Rect();
        image.releasePixels();
        return;
    }
    const Raster& own = *image.raster();
    const bool leavesOut = transparent && image.mask();
    if (!leavesOut && image.placeIn(screen) == screen && own.width() == screen.width() &&
        own.height() == screen.height())
        picture_ = own;
    else
        image.draw(trueColourPicture(), screen, transparent);
    // Drawn once and for all: only sub-image 0's palette is still wanted,
    // by images that borrow it.
    image.releasePixels();
}

void GifComposer::disposePrevious()
{
    if (disposal_ == kRestoreBackground) {
        Painter(trueColourPicture()).fillRect(lastRect_, color::white);
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
        restores = restores || (!gif.images(i).empty() && gif.images(i).graphicControl().disposal == kRestorePrevious);
    return (restores ? 2 : 1) * rasterBytes(first.width(), first.height(), 24);
}

}  // namespace abm
