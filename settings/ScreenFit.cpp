#include "ScreenFit.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace abm {

namespace {

// One axis: the new start of a span [start, end) inside [low, high). In 64
// bits, as stored rectangles may reach the ends of the int range.
int64_t movedStart(int64_t start, int64_t end, int64_t low, int64_t high)
{
    const int64_t length = end - start;
    if (end > high)
        start = high - length;
    return std::max(start, low);
}

int saturated(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

Rect moveInside(const Rect& window, const Rect& area)
{
    const int64_t left = movedStart(window.left, window.right, area.left, area.right);
    const int64_t top = movedStart(window.top, window.bottom, area.top, area.bottom);
    return Rect(saturated(left), saturated(top), saturated(left + (int64_t{window.right} - window.left)),
                saturated(top + (int64_t{window.bottom} - window.top)));
}

}  // namespace abm
