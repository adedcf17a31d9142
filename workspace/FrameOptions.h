#pragma once

// The frame options as the logic reads them, at the moment it needs them.
// The options dialog answers from its controls; tests and abmtool from
// plain values.

#include <string>

namespace abm {

class FrameOptions {
public:
    virtual ~FrameOptions() = default;
    // Texts of the two size fields; converted only where they are used.
    virtual std::string widthText() const = 0;
    virtual std::string heightText() const = 0;
    virtual bool autoSize() const = 0;     // autoSizeBox
    virtual bool stretch() const = 0;      // stretchBox
    virtual bool transparent() const = 0;  // transparentBox
    // How a picture becomes a frame (codecs/raster/FrameConversion.h):
    // smoothing and fitting where the picture is stretched, the dither
    // wherever its colours are reduced to 16 bits.
    virtual bool smooth() const = 0;           // smoothBox
    virtual bool dither() const = 0;           // ditherBox
    virtual bool keepProportions() const = 0;  // keepAspectBox
};

// Options held as plain values, starting at the dialog's defaults.
class FrameOptionValues : public FrameOptions {
public:
    std::string width = "128";
    std::string height = "97";
    bool autoSizeOn = true;
    bool stretchOn = false;
    bool transparentOn = false;
    bool smoothOn = false;
    bool ditherOn = false;
    bool keepProportionsOn = false;

    std::string widthText() const override { return width; }
    std::string heightText() const override { return height; }
    bool autoSize() const override { return autoSizeOn; }
    bool stretch() const override { return stretchOn; }
    bool transparent() const override { return transparentOn; }
    bool smooth() const override { return smoothOn; }
    bool dither() const override { return ditherOn; }
    bool keepProportions() const override { return keepProportionsOn; }
};

// What `options` answers now, kept as plain values.
inline FrameOptionValues valuesOf(const FrameOptions& options)
{
    FrameOptionValues values;
    values.width = options.widthText();
    values.height = options.heightText();
    values.autoSizeOn = options.autoSize();
    values.stretchOn = options.stretch();
    values.transparentOn = options.transparent();
    values.smoothOn = options.smooth();
    values.ditherOn = options.dither();
    values.keepProportionsOn = options.keepProportions();
    return values;
}

}  // namespace abm
