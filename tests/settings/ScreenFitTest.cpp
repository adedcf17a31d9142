#include "settings/ScreenFit.h"

#include <gtest/gtest.h>

#include <climits>

using namespace abm;

namespace {

// Outer rectangles as left, top, width, height.
TRect Box(int left, int top, int width, int height)
{
    return Rect(left, top, left + width, top + height);
}

}  // namespace

TEST(ScreenFit, WindowIsMovedAtItsSizeIntoTheAvailableArea)
{
    const TRect screen1024 = Box(0, 0, 1024, 768);
    const TRect withPanel = Box(0, 32, 1366, 736);  // 1366 × 768 with a panel along the top
    struct Case {
        const char* what;
        TRect window, area, expected;
    };
    const Case cases[] = {
        {"designed rectangle on 1024 × 768", Box(602, 479, 542, 381), screen1024, Box(482, 387, 542, 381)},
        {"designed rectangle on 1366 × 768 below a panel", Box(602, 479, 542, 381), withPanel,
         Box(602, 387, 542, 381)},
        {"designed rectangle where it fits", Box(602, 479, 542, 381), Box(0, 0, 1280, 1024), Box(602, 479, 542, 381)},
        {"touching the edges", Box(482, 387, 542, 381), screen1024, Box(482, 387, 542, 381)},
        {"above and left of the screen", Box(-300, -50, 542, 381), screen1024, Box(0, 0, 542, 381)},
        {"under the panel", Box(100, 0, 542, 381), withPanel, Box(100, 32, 542, 381)},
        {"larger than the screen keeps its top-left corner on it", Box(300, 200, 1500, 900), screen1024,
         Box(0, 0, 1500, 900)},
        {"far off at the ends of the int range", Rect(INT_MAX - 100, INT_MIN, INT_MAX, INT_MIN + 50), screen1024,
         Box(924, 0, 100, 50)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(MoveInside(c.window, c.area), c.expected);
    }
}
