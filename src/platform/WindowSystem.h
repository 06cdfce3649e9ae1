#pragma once

#include <cstdint>
#include <functional>

class QObject;
class QRegion;
class QWindow;

namespace zorv
{

// What Zorv's own floating windows need from the window system beyond Qt:
// whether translucency works, who has the focus, and workspace membership.
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
};

} // namespace zorv
