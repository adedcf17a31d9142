#pragma once

// Where a window may stand: a rectangle restored from the settings, or the
// designed one of the first run, can lie partly off a smaller screen, with
// the title bar or the status bar out of reach.

#include "base/Rect.h"

namespace abm {

// `window` (an outer rectangle) moved, at the same size, so that it lies
// inside `area` (the screen's available part, without panels); unchanged
// where it already does. A window larger than the area keeps its top-left
// corner in it, so that the title bar stays within reach.
Rect moveInside(const Rect& window, const Rect& area);

}  // namespace abm
