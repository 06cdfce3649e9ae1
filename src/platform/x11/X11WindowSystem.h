#pragma once

#include "platform/WindowSystem.h"

namespace zorv
{

// EWMH window-manager conversation over Qt's X connection. Without an X
// connection it reports a compositing desktop with no known active window.
class X11WindowSystem : public WindowSystem
{
  public:
    bool compositingActive() override;
    uint32_t activeWindow() override;
    void activateWindow(uint32_t id) override;
    void setOnAllWorkspaces(QWindow *window) override;
    void setBlurBehind(QWindow *window, const QRegion &region) override;
    void watchTray(QObject *context, std::function<void()> changed) override;
};

} // namespace zorv
