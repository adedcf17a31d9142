#include "ErrorText.h"

#include "MemoryBudget.h"

#include <cstring>

namespace abm {

const char* programText(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::InvalidBitmap: return "Bitmap image is not valid";
    case ErrorKind::InvalidPixelFormat: return "Invalid pixel format";
    case ErrorKind::GifInvalidSignature: return "Invalid GIF signature";
    case ErrorKind::GifPrematureEnd: return "Premature end of data";
    case ErrorKind::GifUnknownExtension: return "Unknown extension type";
    case ErrorKind::GifInvalidIntroducer: return "Invalid extension introducer";
    case ErrorKind::GifBadAppBlockSize: return "Unsupported Application Extension block size";
    case ErrorKind::GifCircularEntry: return "Circular decoder table entry";
    case ErrorKind::GifNoColorTable: return "No global or local color table defined";
    case ErrorKind::GifBadCodeSize: return "Invalid LZW minimum code size";
    case ErrorKind::GifImageTooLarge: return "GIF image is too large";
    case ErrorKind::Jpeg: return "JPEG error #{number}";
    case ErrorKind::FileOpen: return "Cannot open file \"{name}\". {reason}";
    case ErrorKind::FileCreate: return "Cannot create file \"{name}\". {reason}";
    case ErrorKind::StreamRead: return "Stream read error";
    case ErrorKind::StreamWrite: return "Stream write error";
    case ErrorKind::MemoryLimit: return "not enough memory[ for \"{name}\"]: needs {needed}, limit {limit}";
    case ErrorKind::ScanLineOutOfRange: return "Scan line index out of range";
    case ErrorKind::NotAnInteger: return "'{name}' is not a valid integer value";
    case ErrorKind::ListIndexOutOfBounds: return "List index out of bounds ({number})";
    case ErrorKind::IntOverflow: return "Arithmetic overflow";
    case ErrorKind::RangeCheck: return "Range check error";
    case ErrorKind::OutOfMemory: return "Out of memory";
    case ErrorKind::SettingsWrite: return "Unable to write to {name}";
    case ErrorKind::AssociationCreate: return "Failed to create key {name}";
    case ErrorKind::AssociationSetData: return "Failed to set data for '{name}'";
    case ErrorKind::Png: return "PNG error: {name}";
    }
    return "Unknown error";
}

namespace {

std::string argument(const Error& error, std::string_view placeholder)
{
    if (placeholder == "name")
        return error.name();
    if (placeholder == "number")
        return std::to_string(error.number());
    if (placeholder == "reason")
        return error.number() == kNotRegularFile ? "Not a regular file"
                                                 : std::strerror(static_cast<int>(error.number()));
    if (placeholder == "needed")
        return mebibyteText(error.number());
    if (placeholder == "limit")
        return mebibyteText(error.limit());
    return "{" + std::string(placeholder) + "}";
}

}  // namespace

std::string errorText(const Error& error, MessageCatalogue catalogue)
{
    const std::string_view pattern = catalogue(error.kind());
    std::string text;
    bool shown = true;  // outside brackets, or inside them with a name to show
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const size_t close = c == '{' ? pattern.find('}', i) : std::string_view::npos;
        if (c == '[') {
            shown = !error.name().empty();
        } else if (c == ']') {
            shown = true;
        } else if (close != std::string_view::npos) {
            if (shown)
                text += argument(error, pattern.substr(i + 1, close - i - 1));
            i = close;
        } else if (shown) {
            text += c;
        }
    }
    return text;
}

std::string describe(const std::exception& error, MessageCatalogue catalogue)
{
    if (const auto* own = dynamic_cast<const Error*>(&error))
        return errorText(*own, catalogue);
    return error.what();
}

}  // namespace abm
