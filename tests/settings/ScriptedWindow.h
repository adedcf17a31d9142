#pragma once

// A top-level window as the placement store sees it, played by a script:
// a normal rectangle, a state, visibility and the screen it is on.

#include "settings/PlacementWindow.h"

#include <stdexcept>
#include <vector>

namespace abm::test {

class ScriptedWindow : public IPlacementWindow {
public:
    // The main window as designed: 602, 479, 542 × 381 on 1024 × 768 at 96 ppi.
    TRect normal = Rect(602, 479, 1144, 860);
    TWindowState state = TWindowState::wsNormal;
    int flags = 0;
    TPoint minPosition{-1, -1};
    TPoint maxPosition{-1, -1};
    bool visible = false;
    bool sizeable = true;
    TSize screen{1024, 768};
    int pixelsPerInch = 96;
    TSize frame{4, 4};
    bool mainForm = true;
    bool applicationMinimized = false;
    int minimizeRequests = 0;
    bool centered = false;
    bool handleAllocated = true;
    bool refusePlacement = false;  // setPlacement raises, as a failing window system would
    TFormEvents events;
    std::vector<TWindowPlacement> applied;  // every setPlacement, in order

    std::string ClassName() const override { return "TMForm"; }
    TFormEvents& windowEvents() override { return events; }
    bool HandleAllocated() const override { return handleAllocated; }

    TWindowPlacement placement() const override
    {
        TWindowPlacement p;
        p.Flags = flags;
        p.ShowCmd = state == TWindowState::wsMaximized   ? swShowMaximized
                    : state == TWindowState::wsMinimized ? swShowMinimized
                                                         : swShowNormal;
        p.MinPosition = minPosition;
        p.MaxPosition = maxPosition;
        p.NormalPosition = normal;
        return p;
    }

    void setPlacement(const TWindowPlacement& p) override
    {
        if (refusePlacement)
            throw std::runtime_error("placement refused");
        applied.push_back(p);
        flags = p.Flags;
        minPosition = p.MinPosition;
        maxPosition = p.MaxPosition;
        normal = p.NormalPosition;
        if (p.ShowCmd == swShowNormal)
            state = TWindowState::wsNormal;
        else if (p.ShowCmd == swShowMinimized)
            state = TWindowState::wsMinimized;
        else if (p.ShowCmd == swShowMaximized)
            state = TWindowState::wsMaximized;
        if (p.ShowCmd != swHide)
            visible = true;
    }

    bool Visible() const override { return visible; }
    TRect BoundsRect() const override
    {
        if (state == TWindowState::wsMaximized)
            return Rect(-frame.Width, -frame.Height, screen.Width + frame.Width, screen.Height + frame.Height);
        return normal;
    }
    bool SizeableBorder() const override { return sizeable; }
    TSize ScreenSize() const override { return screen; }
    int PixelsPerInch() const override { return pixelsPerInch; }
    TSize FrameMetrics() const override { return frame; }
    TWindowState placementState() const override { return state; }
    void setPlacementState(TWindowState s) override { state = s; }
    bool isMainWindow() const override { return mainForm; }
    bool ApplicationMinimized() const override { return applicationMinimized; }
    void MinimizeApplication() override
    {
        ++minimizeRequests;
        applicationMinimized = true;
    }
    bool Centered() const override { return centered; }
    void ClearCentered() override { centered = false; }

    // What the toolkit does around the hooks.
    void Show()
    {
        if (events.OnShow)
            events.OnShow();
        visible = true;
    }
    bool Close()
    {
        bool canClose = true;
        if (events.OnCloseQuery)
            events.OnCloseQuery(canClose);
        if (canClose)
            visible = false;
        return canClose;
    }
    void Destroy()
    {
        if (events.OnDestroy)
            events.OnDestroy();
    }
};

}  // namespace abm::test
