#pragma once

// What the placement store needs of a top-level window. The Qt main window
// has one (WindowPlacer); the tests use a scripted window.

#include "base/Rect.h"

namespace abm {

struct Point {
    int x = 0, y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0, height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// Show commands of the placement record, as they are stored under "ShowCmd".
constexpr int swHide = 0;
constexpr int swShowNormal = 1;
constexpr int swShowMinimized = 2;
constexpr int swShowMaximized = 3;

struct WindowPlacement {
    int flags = 0;
    int showCmd = swShowNormal;
    Point minPosition{-1, -1};
    Point maxPosition{-1, -1};
    Rect normalPosition;  // outer rectangle while shown normal; right and bottom exclusive
    friend bool operator==(const WindowPlacement&, const WindowPlacement&) = default;
};

enum class WindowState { normal, minimized, maximized };

class PlacementWindow {
public:
    virtual ~PlacementWindow() = default;

    // The window system's window exists.
    virtual bool handleAllocated() const = 0;

    virtual WindowPlacement placement() const = 0;
    // Moves and sizes the normal rectangle and keeps the two positions; a
    // show command other than swHide also sets the state, swHide leaves the
    // state and visibility alone. The window may keep the rectangle within
    // what the window system allows.
    virtual void setPlacement(const WindowPlacement& placement) = 0;

    virtual bool visible() const = 0;
    // The current outer rectangle.
    virtual Rect boundsRect() const = 0;
    virtual bool sizeableBorder() const = 0;
    // The primary screen in pixels, and its logical pixels per inch.
    virtual Size screenSize() const = 0;
    virtual int pixelsPerInch() const = 0;
    // Thickness of the window frame for the window's border style (the
    // sizing frame for a sizeable one), horizontally and vertically.
    virtual Size frameMetrics() const = 0;

    virtual WindowState placementState() const = 0;
    virtual void setPlacementState(WindowState state) = 0;

    // The window is the application's main window.
    virtual bool isMainWindow() const = 0;
    virtual bool applicationMinimized() const = 0;
    // Asks the application to minimise itself, after the current event.
    virtual void minimizeApplication() = 0;

    // The window places itself in the middle of the screen when shown.
    virtual bool centered() const = 0;
    virtual void clearCentered() = 0;
};

}  // namespace abm
