#pragma once

// A frame's picture as it was imported, from which the frame is made again
// whenever the options or the strip change. A JPEG file stays compressed
// until a frame needs every pixel of it: a frame smoothed down from it is
// made from rows decoded at a fraction of its size, and the full decode,
// made the first time another frame needs it, is kept from then on.

#include "codecs/jpeg/JpegImage.h"
#include "codecs/raster/Raster.h"

#include <optional>

namespace abm {

class SourcePicture {
public:
    SourcePicture() = default;
    SourcePicture(Raster raster) : raster_(std::move(raster)) {}  // NOLINT(google-explicit-constructor)
    explicit SourcePicture(const JpegImage& jpeg) : jpeg_(jpeg) {}

    int width() const { return jpeg_ ? jpeg_->width() : raster_.width(); }
    int height() const { return jpeg_ ? jpeg_->height() : raster_.height(); }

    // Every pixel. A JPEG is decoded in full on the first call, which raises
    // what JpegImage::raster() raises; its compressed bytes are let go then.
    const Raster& raster() const;
    // The JPEG while it is still compressed, or null.
    const JpegImage* compressedJpeg() const { return jpeg_ ? &*jpeg_ : nullptr; }
    // The raster held now (empty while the JPEG is compressed), without decoding.
    const Raster& heldRaster() const { return raster_; }

private:
    // The decode is made on demand by readers of a const frame, so it is a
    // cache of the source, not a change of it.
    mutable Raster raster_;
    mutable std::optional<JpegImage> jpeg_;
};

}  // namespace abm
