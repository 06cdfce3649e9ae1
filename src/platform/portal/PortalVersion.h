#pragma once

#include <QDBusConnection>
#include <QString>
#include <functional>
#include <optional>

class QObject;

namespace zorv
{

// The portal interfaces Zorv uses.
enum class PortalInterface { Screenshot, ScreenCast, GlobalShortcuts };

// "org.freedesktop.portal.Screenshot" and so on.
QString portalInterfaceName(PortalInterface which);
// The oldest version with what Zorv relies on: the non-interactive screenshot (2), restore
// tokens with persist_mode (4), shortcut binding (1).
uint portalNeededVersion(PortalInterface which);
// Why the interface cannot be used, in plain words, or nullopt when `found` is enough.
// `found` is nullopt when the portal does not offer the interface at all.
std::optional<QString> portalVersionProblem(PortalInterface which, std::optional<uint> found);

// Reads the interface's `version` property without blocking and calls `answer` within
// `context` with the problem, if any: also when the portal is not running or does not answer
// within `timeoutMs`.
void checkPortalVersion(QDBusConnection bus, const QString &service, PortalInterface which,
                        int timeoutMs, QObject *context,
                        std::function<void(std::optional<QString> problem)> answer);

} // namespace zorv
