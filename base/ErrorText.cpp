#include "ErrorText.h"

#include "MemoryBudget.h"
#include "Numbers.h"

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
    // The window drops such pictures without a word; the text is for whoever logs it.
    case ErrorKind::PictureTooLarge: return "Bitmap image is not valid";
    case ErrorKind::Jpeg: return "JPEG error #{number}";
    case ErrorKind::JpegTooManyScans: return "Too many scans in the JPEG data ({number})";
    case ErrorKind::FileOpen: return "Cannot open file \"{name}\". {reason}";
    case ErrorKind::FileCreate: return "Cannot create file \"{name}\". {reason}";
    case ErrorKind::StreamRead: return "Stream read error";
    case ErrorKind::StreamWrite: return "Stream write error";
    case ErrorKind::InputTooLarge: return "File[ \"{name}\"] is too large: {size}, limit {limit}";
    case ErrorKind::MemoryLimit: return "not enough memory[ for \"{name}\"]: needs {needed}, limit {limit}";
    case ErrorKind::ScanLineOutOfRange: return "Scan line index out of range";
    case ErrorKind::NotAnInteger: return "'{name}' is not a valid integer value";
    case ErrorKind::ListIndexOutOfBounds: return "List index out of bounds ({number})";
    case ErrorKind::IntOverflow: return "Arithmetic overflow";
    case ErrorKind::RangeCheck: return "Range check error";
    case ErrorKind::OutOfMemory: return "Out of memory";
    case ErrorKind::SettingsWrite: return "Unable to write to {name}[.\n{reason}]";
    case ErrorKind::AssociationCreate: return "Failed to create key {name}";
    case ErrorKind::AssociationSetData: return "Failed to set data for '{name}'";
    case ErrorKind::Png: return "PNG error: {name}";
    }
    return "Unknown error";
}

namespace {

// The system's words for a FileError's number; empty for none.
std::string reason(int64_t number)
{
    switch (number) {
    case 0: return {};
    case kNotRegularFile: return "Not a regular file";
    case kBlockDevice: return "Is a block device";
    case kSocket: return "Is a socket";
    default: return std::strerror(static_cast<int>(number));
    }
}

std::string argument(const Error& error, std::string_view placeholder, NameStyle style)
{
    if (placeholder == "name")
        return style && !error.name().empty() ? style(error.name()) : error.name();
    if (placeholder == "number")
        return std::to_string(error.number());
    if (placeholder == "reason")
        return reason(error.number());
    if (placeholder == "needed" || placeholder == "size")
        return mebibyteText(error.number());
    if (placeholder == "limit")
        return mebibyteText(error.limit());
    if (placeholder == "count")
        return groupedNumber(error.number());
    if (placeholder == "countLimit")
        return groupedNumber(error.limit());
    return "{" + std::string(placeholder) + "}";
}

// The pattern with its placeholders filled; a part in brackets only when
// every placeholder in it has a value.
std::string filled(const Error& error, std::string_view pattern, NameStyle style, bool& allFilled)
{
    std::string text;
    allFilled = true;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        const size_t end = c == '{' ? pattern.find('}', i) : c == '[' ? pattern.find(']', i) : std::string_view::npos;
        if (end == std::string_view::npos) {
            text += c;
            continue;
        }
        const std::string_view inner = pattern.substr(i + 1, end - i - 1);
        bool innerFilled = true;
        const std::string value = c == '{' ? argument(error, inner, style) : filled(error, inner, style, innerFilled);
        if (c == '{')
            allFilled = allFilled && !value.empty();
        if (innerFilled)
            text += value;
        i = end;
    }
    return text;
}

}  // namespace

std::string errorText(const Error& error, MessageCatalogue catalogue, NameStyle style)
{
    bool allFilled = true;
    return filled(error, catalogue(error.kind()), style, allFilled);
}

std::string describe(const std::exception& error, MessageCatalogue catalogue, NameStyle style)
{
    if (const auto* own = dynamic_cast<const Error*>(&error))
        return errorText(*own, catalogue, style);
    return error.what();
}

}  // namespace abm
