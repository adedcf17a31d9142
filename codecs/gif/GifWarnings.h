#pragma once

// What the GIF reader can live with: the texts it passes to onWarning, which
// the program leaves unset. Its errors are InvalidGraphicError kinds (Gif…).

namespace abm {

inline constexpr char kGIFPrematureEnd[] = "Premature end of data";
inline constexpr char kGIFInvalidIntroducer[] = "Invalid extension introducer";
inline constexpr char kGIFUnknownBlock[] = "Unknown GIF block type";
inline constexpr char kGIFExceedsScreen[] = "Image exceeds Logical Screen size";
inline constexpr char kGIFUnderrun[] = "Decoder bit buffer under-run";
inline constexpr char kGIFInvalidTrailer[] = "Invalid Image trailer";

}  // namespace abm
