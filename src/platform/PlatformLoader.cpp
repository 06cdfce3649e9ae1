#include "platform/Platform.h"
#include "platform/fake/FakePlatform.h"
#include "platform/x11/X11Platform.h"

#include <QGuiApplication>

namespace zorv
{

namespace
{
std::unique_ptr<Platform> &slot()
{
    static std::unique_ptr<Platform> platform;
    return platform;
}

std::unique_ptr<Platform> load()
{
    const QByteArray forced = qgetenv("ZORV_PLATFORM");
    if (forced == "fake" || QGuiApplication::platformName() == QLatin1String("offscreen"))
        return std::make_unique<FakePlatform>();
    return makeX11Platform();
}
} // namespace

Platform &Platform::shared()
{
    if (!slot())
        slot() = load();
    return *slot();
}

void Platform::install(std::unique_ptr<Platform> platform)
{
    slot() = std::move(platform);
}

} // namespace zorv
