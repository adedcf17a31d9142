#include "JpegSettings.h"

namespace abm {

JpegSettings& jpegDefaults()
{
    static JpegSettings defaults;
    return defaults;
}

}  // namespace abm
