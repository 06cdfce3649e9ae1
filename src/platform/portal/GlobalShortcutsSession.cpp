#include "platform/portal/GlobalShortcutsSession.h"

#include "platform/portal/ShortcutTrigger.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <algorithm>
#include <atomic>

namespace zorv
{

namespace
{
const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");

struct ShortcutEntry {
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const ShortcutEntry &entry)
{
    argument.beginStructure();
    argument << entry.id << entry.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, ShortcutEntry &entry)
{
    argument.beginStructure();
    argument >> entry.id >> entry.properties;
    argument.endStructure();
    return argument;
}

} // namespace

} // namespace zorv

Q_DECLARE_METATYPE(zorv::ShortcutEntry)

namespace zorv
{

namespace
{
void registerTypes()
{
    static const bool once = [] {
        qDBusRegisterMetaType<ShortcutEntry>();
        qDBusRegisterMetaType<QList<ShortcutEntry>>();
        return true;
    }();
    Q_UNUSED(once);
}
} // namespace

QList<BoundShortcut> parseBoundShortcuts(const QVariant &shortcuts)
{
    QList<BoundShortcut> parsed;
    for (const auto &[id, properties] : portalKeyedEntries<QString>(shortcuts)) {
        if (const auto action = captureAction::fromRawValue(id))
            parsed.append(
                {*action, properties.value(QStringLiteral("trigger_description")).toString()});
    }
    return parsed;
}

GlobalShortcutsSession::GlobalShortcutsSession(QDBusConnection bus, QString service, int timeoutMs,
                                               QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_service(std::move(service)), m_timeoutMs(timeoutMs)
{
    registerTypes();
}

GlobalShortcutsSession::~GlobalShortcutsSession()
{
    endSession();
}

QList<CaptureAction> GlobalShortcutsSession::refused() const
{
    QList<CaptureAction> refused;
    for (auto it = m_wanted.cbegin(); it != m_wanted.cend(); ++it) {
        const bool given = std::any_of(m_bound.cbegin(), m_bound.cend(), [&](const auto &b) {
            return b.action == it.key() && !b.trigger.isEmpty();
        });
        if (!given)
            refused.append(it.key());
    }
    return refused;
}

void GlobalShortcutsSession::bind(const HotKeyMap &hotkeys)
{
    endSession();
    m_wanted = hotkeys;
    request(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), portalToken(QStringLiteral("keys"))}},
            &GlobalShortcutsSession::onCreated);
}

void GlobalShortcutsSession::close()
{
    endSession();
}

void GlobalShortcutsSession::request(const QString &method, const QVariantList &arguments,
                                     const QVariantMap &options,
                                     void (GlobalShortcutsSession::*next)(const PortalOutcome &))
{
    delete m_request;
    m_request = new PortalRequest(m_bus, m_service, this);
    connect(m_request, &PortalRequest::finished, this, [this, next](const PortalOutcome &outcome) {
        m_request->deleteLater();
        m_request = nullptr;
        (this->*next)(outcome);
    });
    m_request->send(shortcutsInterface, method, arguments, options, m_timeoutMs);
}

void GlobalShortcutsSession::onCreated(const PortalOutcome &outcome)
{
    if (!outcome.ok()) {
        fail(outcome);
        return;
    }
    m_session = outcome.sessionHandle();
    if (m_session.isEmpty()) {
        fail({PortalOutcome::Kind::Failed,
              {},
              QStringLiteral("GlobalShortcuts.CreateSession: the portal gave no session")});
        return;
    }
    listen(true);
    QList<ShortcutEntry> entries;
    for (auto it = m_wanted.cbegin(); it != m_wanted.cend(); ++it) {
        QVariantMap properties{{QStringLiteral("description"), captureAction::title(it.key())}};
        if (const auto trigger = portalTrigger(it.value()))
            properties.insert(QStringLiteral("preferred_trigger"), *trigger);
        entries.append({captureAction::rawValue(it.key()), properties});
    }
    request(
        QStringLiteral("BindShortcuts"),
        {QVariant::fromValue(QDBusObjectPath(m_session)), QVariant::fromValue(entries), QString()},
        {}, &GlobalShortcutsSession::onBound);
}

void GlobalShortcutsSession::onBound(const PortalOutcome &outcome)
{
    if (!outcome.ok()) {
        fail(outcome);
        return;
    }
    m_bound = parseBoundShortcuts(outcome.results.value(QStringLiteral("shortcuts")));
    m_active = true;
    Q_EMIT bound();
}

void GlobalShortcutsSession::fail(const PortalOutcome &outcome)
{
    endSession();
    Q_EMIT failed(outcome);
}

void GlobalShortcutsSession::listen(bool on)
{
    const auto toggle = [&](const QString &path, const QString &interface, const QString &name,
                            const char *slot) {
        if (on)
            m_bus.connect(m_service, path, interface, name, this, slot);
        else
            m_bus.disconnect(m_service, path, interface, name, this, slot);
    };
    toggle(portalPath, shortcutsInterface, QStringLiteral("Activated"),
           SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    toggle(portalPath, shortcutsInterface, QStringLiteral("Deactivated"),
           SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    toggle(m_session, sessionInterface, QStringLiteral("Closed"),
           SLOT(onSessionClosed(QVariantMap)));
}

void GlobalShortcutsSession::onActivated(const QDBusObjectPath &session, const QString &id,
                                         qulonglong, const QVariantMap &)
{
    // Signals of every session of every client arrive here; only this session's count.
    if (!m_active || session.path() != m_session)
        return;
    if (const auto action = captureAction::fromRawValue(id); action && m_wanted.contains(*action))
        Q_EMIT activated(*action);
}

void GlobalShortcutsSession::onDeactivated(const QDBusObjectPath &session, const QString &id,
                                           qulonglong, const QVariantMap &)
{
    if (!m_active || session.path() != m_session)
        return;
    if (const auto action = captureAction::fromRawValue(id); action && m_wanted.contains(*action))
        Q_EMIT deactivated(*action);
}

void GlobalShortcutsSession::onSessionClosed(const QVariantMap &)
{
    const bool wasActive = m_active;
    listen(false);
    m_session.clear();
    endSession();
    if (wasActive)
        Q_EMIT closed();
    else // the pending BindShortcuts went with the session: nothing else will answer
        Q_EMIT failed({PortalOutcome::Kind::Failed,
                       {},
                       QStringLiteral("GlobalShortcuts: the portal closed the session")});
}

void GlobalShortcutsSession::endSession()
{
    delete m_request;
    m_request = nullptr;
    m_active = false;
    m_bound.clear();
    if (m_session.isEmpty())
        return;
    listen(false);
    m_bus.send(QDBusMessage::createMethodCall(m_service, m_session, sessionInterface,
                                              QStringLiteral("Close")));
    m_session.clear();
}

} // namespace zorv
