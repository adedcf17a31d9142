#pragma once

// The errors of the settings file and of the file-type registration. The GUI
// shows them in its standard error box like any other error.

#include "codecs/raster/Errors.h"

namespace abm {

// "Unable to write to %s" with the settings file's name as used.
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

// "Failed to create key %s" and "Failed to set data for '%s'".
class ERegistryException : public Exception {
public:
    using Exception::Exception;
};

}  // namespace abm
