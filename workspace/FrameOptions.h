#pragma once

// The frame options as plain values, handed to the strip at the moment they
// apply. Text becomes a number at the edge that owns it (the options
// dialog, abmtool's --size); a size field's text that is no integer is
// kept, and raises the conversion error only where the size is used, as
// it always has: a text left in a field under auto-size is never read.

#include "codecs/abm/AbmCodec.h"

#include <optional>
#include <string>
#include <string_view>

namespace abm {

// A frame width or height: a number, or the text of a size field that is none.
class FrameDimension {
public:
    FrameDimension(int value) : value_(value) {}  // NOLINT(google-explicit-constructor)
    // An integer as parseInt reads it; any other text is kept as it is.
    static FrameDimension fromText(std::string_view text);

    bool isNumber() const { return !text_; }
    // The number; a text that is none raises Error NotAnInteger naming it.
    int value() const;
    int valueOr(int fallback) const { return text_ ? fallback : value_; }
    // As a size field shows it.
    std::string text() const { return text_ ? *text_ : std::to_string(value_); }

    friend bool operator==(const FrameDimension&, const FrameDimension&) = default;

private:
    int value_ = 0;
    std::optional<std::string> text_;
};

// Starting at the options dialog's defaults.
struct FrameOptions {
    FrameDimension width = kPhoneFrameWidth;
    FrameDimension height = kPhoneFrameHeight;
    bool autoSize = true;
    bool stretch = false;
    bool transparentGif = false;
    // How a picture becomes a frame (codecs/raster/FrameConversion.h):
    // smoothing and fitting where the picture is stretched, the dither
    // wherever its colours are reduced to 16 bits.
    bool smooth = false;
    bool dither = false;
    bool keepProportions = false;

    friend bool operator==(const FrameOptions&, const FrameOptions&) = default;
};

// `options` made to give every picture a frame the phone shows whole: its
// screen's size, stretched to fit keeping proportions, smoothed and
// dithered. The GIF transparency stays as it was.
FrameOptions fittedToPhone(FrameOptions options);

}  // namespace abm
