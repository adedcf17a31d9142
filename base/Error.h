#pragma once

// The error classes every layer raises. Importers and the GUI tell failures
// apart by class, so the hierarchy matters more than the texts.

#include <stdexcept>
#include <string>

namespace abm {

class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A picture that cannot be read or made. GIFException and EJPEG derive from it.
class EInvalidGraphic : public Exception {
public:
    using Exception::Exception;
};

// Misuse of a valid picture, such as a row outside the raster.
class EInvalidGraphicOperation : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("Stream read error") {}
};

class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("Stream write error") {}
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class EListError : public Exception {
public:
    using Exception::Exception;
};

class EIntOverflow : public Exception {
public:
    EIntOverflow() : Exception("Arithmetic overflow") {}
};

class ERangeError : public Exception {
public:
    ERangeError() : Exception("Range check error") {}
};

class EOutOfMemory : public Exception {
public:
    EOutOfMemory() : Exception("Out of memory") {}
};

// "Cannot open file "%s". %s" with the system's reason for errno, or "Not a
// regular file" for a negative code.
EFOpenError FileOpenError(const std::string& fileName, int err);
// "Cannot create file "%s". %s" with the system's reason for errno.
EFCreateError FileCreateError(const std::string& fileName, int err);

// Decimal text to a 32-bit integer: an optional sign and digits, nothing else.
// Anything else raises EConvertError "'%s' is not a valid integer value".
int StrToInt(const std::string& text);

// Like StrToInt, but gives `fallback` instead of raising; also reads "0x"/"0X" hex.
int StrToIntDef(const std::string& text, int fallback);

}  // namespace abm
