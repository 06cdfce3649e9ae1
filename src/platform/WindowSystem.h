#pragma once

#include <QPointF>
#include <cstdint>
#include <functional>
#include <optional>

class QObject;
class QRegion;
class QScreen;
class QWindow;

namespace zorv
{

// What Zorv's own floating windows need from the window system beyond Qt:
// whether translucency works, who has the focus, workspace membership, and where the user is.
class WindowSystem
{
  public:
    virtual ~WindowSystem() = default;

    // True when a compositing manager shows translucent windows as such.
    virtual bool compositingActive() = 0;
    // The window the user is working in (0 when none or unknown).
    virtual uint32_t activeWindow() = 0;
    // Gives the focus back to a window found by activeWindow(); a window that
    // has gone away is ignored.
    virtual void activateWindow(uint32_t id) = 0;
    // Shows a (mapped) window on every workspace.
    virtual void setOnAllWorkspaces(QWindow *window) = 0;
    // Asks the compositor to blur what lies behind `region` of the window
    // (logical coordinates), where it offers that; an empty region removes it.
    virtual void setBlurBehind(QWindow *window, const QRegion &region) = 0;
    // Calls `changed` whenever a system tray appears or goes away, for as
    // long as `context` lives.
    virtual void watchTray(QObject *context, std::function<void()> changed) = 0;

    // Where the pointer is, in global logical coordinates; nullopt where the window system
    // keeps it to itself (Wayland).
    virtual std::optional<QPointF> pointerPosition();
    // The screen the user works on: the one under the pointer (the primary screen when the
    // pointer is on none) where the pointer is known, otherwise see the backend.
    virtual QScreen *pointerScreen();
    // pointerPosition(), else the centre of pointerScreen().
    QPointF pointerOrScreenCentre();
    // Hands a drag of `window` that a press just began to the compositor, which moves the
    // window with the pointer. False where windows move themselves (the caller then follows
    // the pointer): only where windows cannot place themselves is this needed.
    virtual bool startSystemMove(QWindow *window)
    {
        (void)window;
        return false;
    }
};

} // namespace zorv
