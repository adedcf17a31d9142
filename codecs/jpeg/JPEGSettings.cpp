#include "JPEGSettings.h"

namespace abm {

TJPEGSettings& jpegDefaults()
{
    static TJPEGSettings defaults;
    return defaults;
}

}  // namespace abm
