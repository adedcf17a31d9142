#pragma once

// A top-level window as the placement store sees it, played by a script:
// a normal rectangle, a state, visibility and the screen it is on.

#include "settings/PlacementWindow.h"

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
    WindowEvents events;
    std::vector<WindowPlacement> applied;  // every setPlacement, in order

    std::string className() const override { return "TMForm"; }
    WindowEvents& windowEvents() override { return events; }
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

    // What the toolkit does around the hooks.
    void show()
    {
        if (events.onShow)
            events.onShow();
        isShown = true;
    }
    bool close()
    {
        bool canClose = true;
        if (events.onCloseQuery)
            events.onCloseQuery(canClose);
        if (canClose)
            isShown = false;
        return canClose;
    }
    void destroy()
    {
        if (events.onDestroy)
            events.onDestroy();
    }
};

}  // namespace abm::test
