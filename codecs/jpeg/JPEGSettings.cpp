#include "JPEGSettings.h"

namespace abm {

TJPEGSettings& JPEGDefaults()
{
    static TJPEGSettings defaults;
    return defaults;
}

}  // namespace abm
