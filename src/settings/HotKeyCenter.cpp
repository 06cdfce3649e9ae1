#include "settings/HotKeyCenter.h"

#include "common/Log.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"

namespace zorv
{

HotKeyCenter &HotKeyCenter::shared()
{
    static HotKeyCenter *instance = new HotKeyCenter(Platform::shared().hotKeys());
    return *instance;
}

HotKeyCenter::HotKeyCenter(HotKeyBackend &backend, QObject *parent)
    : QObject(parent), m_backend(backend)
{
}

void HotKeyCenter::reload(const AppSettings &settings, Dispatch dispatch)
{
    reload(settings.hotkeys(), std::move(dispatch));
}

void HotKeyCenter::reload(const HotKeyMap &hotkeys, Dispatch dispatch)
{
    if (!m_installed) {
        connect(&m_backend, &HotKeyBackend::pressed, this, &HotKeyCenter::fire);
        connect(&m_backend, &HotKeyBackend::refused, this, &HotKeyCenter::refuseLater);
        connect(&m_backend, &HotKeyBackend::settled, this, &HotKeyCenter::settled);
        m_installed = true;
    }
    unregisterAll();
    m_refusals.clear();
    QList<HotKeyRequest> requests;
    for (CaptureAction action : captureAction::all()) {
        const auto it = hotkeys.constFind(action);
        if (it != hotkeys.cend())
            requests.append({m_nextID++, action, *it});
    }
    const QHash<uint32_t, QString> refused = m_backend.grabAll(requests);
    for (const HotKeyRequest &request : std::as_const(requests)) {
        if (const auto reason = refused.constFind(request.id); reason != refused.cend()) {
            refuse(request.action, request.combo, *reason);
            continue;
        }
        m_refs.insert(request.id, request.id);
        m_actionIDs.insert(request.id, request.action);
        m_combos.insert(request.id, request.combo);
        m_handlers.insert(request.id, [dispatch, action = request.action] { dispatch(action); });
    }
    Q_EMIT reloaded(int(m_refs.size()));
}

void HotKeyCenter::refuse(CaptureAction action, const KeyCombo &combo, const QString &reason)
{
    logLine(QStringLiteral("could not register hot key %1 for %2")
                .arg(combo.displayString(), captureAction::rawValue(action)));
    m_refusals.append({action, combo, reason});
}

void HotKeyCenter::refuseLater(uint32_t id, const QString &reason)
{
    // Only a live registration can be refused: later answers about older ones are stale.
    if (!m_refs.remove(id))
        return;
    refuse(m_actionIDs.value(id), m_combos.value(id), reason);
    Q_EMIT refusedLater();
}

void HotKeyCenter::unregisterAll()
{
    for (uint32_t handle : std::as_const(m_refs))
        m_backend.ungrab(handle);
    m_refs.clear();
}

std::optional<QString> HotKeyCenter::probe(const KeyCombo &combo)
{
    return m_backend.probe(m_nextID++, combo);
}

void HotKeyCenter::clearTables()
{
    m_handlers.clear();
    m_actionIDs.clear();
    m_combos.clear();
}

void HotKeyCenter::fire(uint32_t id)
{
    // Ids of earlier registrations are ignored: their grabs are gone.
    if (!m_refs.contains(id))
        return;
    if (const auto handler = m_handlers.value(id))
        handler();
}

} // namespace zorv
