#pragma once

// The error class of the GIF reader and the texts it raises and warns with.

#include "base/Error.h"

namespace abm {

// Importers catch it as an invalid picture, like every EInvalidGraphic.
class GIFException : public EInvalidGraphic {
public:
    using EInvalidGraphic::EInvalidGraphic;
};

inline constexpr char kGIFInvalidSignature[] = "Invalid GIF signature";
inline constexpr char kGIFPrematureEnd[] = "Premature end of data";
inline constexpr char kGIFUnknownExtension[] = "Unknown extension type";
inline constexpr char kGIFInvalidIntroducer[] = "Invalid extension introducer";
inline constexpr char kGIFBadAppBlockSize[] = "Unsupported Application Extension block size";
inline constexpr char kGIFCircularEntry[] = "Circular decoder table entry";
inline constexpr char kGIFNoColorTable[] = "No global or local color table defined";
inline constexpr char kGIFBadCodeSize[] = "Invalid LZW minimum code size";
inline constexpr char kGIFImageTooLarge[] = "GIF image is too large";

inline constexpr char kGIFUnknownBlock[] = "Unknown GIF block type";
inline constexpr char kGIFExceedsScreen[] = "Image exceeds Logical Screen size";
inline constexpr char kGIFUnderrun[] = "Decoder bit buffer under-run";
inline constexpr char kGIFInvalidTrailer[] = "Invalid Image trailer";

}  // namespace abm
