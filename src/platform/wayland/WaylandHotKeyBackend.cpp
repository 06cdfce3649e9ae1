#include "platform/wayland/WaylandHotKeyBackend.h"

#include "common/Log.h"

#include <algorithm>

namespace zorv
{

namespace
{
// The portal layer's messages start with the call they concern; the user needs the rest.
QString plainReason(const PortalOutcome &outcome)
{
    const qsizetype colon = outcome.message.indexOf(QLatin1String(": "));
    if (outcome.message.startsWith(QLatin1String("GlobalShortcuts")) && colon > 0)
        return outcome.message.mid(colon + 2);
    return outcome.message;
}
} // namespace

WaylandHotKeyBackend::WaylandHotKeyBackend(QDBusConnection bus, QString service, int timeoutMs,
                                           QObject *parent)
    : HotKeyBackend(parent), m_session(bus, service, timeoutMs),
      m_portalWatch(service, bus, QDBusServiceWatcher::WatchForUnregistration)
{
    // A portal that stops takes its sessions along without a word; the bindings end with it.
    connect(&m_portalWatch, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (!m_session.isActive())
            return; // a pending request reports the portal's end itself
        m_session.close();
        endBinding(QStringLiteral("the desktop portal stopped"));
    });
    connect(&m_session, &GlobalShortcutsSession::bound, this, &WaylandHotKeyBackend::onBound);
    connect(&m_session, &GlobalShortcutsSession::failed, this, &WaylandHotKeyBackend::onFailed);
    connect(&m_session, &GlobalShortcutsSession::closed, this, &WaylandHotKeyBackend::onClosed);
    connect(&m_session, &GlobalShortcutsSession::activated, this,
            &WaylandHotKeyBackend::onActivated);
}

std::optional<QString> WaylandHotKeyBackend::grab(uint32_t, const KeyCombo &)
{
    return QStringLiteral("this desktop binds shortcuts only for a whole session");
}

void WaylandHotKeyBackend::ungrab(uint32_t id)
{
    // The session stays: releasing the shortcuts while a settings field records is followed
    // by the same shortcuts again, and a new session may ask the user once more.
    m_live.remove(id);
}

QHash<uint32_t, QString> WaylandHotKeyBackend::grabAll(const QList<HotKeyRequest> &requests)
{
    HotKeyMap wanted;
    m_live.clear();
    for (const HotKeyRequest &request : requests) {
        wanted.insert(request.action, request.combo);
        m_live.insert(request.id, request.action);
    }
    QHash<uint32_t, QString> refusals;
    if (wanted.isEmpty()) {
        m_session.close();
        m_bound.clear();
        m_pending = false;
        return refusals;
    }
    if (wanted == m_bound && (m_pending || m_session.isActive())) {
        // The same shortcuts: what the desktop declined stays declined.
        for (auto it = m_live.cbegin(); it != m_live.cend(); ++it) {
            if (const auto reason = m_declined.constFind(it.value()); reason != m_declined.cend())
                refusals.insert(it.key(), *reason);
        }
        for (auto it = refusals.cbegin(); it != refusals.cend(); ++it)
            m_live.remove(it.key());
        return refusals;
    }
    m_bound = wanted;
    m_declined.clear();
    m_pending = true;
    m_session.bind(wanted);
    return refusals;
}

void WaylandHotKeyBackend::onBound()
{
    m_pending = false;
    const QString reason = QStringLiteral("the desktop did not give it a trigger");
    const QList<CaptureAction> declined = m_session.refused();
    for (CaptureAction action : declined)
        m_declined.insert(action, reason);
    refuseLive(reason, declined);
    Q_EMIT settled();
}

void WaylandHotKeyBackend::onFailed(const PortalOutcome &outcome)
{
    // Nothing is bound; the next reload tries again.
    m_pending = false;
    m_bound.clear();
    logLine(QStringLiteral("global shortcuts not bound: %1").arg(outcome.message));
    refuseLive(plainReason(outcome), m_live.values());
    Q_EMIT settled();
}

void WaylandHotKeyBackend::onClosed()
{
    endBinding(QStringLiteral("the desktop ended Zorv's shortcut session"));
}

void WaylandHotKeyBackend::endBinding(const QString &reason)
{
    // The next reload binds again.
    m_bound.clear();
    logLine(QStringLiteral("global shortcuts stopped: %1").arg(reason));
    refuseLive(reason, m_live.values());
}

void WaylandHotKeyBackend::refuseLive(const QString &reason, const QList<CaptureAction> &actions)
{
    // In id order, which is the order of the reload.
    QList<uint32_t> ids = m_live.keys();
    std::sort(ids.begin(), ids.end());
    for (uint32_t id : std::as_const(ids)) {
        if (!actions.contains(m_live.value(id)))
            continue;
        m_live.remove(id);
        Q_EMIT refused(id, reason);
    }
}

void WaylandHotKeyBackend::onActivated(CaptureAction action)
{
    for (auto it = m_live.cbegin(); it != m_live.cend(); ++it) {
        if (it.value() == action) {
            Q_EMIT pressed(it.key());
            return;
        }
    }
}

} // namespace zorv
