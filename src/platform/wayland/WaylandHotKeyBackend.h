#pragma once

#include "platform/Platform.h"
#include "platform/portal/GlobalShortcutsSession.h"

#include <QDBusServiceWatcher>
#include <QHash>

namespace zorv
{

// Global shortcuts through the GlobalShortcuts portal: the shortcuts of one reload are bound
// together in one session, with the hot-key map's combos as preferred triggers. The desktop
// decides which it grants after grabAll has returned; those it does not grant are refused
// then. An unchanged map keeps its session (the desktop may ask the user about each new
// one); a changed map opens a new one, since a session's shortcuts cannot be bound again.
class WaylandHotKeyBackend : public HotKeyBackend
{
    Q_OBJECT
  public:
    WaylandHotKeyBackend(QDBusConnection bus, QString service, int timeoutMs,
                         QObject *parent = nullptr);

    // The portal binds a session's shortcuts for as long as it lasts; it has no way to hold
    // one key for a moment.
    std::optional<QString> grab(uint32_t id, const KeyCombo &combo) override;
    void ungrab(uint32_t id) override;
    QHash<uint32_t, QString> grabAll(const QList<HotKeyRequest> &requests) override;
    // The portal cannot be asked about a trigger without binding it, and binding may put a
    // question to the user; so nothing is known against any combination. The desktop's
    // answer comes when the shortcut is bound, as a refusal.
    std::optional<QString> probe(uint32_t, const KeyCombo &) override { return std::nullopt; }

    bool sessionActive() const { return m_session.isActive(); }

  private:
    void onBound();
    void onFailed(const PortalOutcome &outcome);
    void onClosed();
    void endBinding(const QString &reason);
    void onActivated(CaptureAction action);
    // Refuses every live shortcut, or only those of `actions`.
    void refuseLive(const QString &reason, const QList<CaptureAction> &actions);

    GlobalShortcutsSession m_session;
    QDBusServiceWatcher m_portalWatch;
    HotKeyMap m_bound;                        // the map of the current or pending session
    bool m_pending = false;                   // the desktop has not answered for m_bound
    QHash<CaptureAction, QString> m_declined; // what the desktop refused in that session
    QHash<uint32_t, CaptureAction> m_live;    // ids of the last grabAll not yet released
};

} // namespace zorv
