#pragma once

// abmtool's words, in English: one table from what happened (an error's
// kind, or one of abmtool's own findings) to its text, so that a
// translation is one more table. A text says what went wrong and, in
// brackets, why or what to do; the caller puts "abmtool: FILE: " before it.
// Placeholders: an Error's are ErrorText.h's; a Finding's are filled by
// findingText.

#include "base/ErrorText.h"

#include <initializer_list>
#include <string>
#include <utility>

namespace abm {

enum class Finding {
    FrameTooLarge,       // {frame}, {size}
    FrameWithoutPixels,  // {frame}, {size}
    FramesOfOtherSizes,  // {frame}, {size}, {first}
    AbmBadFormat,
    AbmCannotOpen,
    UnsupportedFormat,  // {format}
    NotAPicture,
    EmptyFile,
    CutShort,          // {format}
    CutShortImported,  // {format}
    Damaged,           // {format}
    UnsupportedDepth,  // {bits}
    Skipped,           // {reason}: why an input adds no frame
    NoFrames,
    SizeTooLarge,              // {size}, {limit}
    InputsLeftOut,             // {count}, {names}
    OneFrameToStandardOutput,  // {count}
    NotAbmName,
    SameOutput,  // {file}
    OverwritesInput,
    Verbose,  // {read}, {size}, {written}, {frame}
    Summary,  // {written}, {failed}
};

// A MessageCatalogue for errors.
const char* englishText(ErrorKind kind);
const char* englishText(Finding finding);

using Fields = std::initializer_list<std::pair<const char*, std::string>>;
std::string findingText(Finding finding, Fields fields = {});

}  // namespace abm
