#pragma once

// Controls placed at designed pixel positions, grown to the font they are
// drawn in. The designed rectangles assume a narrow 8-point bitmap font;
// the desktop's fonts are wider and may be scaled, so every control with a
// text gets at least the size its text needs, the controls right of or
// below a grown one move on by as much, and the container grows to hold
// them. The designed positions and sizes stay the minimum.

class QWidget;

namespace abm {

// A line edit shows its current text; one that must show a wider text (a
// number field's largest number) names it in this property.
inline constexpr const char* kWidestTextProperty = "abmWidestText";

// Fits every absolutely placed control inside `container`, at any depth, and
// `container` itself. Children of a widget that has a layout are left to it.
void fitToText(QWidget* container);

}  // namespace abm
