#pragma once

// The main window as the placement store sees it. The store keeps outer
// rectangles, frame included, and window states that may be asked for while
// the window is hidden; Qt sizes the client area and tells the frame only
// once the window is shown, so the placer adds the frame, remembers what was
// asked for and applies it again once the frame is known.

#include "settings/PlacementWindow.h"

#include <QMargins>
#include <QRect>

#include <optional>

class QMainWindow;

namespace abm {

class WindowPlacer : public PlacementWindow {
public:
    explicit WindowPlacer(QMainWindow& window);

    // Moves and sizes the window by its outer rectangle.
    void applyOuterRect(const QRect& outer);
    // The window's move, resize, show, activation and state changes come
    // here: the frame may be known now.
    void noteFrameMargins();
    // Just before a hidden window shows: the state asked for meanwhile.
    void applyHiddenStates();

    bool handleAllocated() const override;
    WindowPlacement placement() const override;
    void setPlacement(const WindowPlacement& placement) override;
    bool visible() const override;
    Rect boundsRect() const override;
    bool sizeableBorder() const override { return true; }
    Size screenSize() const override;
    int pixelsPerInch() const override;
    Size frameMetrics() const override;
    WindowState placementState() const override;
    void setPlacementState(WindowState state) override;
    bool isMainWindow() const override { return true; }
    bool applicationMinimized() const override;
    void minimizeApplication() override;
    bool centered() const override { return false; }
    void clearCentered() override {}

private:
    Qt::WindowStates currentStates() const;
    void applyStates(Qt::WindowStates states);
    QRect outerRect(const QRect& client) const;

    QMainWindow& window_;
    Point minPosition_{-1, -1};
    Point maxPosition_{-1, -1};
    QMargins frameMargins_;  // of the normal state, once shown so
    // The maximised position sits just off the screen by the frame: asked
    // for before the frame was known, it is set once it is.
    mutable bool frameAsked_ = false;
    bool maxFollowsFrame_ = false;
    // The frame last seen in a maximised, minimised or full-screen state.
    QRect specialFrame_;
    QMargins specialMargins_;
    // The outer rectangle asked for before the window manager framed the
    // window; applied again once the frame is known.
    QRect pendingOuter_;
    QRect pendingClient_;  // where that put the client area
    // The state a hidden window takes when it is shown.
    std::optional<Qt::WindowStates> hiddenStates_;
};

}  // namespace abm
