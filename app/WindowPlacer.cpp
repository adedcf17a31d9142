#include "WindowPlacer.h"

#include "settings/ScreenFit.h"

#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdint>

namespace abm {

namespace {

QRect toQRect(const Rect& r)
{
    return QRect(QPoint(r.left, r.top), QSize(r.right - r.left, r.bottom - r.top));
}

Rect toTRect(const QRect& r)
{
    return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
}

// The part of the screen a window may use (without panels): of the screen
// that holds the rectangle's centre, else of the primary one.
std::optional<Rect> availableArea(const Rect& outer)
{
    const QPoint centre(static_cast<int>((int64_t{outer.left} + outer.right) / 2),
                        static_cast<int>((int64_t{outer.top} + outer.bottom) / 2));
    const QScreen* screen = QGuiApplication::screenAt(centre);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    return toTRect(screen->availableGeometry());
}

}  // namespace

WindowPlacer::WindowPlacer(QMainWindow& window) : window_(window)
{
}

QRect WindowPlacer::outerRect(const QRect& client) const
{
    return client.marginsAdded(frameMargins_);
}

void WindowPlacer::applyOuterRect(const QRect& outer)
{
    window_.move(outer.topLeft());
    window_.resize(std::max(1, outer.width() - frameMargins_.left() - frameMargins_.right()),
                   std::max(1, outer.height() - frameMargins_.top() - frameMargins_.bottom()));
    pendingOuter_ = window_.isVisible() && !frameMargins_.isNull() ? QRect() : outer;
    pendingClient_ = window_.geometry();
}

void WindowPlacer::noteFrameMargins()
{
    if (!window_.isVisible())
        return;
    const QRect frame = window_.frameGeometry();
    const QRect client = window_.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    if (margins.isNull())
        return;
    // A maximised window's frame is not its normal one (a window manager
    // drops the borders), and only the normal one makes normal rectangles.
    // Back in the normal state, the window system tells the state first and
    // the new frame later: until frame or margins change, they are stale.
    if (window_.windowState() != Qt::WindowNoState) {
        specialFrame_ = frame;
        specialMargins_ = margins;
        return;
    }
    if (frame.size() == specialFrame_.size() && margins == specialMargins_)
        return;
    specialFrame_ = QRect();
    frameMargins_ = margins;
    if (maxFollowsFrame_) {
        maxFollowsFrame_ = false;
        maxPosition_ = {-margins.left(), -margins.bottom()};
    }
    if (pendingOuter_.isValid() && window_.windowState() == Qt::WindowNoState) {
        const QRect wanted = pendingOuter_;
        pendingOuter_ = QRect();
        if (frame != wanted)
            applyOuterRect(wanted);
    }
}

bool WindowPlacer::visible() const
{
    return window_.isVisible();
}

bool WindowPlacer::applicationMinimized() const
{
    return window_.isMinimized();
}

bool WindowPlacer::handleAllocated() const
{
    return window_.testAttribute(Qt::WA_WState_Created);
}

WindowPlacement WindowPlacer::placement() const
{
    WindowPlacement placement;
    placement.flags = 0;
    const Qt::WindowStates states = currentStates();
    placement.showCmd = states & Qt::WindowMinimized   ? swShowMinimized
                        : states & Qt::WindowMaximized ? swShowMaximized
                                                       : swShowNormal;
    placement.minPosition = minPosition_;
    placement.maxPosition = maxPosition_;
    const bool special = states & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    QRect normal;
    // Asked for but not framed yet, and not moved since: the asked-for one.
    if (pendingOuter_.isValid() && (special || window_.geometry() == pendingClient_))
        normal = pendingOuter_;
    else if (special && window_.windowState() != Qt::WindowNoState)
        normal = window_.normalGeometry().isValid() ? outerRect(window_.normalGeometry()) : window_.frameGeometry();
    else
        normal = window_.frameGeometry();
    placement.normalPosition = toTRect(normal);
    return placement;
}

void WindowPlacer::setPlacement(const WindowPlacement& placement)
{
    minPosition_ = placement.minPosition;
    // A position made from a frame not known yet keeps the one before (the
    // stored one) until the frame is known.
    maxFollowsFrame_ = frameAsked_ && frameMargins_.isNull();
    frameAsked_ = false;
    if (!maxFollowsFrame_)
        maxPosition_ = placement.maxPosition;
    // Every restore ends here, the first run's too, before the window is
    // sized or painted: a rectangle that does not fit the screen is made to
    // fit and moved to where it can be reached, and that is what is saved.
    const std::optional<Rect> area = availableArea(placement.normalPosition);
    const QRect outer = toQRect(area ? fitInside(placement.normalPosition, *area) : placement.normalPosition);
    const Qt::WindowStates state = currentStates();
    const Qt::WindowStates special = Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen;
    if ((state & special) && window_.isVisible()) {
        // Qt keeps the normal rectangle of a maximised window to itself:
        // the window goes back to normal for the move and returns.
        applyStates(state & ~special);
        applyOuterRect(outer);
        applyStates(state);
    } else {
        applyOuterRect(outer);
    }
    switch (placement.showCmd) {
    case swShowNormal:
        setPlacementState(WindowState::normal);
        window_.show();
        break;
    case swShowMinimized:
        setPlacementState(WindowState::minimized);
        window_.show();
        break;
    case swShowMaximized:
        setPlacementState(WindowState::maximized);
        window_.show();
        break;
    default: break;
    }
}

Rect WindowPlacer::boundsRect() const
{
    return toTRect(window_.frameGeometry());
}

Size WindowPlacer::screenSize() const
{
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary)
        return {};
    const QSize size = primary->size();
    const qreal ratio = primary->devicePixelRatio();
    return {qRound(size.width() * ratio), qRound(size.height() * ratio)};
}

