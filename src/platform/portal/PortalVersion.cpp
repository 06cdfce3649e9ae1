#include "platform/portal/PortalVersion.h"

#include "platform/portal/PortalRequest.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>

namespace zorv
{

namespace
{
// What the user loses without the interface.
QString purpose(PortalInterface which)
{
    switch (which) {
    case PortalInterface::Screenshot:
        return QStringLiteral("screenshots without a dialog");
    case PortalInterface::ScreenCast:
        return QStringLiteral("screen capture that remembers the chosen screens");
    case PortalInterface::GlobalShortcuts:
        return QStringLiteral("global shortcuts");
    }
    return {};
}
} // namespace

QString portalInterfaceName(PortalInterface which)
{
    switch (which) {
    case PortalInterface::Screenshot:
        return QStringLiteral("org.freedesktop.portal.Screenshot");
    case PortalInterface::ScreenCast:
        return QStringLiteral("org.freedesktop.portal.ScreenCast");
    case PortalInterface::GlobalShortcuts:
        return QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
    }
    return {};
}

uint portalNeededVersion(PortalInterface which)
{
    switch (which) {
    case PortalInterface::Screenshot:
        return 2;
    case PortalInterface::ScreenCast:
        return 4;
    case PortalInterface::GlobalShortcuts:
        return 1;
    }
    return 1;
}

std::optional<QString> portalVersionProblem(PortalInterface which, std::optional<uint> found)
{
    const uint needed = portalNeededVersion(which);
    if (!found || *found == 0)
        return QStringLiteral("This desktop's portal does not offer %1 (%2 is missing).")
            .arg(purpose(which), portalInterfaceName(which));
    if (*found < needed)
        return QStringLiteral("This desktop's portal is too old for %1: %2 is version %3, "
                              "Zorv needs version %4 or newer.")
            .arg(purpose(which), portalInterfaceName(which))
            .arg(*found)
            .arg(needed);
    return std::nullopt;
}

void checkPortalVersion(QDBusConnection bus, const QString &service, PortalInterface which,
                        int timeoutMs, QObject *context,
                        std::function<void(std::optional<QString> problem)> answer)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        service, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << portalInterfaceName(which) << QStringLiteral("version");
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(get, timeoutMs), context);
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, context,
        [which, answer = std::move(answer)](QDBusPendingCallWatcher *finished) {
            finished->deleteLater();
            const QDBusMessage reply = finished->reply();
            if (reply.type() == QDBusMessage::ErrorMessage) {
                // An unknown interface or property means the portal lacks it; anything else
                // means the portal itself could not be asked.
                const QString error = reply.errorName();
                if (error == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs") ||
                    error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
                    error == QLatin1String("org.freedesktop.DBus.Error.UnknownProperty")) {
                    answer(portalVersionProblem(which, std::nullopt));
                    return;
                }
                answer(QStringLiteral("The desktop portal cannot be asked for %1: %2")
                           .arg(portalInterfaceName(which),
                                portalErrorOutcome(error, reply.errorMessage()).message));
                return;
            }
            const QVariant value =
                reply.arguments().isEmpty()
                    ? QVariant()
                    : qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
            bool ok = false;
            const uint version = value.toUInt(&ok);
            answer(portalVersionProblem(which, ok ? std::optional<uint>(version) : std::nullopt));
        });
}

} // namespace zorv
