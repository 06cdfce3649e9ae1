#pragma once

#include "platform/WindowSystem.h"

#include <QList>

namespace zorv
{

// A scripted window system for tests.
class FakeWindowSystem : public WindowSystem
{
  public:
    bool compositing = true;
    uint32_t active = 0;
    QList<uint32_t> activated;

    bool compositingActive() override { return compositing; }
    uint32_t activeWindow() override { return active; }
    void activateWindow(uint32_t id) override
    {
        activated.append(id);
        active = id;
    }
    void setOnAllWorkspaces(QWindow *) override {}
    void setBlurBehind(QWindow *, const QRegion &) override { ++blurRequests; }
    void watchTray(QObject *, std::function<void()>) override {}
    int blurRequests = 0;
};

} // namespace zorv
