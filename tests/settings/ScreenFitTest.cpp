#include "settings/ScreenFit.h"

#include <gtest/gtest.h>

#include <climits>

using namespace abm;

namespace {

// Outer rectangles as left, top, width, height.
Rect box(int left, int top, int width, int height)
{
    return Rect(left, top, left + width, top + height);
}

}  // namespace

TEST(ScreenFit, WindowIsMadeToFitTheAvailableAreaAndMovedInside)
{
    const Rect screen1024 = box(0, 0, 1024, 768);
    const Rect withPanel = box(0, 32, 1366, 736);  // 1366 × 768 with a panel along the top
    struct Case {
        const char* what;
        Rect window, area, expected;
    };
    const Case cases[] = {
        {"designed rectangle on 1024 × 768", box(602, 479, 542, 381), screen1024, box(482, 387, 542, 381)},
        {"designed rectangle on 1366 × 768 below a panel", box(602, 479, 542, 381), withPanel, box(602, 387, 542, 381)},
        {"designed rectangle where it fits", box(602, 479, 542, 381), box(0, 0, 1280, 1024), box(602, 479, 542, 381)},
        {"touching the edges", box(482, 387, 542, 381), screen1024, box(482, 387, 542, 381)},
        {"above and left of the screen", box(-300, -50, 542, 381), screen1024, box(0, 0, 542, 381)},
        {"under the panel", box(100, 0, 542, 381), withPanel, box(100, 32, 542, 381)},
        {"larger than the screen becomes the screen", box(300, 200, 1500, 900), screen1024, screen1024},
        {"wider than the panelled screen", box(-20, 100, 2000, 300), withPanel, box(0, 100, 1366, 300)},
        {"the largest size the file can hold", Rect(0, 0, INT_MAX, INT_MAX), screen1024, screen1024},
        {"from one end of the int range to the other", Rect(INT_MIN, 0, INT_MAX, 10), screen1024, box(0, 0, 1024, 10)},
        {"far off at the ends of the int range", Rect(INT_MAX - 100, INT_MIN, INT_MAX, INT_MIN + 50), screen1024,
         box(924, 0, 100, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(fitInside(c.window, c.area), c.expected);
    }
}
