#include "ScreenFit.h"

#include <algorithm>
#include <cstdint>

namespace abm {

namespace {

// One axis: the new start and length of a span [start, end) inside
// [low, high). In 64 bits, as stored rectangles may reach the ends of the int range.
void fitSpan(int64_t start, int64_t end, int64_t low, int64_t high, int& newStart, int& newLength)
{
    const int64_t length = std::clamp<int64_t>(end - start, 0, std::max<int64_t>(0, high - low));
    if (start + length > high)
        start = high - length;
    newStart = static_cast<int>(std::max(start, low));
    newLength = static_cast<int>(length);
}

}  // namespace

Rect fitInside(const Rect& window, const Rect& area)
{
    int left = 0, top = 0, width = 0, height = 0;
    fitSpan(window.left, window.right, area.left, area.right, left, width);
    fitSpan(window.top, window.bottom, area.top, area.bottom, top, height);
    return Rect(left, top, left + width, top + height);
}

}  // namespace abm
