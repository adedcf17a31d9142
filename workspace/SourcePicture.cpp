#include "SourcePicture.h"

namespace abm {

const Raster& SourcePicture::raster() const
{
    if (jpeg_) {
        raster_ = jpeg_->raster();
        jpeg_.reset();
    }
    return raster_;
}

}  // namespace abm
