#include "ScreenFit.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace abm {

namespace {

// One axis: the new start of a span [start, end) inside [low, high). In 64
// bits, as stored rectangles may reach the ends of the int range.
int64_t MovedStart(int64_t start, int64_t end, int64_t low, int64_t high)
{
    const int64_t length = end - start;
    if (end > high)
        start = high - length;
    return std::max(start, low);
}

int Saturated(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

}  // namespace

TRect MoveInside(const TRect& window, const TRect& area)
{
    const int64_t left = MovedStart(window.Left, window.Right, area.Left, area.Right);
    const int64_t top = MovedStart(window.Top, window.Bottom, area.Top, area.Bottom);
    return Rect(Saturated(left), Saturated(top), Saturated(left + (int64_t{window.Right} - window.Left)),
                Saturated(top + (int64_t{window.Bottom} - window.Top)));
}

}  // namespace abm
