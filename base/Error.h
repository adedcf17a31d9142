#pragma once

// The errors every layer raises: what went wrong (a kind) and what it
// concerns (a name, a number). The words are the front end's: a catalogue
// turns a kind and its arguments into text (ErrorText.h).
//
// Callers tell failures apart by class only where they catch a whole
// category: pictures that cannot be read or made (InvalidGraphicError), files
// that cannot be opened, created, read or written (FileError), and the memory
// budget's refusal (MemoryLimitExceeded). Everything else is a plain Error.

#include <cstdint>
#include <exception>
#include <string>

namespace abm {

// The kinds a reader raises carry the file being read as their name when
// it is known (namesFile); an import fills it in for the error it passes on.
enum class ErrorKind {
    // InvalidGraphicError
    InvalidBitmap,
    InvalidPixelFormat,
    GifInvalidSignature,
    GifPrematureEnd,
    GifUnknownExtension,
    GifInvalidIntroducer,
    GifBadAppBlockSize,
    GifCircularEntry,
    GifNoColorTable,
    GifBadCodeSize,
    GifImageTooLarge,
    PictureTooLarge,   // number: the pixels asked for; limit: the raster's pixel limit
    Jpeg,              // number: libjpeg's message code (42: empty input, 53: not a JPEG)
    JpegTooManyScans,  // number: the scans read before the decoding work passed its limit
    // FileError
    FileOpen,    // name: the file; number: errno, or kNotRegularFile
    FileCreate,  // name: the file; number: errno, kNotRegularFile, kBlockDevice or kSocket
    StreamRead,
    StreamWrite,
    InputTooLarge,  // name: the file, if known; number: its size in bytes; limit: kMaxInputBytes
    // MemoryLimitExceeded
    MemoryLimit,  // name: the file being read, if known; number: bytes needed; limit: the budget
    // Error
    ScanLineOutOfRange,
    NotAnInteger,          // name: the text
    ListIndexOutOfBounds,  // number: the index
    IntOverflow,
    RangeCheck,
    OutOfMemory,
    SettingsWrite,       // name: the settings file as named; number: errno, 0 when unknown
    AssociationCreate,   // name: what was to be created
    AssociationSetData,  // name: the file whose content could not be written
    Png,                 // name: libpng's message
};

// The FileOpen number for a name that is there but is no regular file (a
// FIFO, a device, a socket): not an errno. FileCreate's for what a save never
// writes into: anything but a regular file, a FIFO or a character device.
constexpr int kNotRegularFile = -1;
constexpr int kBlockDevice = -2;
constexpr int kSocket = -3;

// Whether the kind's name is the file concerned, rather than a text, a key
// or a library's words.
bool namesFile(ErrorKind kind);

class Error : public std::exception {
public:
    explicit Error(ErrorKind kind, std::string name = {}, int64_t number = 0, int64_t limit = 0);

    ErrorKind kind() const noexcept { return kind_; }
    const std::string& name() const noexcept { return name_; }
    int64_t number() const noexcept { return number_; }
    int64_t limit() const noexcept { return limit_; }

    // The program's own text (programText), for whoever has no catalogue of
    // its own: logs, test output, a handler of any std::exception.
    const char* what() const noexcept override { return text_.c_str(); }

private:
    ErrorKind kind_;
    std::string name_;
    int64_t number_;
    int64_t limit_;
    std::string text_;
};

// A picture that cannot be read or made; the importers drop such files.
class InvalidGraphicError : public Error {
public:
    using Error::Error;
};

class FileError : public Error {
public:
    using Error::Error;
};

// Not an InvalidGraphicError: the importers that drop invalid pictures
// silently must not drop this one.
class MemoryLimitExceeded : public Error {
public:
    MemoryLimitExceeded(int64_t needed, int64_t limit, const std::string& fileName = {})
        : Error(ErrorKind::MemoryLimit, fileName, needed, limit)
    {
    }

    int64_t needed() const noexcept { return number(); }
    const std::string& fileName() const noexcept { return name(); }
    // The same refusal, naming the file that was being read.
    MemoryLimitExceeded forFile(const std::string& fileName) const { return {needed(), limit(), fileName}; }
};

// Raises `error` again, of its own class, naming `fileName` when its kind
// names a file and it names none yet. Called by the handler that caught it.
[[noreturn]] void throwNamingFile(const Error& error, const std::string& fileName);

}  // namespace abm
