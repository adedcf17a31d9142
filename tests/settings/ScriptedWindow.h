#pragma once

// A top-level window as the placement store sees it, played by a script:
// a normal rectangle, a state, visibility and the screen it is on.

#include "settings/WindowPlacementStore.h"

#include <functional>
#include <stdexcept>
#include <vector>

namespace abm::test {

class ScriptedWindow : public PlacementWindow {
public:
    // The main window as designed: 602, 479, 542 × 381 on 1024 × 768 at 96 ppi.
    Rect normal = Rect(602, 479, 1144, 860);
    WindowState state = WindowState::normal;
    int flags = 0;
    Point minPosition{-1, -1};
    Point maxPosition{-1, -1};
    bool isShown = false;
    bool sizeable = true;
    Size screen{1024, 768};
    int dpi = 96;
    Size frame{4, 4};
    bool mainForm = true;
    bool appMinimized = false;
    int minimizeRequests = 0;
    bool isCentered = false;
    bool hasHandle = true;
    bool refusePlacement = false;  // setPlacement raises, as a failing window system would
    // The store the window calls as the main window does, and the window's
    // own work around those calls.
    WindowPlacementStore* store = nullptr;
    std::function<void()> onShow;
    std::function<bool()> canClose;
    std::function<void()> onDestroy;
    std::vector<WindowPlacement> applied;  // every setPlacement, in order

    bool handleAllocated() const override { return hasHandle; }

    WindowPlacement placement() const override
    {
        WindowPlacement p;
        p.flags = flags;
        p.showCmd = state == WindowState::maximized   ? swShowMaximized
                    : state == WindowState::minimized ? swShowMinimized
                                                      : swShowNormal;
        p.minPosition = minPosition;
        p.maxPosition = maxPosition;
        p.normalPosition = normal;
        return p;
    }

    void setPlacement(const WindowPlacement& p) override
    {
        if (refusePlacement)
            throw std::runtime_error("placement refused");
        applied.push_back(p);
        flags = p.flags;
        minPosition = p.minPosition;
        maxPosition = p.maxPosition;
        normal = p.normalPosition;
        if (p.showCmd == swShowNormal)
            state = WindowState::normal;
        else if (p.showCmd == swShowMinimized)
            state = WindowState::minimized;
        else if (p.showCmd == swShowMaximized)
            state = WindowState::maximized;
        if (p.showCmd != swHide)
            isShown = true;
    }

    bool visible() const override { return isShown; }
    Rect boundsRect() const override
    {
        if (state == WindowState::maximized)
            return Rect(-frame.width, -frame.height, screen.width + frame.width, screen.height + frame.height);
        return normal;
    }
    bool sizeableBorder() const override { return sizeable; }
    Size screenSize() const override { return screen; }
    int pixelsPerInch() const override { return dpi; }
    Size frameMetrics() const override { return frame; }
    WindowState placementState() const override { return state; }
    void setPlacementState(WindowState s) override { state = s; }
    bool isMainWindow() const override { return mainForm; }
    bool applicationMinimized() const override { return appMinimized; }
    void minimizeApplication() override
    {
        ++minimizeRequests;
        appMinimized = true;
    }
    bool centered() const override { return isCentered; }
    void clearCentered() override { isCentered = false; }

    void show()
    {
        if (store)
            store->restoreOnShow();
        if (onShow)
            onShow();
        isShown = true;
    }
    bool close()
    {
        if (canClose && !canClose())
            return false;
        if (store)
            store->saveOnClose();
        isShown = false;
        return true;
    }
    void destroy()
    {
        if (store)
            store->saveOnDestroy();
        if (onDestroy)
            onDestroy();
    }
};

}  // namespace abm::test
