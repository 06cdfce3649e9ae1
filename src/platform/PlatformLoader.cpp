#include "platform/PlatformLoader.h"

#include "platform/wayland/WaylandPlatform.h"
#include "platform/x11/X11Platform.h"

namespace zorv
{

namespace
{
std::unique_ptr<Platform> &slot()
{
    static std::unique_ptr<Platform> platform;
    return platform;
}
} // namespace

Platform &Platform::shared()
{
    if (!slot()) {
        auto loaded = PlatformLoader::load(PlatformLoader::choose());
        if (!loaded)
            qFatal("%s", qPrintable(loaded.error()));
        slot() = std::move(loaded.value());
    }
    return *slot();
}

void Platform::install(std::unique_ptr<Platform> platform)
{
    slot() = std::move(platform);
}

namespace PlatformLoader
{

Choice choose()
{
    const QByteArray forced = qgetenv("ZORV_PLATFORM");
    if (forced == "x11")
        return {QStringLiteral("x11"), x11::capabilities(), std::nullopt};
    if (forced == "wayland")
        return {QStringLiteral("wayland"), wayland::capabilities(), std::nullopt};
    if (!forced.isEmpty()) {
        return {QString::fromLocal8Bit(forced),
                {},
                QStringLiteral("zorv: unknown platform backend '%1' in ZORV_PLATFORM (this "
                               "build has: x11, wayland).")
                    .arg(QString::fromLocal8Bit(forced))};
    }
    if (wayland::isWaylandSession())
        return {QStringLiteral("wayland"), wayland::capabilities(), std::nullopt};
    return {QStringLiteral("x11"), x11::capabilities(), std::nullopt};
}

Choice prepare()
{
    Choice choice = choose();
    if (!choice.problem) {
        choice.problem = choice.backend == QLatin1String("wayland") ? wayland::sessionProblem()
                                                                    : x11::sessionProblem();
    }
    return choice;
}

Expected<std::unique_ptr<Platform>, QString> load(const Choice &choice)
{
    if (choice.problem)
        return *choice.problem;
    if (choice.backend == QLatin1String("wayland"))
        return wayland::makePlatform();
    return x11::makePlatform();
}

} // namespace PlatformLoader
} // namespace zorv
