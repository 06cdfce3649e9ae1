#include "platform/wayland/WaylandWindowSystem.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>

namespace zorv
{

void WaylandWindowSystem::watchTray(QObject *context, std::function<void()> changed)
{
    if (!context)
        return;
    auto *watcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                            QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForOwnerChange, context);
    QObject::connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, context,
                     [changed = std::move(changed)] { changed(); });
}

} // namespace zorv
