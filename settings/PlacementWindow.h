#pragma once

// What the placement store needs of a top-level window. The Qt main window
// implements it; the tests use a scripted window.

#include "base/Rect.h"

#include <functional>
#include <string>

namespace abm {

struct TPoint {
    int x = 0, y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
    int width = 0, height = 0;
    friend bool operator==(const TSize&, const TSize&) = default;
};

// Show commands of the placement record, as they are stored under "ShowCmd".
constexpr int swHide = 0;
constexpr int swShowNormal = 1;
constexpr int swShowMinimized = 2;
constexpr int swShowMaximized = 3;

struct TWindowPlacement {
    int flags = 0;
    int showCmd = swShowNormal;
    TPoint minPosition{-1, -1};
    TPoint maxPosition{-1, -1};
    TRect normalPosition;  // outer rectangle while shown normal; right and bottom exclusive
    friend bool operator==(const TWindowPlacement&, const TWindowPlacement&) = default;
};

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// The window's handlers for the three events the store hooks. The window
// calls each one that is set: OnShow before it first appears, OnCloseQuery
// when asked to close (closing goes on only if canClose stays true),
// OnDestroy when it is being destroyed.
struct TFormEvents {
    std::function<void()> onShow;
    std::function<void(bool& canClose)> onCloseQuery;
    std::function<void()> onDestroy;
};

class IPlacementWindow {
public:
    virtual ~IPlacementWindow() = default;

    // Names the settings section ("TMForm").
    virtual std::string className() const = 0;
    // Must outlive the store attached to them.
    virtual TFormEvents& windowEvents() = 0;
    // The window system's window exists.
    virtual bool handleAllocated() const = 0;

    virtual TWindowPlacement placement() const = 0;
    // Moves and sizes the normal rectangle and keeps the two positions; a
    // show command other than swHide also sets the state, swHide leaves the
    // state and visibility alone. The window may keep the rectangle within
    // what the window system allows.
    virtual void setPlacement(const TWindowPlacement& placement) = 0;

    virtual bool visible() const = 0;
    // The current outer rectangle.
    virtual TRect boundsRect() const = 0;
    virtual bool sizeableBorder() const = 0;
    // The primary screen in pixels, and its logical pixels per inch.
    virtual TSize screenSize() const = 0;
    virtual int pixelsPerInch() const = 0;
    // Thickness of the window frame for the window's border style (the
    // sizing frame for a sizeable one), horizontally and vertically.
    virtual TSize frameMetrics() const = 0;

    virtual TWindowState placementState() const = 0;
    virtual void setPlacementState(TWindowState state) = 0;

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
