#pragma once

#include "platform/WindowSystem.h"

namespace zorv
{

// What a Wayland client may know and ask of the compositor. Every Wayland desktop composes,
// so translucency always works; other clients' windows, workspaces and the focus are the
// compositor's own business.
class WaylandWindowSystem : public WindowSystem
{
  public:
    bool compositingActive() override { return true; }
    // Other clients' windows cannot be named on Wayland.
    uint32_t activeWindow() override { return 0; }
    void activateWindow(uint32_t) override {}
    void setOnAllWorkspaces(QWindow *) override {}
    void setBlurBehind(QWindow *, const QRegion &) override {}
    // The tray of a Wayland desktop is a StatusNotifierItem host: watches its D-Bus name.
    void watchTray(QObject *context, std::function<void()> changed) override;
};

} // namespace zorv
