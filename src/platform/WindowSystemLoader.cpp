#include "platform/WindowSystem.h"
#include "platform/fake/FakeWindowSystem.h"
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>

namespace zorv
{

namespace
{
std::unique_ptr<WindowSystem> &slot()
{
    static std::unique_ptr<WindowSystem> windowSystem;
    return windowSystem;
}
} // namespace

WindowSystem &WindowSystem::shared()
{
    if (!slot()) {
        // The same choice as the platform backend's.
        if (qgetenv("ZORV_PLATFORM") == "fake" ||
            QGuiApplication::platformName() == QLatin1String("offscreen"))
            slot() = std::make_unique<FakeWindowSystem>();
        else
            slot() = std::make_unique<X11WindowSystem>();
    }
    return *slot();
}

void WindowSystem::install(std::unique_ptr<WindowSystem> windowSystem)
{
    slot() = std::move(windowSystem);
}

} // namespace zorv
