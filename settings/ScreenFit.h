#pragma once

// Where a window may stand: a rectangle restored from the settings, or the
// designed one of the first run, can lie partly off a smaller screen, with
// the title bar or the status bar out of reach, or be larger than any screen
// (a hand-edited or damaged settings file), which would cost its pixels.

#include "base/Rect.h"

namespace abm {

// `window` (an outer rectangle) made at most as large as `area` (the
// screen's available part, without panels) and moved inside it; unchanged
// where it already fits. Rectangles from anywhere in the int range come out
// inside the area, so the title bar is always within reach.
Rect fitInside(const Rect& window, const Rect& area);

}  // namespace abm
