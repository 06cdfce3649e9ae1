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
        m_installed = true;
    }
    unregisterAll();
    m_refusals.clear();
    for (CaptureAction action : captureAction::all()) {
        const auto it = hotkeys.constFind(action);
        if (it == hotkeys.cend())
            continue;
        const uint32_t id = m_nextID++;
        if (const auto reason = m_backend.grab(id, *it)) {
            logLine(QStringLiteral("could not register hot key %1 for %2")
                        .arg(it->displayString(), captureAction::rawValue(action)));
            m_refusals.append({action, *it, *reason});
            continue;
        }
        m_refs.insert(id, id);
        m_actionIDs.insert(id, action);
        m_handlers.insert(id, [dispatch, action] { dispatch(action); });
    }
    Q_EMIT reloaded(int(m_refs.size()));
}

void HotKeyCenter::unregisterAll()
{
    for (uint32_t handle : std::as_const(m_refs))
        m_backend.ungrab(handle);
    m_refs.clear();
}

std::optional<QString> HotKeyCenter::probe(const KeyCombo &combo)
{
    const uint32_t id = m_nextID++;
    auto reason = m_backend.grab(id, combo);
    if (!reason)
        m_backend.ungrab(id);
    return reason;
}

void HotKeyCenter::clearTables()
{
    m_handlers.clear();
    m_actionIDs.clear();
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