int WindowPlacer::pixelsPerInch() const
{
    const QScreen* current = window_.screen();
    return current ? qRound(current->logicalDotsPerInch()) : 96;
}

Size WindowPlacer::frameMetrics() const
{
    frameAsked_ = true;
    return {frameMargins_.left(), frameMargins_.bottom()};
}

WindowState WindowPlacer::placementState() const
{
    const Qt::WindowStates states = currentStates();
    if (states & Qt::WindowMinimized)
        return WindowState::minimized;
    if (states & Qt::WindowMaximized)
        return WindowState::maximized;
    return WindowState::normal;
}

void WindowPlacer::setPlacementState(WindowState state)
{
    Qt::WindowStates states = currentStates() & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen);
    if (state == WindowState::minimized)
        states |= Qt::WindowMinimized;
    else if (state == WindowState::maximized)
        states |= Qt::WindowMaximized;
    applyStates(states);
}

Qt::WindowStates WindowPlacer::currentStates() const
{
    return !window_.isVisible() && hiddenStates_ ? *hiddenStates_ : window_.windowState();
}

void WindowPlacer::applyStates(Qt::WindowStates states)
{
    // A hidden window only notes its state: switching a hidden window back
    // and forth leaves the window system answering late and out of order.
    if (!window_.isVisible()) {
        hiddenStates_ = states;
        return;
    }
    window_.setWindowState(states);
}

void WindowPlacer::applyHiddenStates()
{
    if (!hiddenStates_)
        return;
    const Qt::WindowStates states = *hiddenStates_;
    hiddenStates_.reset();
    if (states == window_.windowState())
        return;
    // A hidden window's rectangle reaches the window system only when it is
    // shown; the system must have it before the window leaves the normal
    // state, as that is what it gives back when the window returns to it.
    if (window_.windowState() == Qt::WindowNoState && (states & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        const QRect outer = pendingOuter_.isValid() ? pendingOuter_ : window_.frameGeometry();
        window_.winId();  // creates the window system's window
        window_.windowHandle()->setFramePosition(outer.topLeft());
        window_.windowHandle()->resize(window_.size());
    }
    window_.setWindowState(states);
}

void WindowPlacer::minimizeApplication()
{
    QTimer::singleShot(0, &window_, [this] { window_.setWindowState(window_.windowState() | Qt::WindowMinimized); });
}

}  // namespace abm
