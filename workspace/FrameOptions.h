#pragma once

// The five frame options as the logic reads them, at the moment it needs
// them. The options dialog answers from its controls; tests and abmtool
// from plain values.

#include <string>

namespace abm {

class IFrameOptions {
public:
    virtual ~IFrameOptions() = default;
    // Texts of the two size fields; converted only where they are used.
    virtual std::string widthText() const = 0;
    virtual std::string heightText() const = 0;
    virtual bool AutoSize() const = 0;     // autoSizeBox
    virtual bool Stretch() const = 0;      // stretchBox
    virtual bool Transparent() const = 0;  // transparentBox
};

// Options held as plain values, starting at the dialog's defaults.
class TFrameOptionValues : public IFrameOptions {
public:
    std::string Width = "128";
    std::string Height = "97";
    bool AutoSizeOn = true;
    bool StretchOn = false;
    bool TransparentOn = false;

    std::string widthText() const override { return Width; }
    std::string heightText() const override { return Height; }
    bool AutoSize() const override { return AutoSizeOn; }
    bool Stretch() const override { return StretchOn; }
    bool Transparent() const override { return TransparentOn; }
};

}  // namespace abm
