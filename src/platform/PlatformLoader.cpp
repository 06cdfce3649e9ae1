#include "platform/PlatformLoader.h"

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
    if (!forced.isEmpty() && forced != "x11") {
        return {QString::fromLocal8Bit(forced),
                {},
                QStringLiteral("zorv: unknown platform backend '%1' in ZORV_PLATFORM (this "
                               "build has: x11).")
                    .arg(QString::fromLocal8Bit(forced))};
    }
    // X11 is the one backend so far; a Wayland session reaches it through XWayland.
    return {QStringLiteral("x11"), x11::capabilities(), std::nullopt};
}

Choice prepare()
{
    Choice choice = choose();
    if (!choice.problem)
        choice.problem = x11::sessionProblem();
    return choice;
}

Expected<std::unique_ptr<Platform>, QString> load(const Choice &choice)
{
    if (choice.problem)
        return *choice.problem;
    return x11::makePlatform();
}

} // namespace PlatformLoader
} // namespace zorv
