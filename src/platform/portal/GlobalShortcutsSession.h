#pragma once

#include "common/CaptureAction.h"
#include "platform/portal/PortalRequest.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <QObject>

namespace zorv
{

// What the desktop made of one action's shortcut.
struct BoundShortcut {
    CaptureAction action;
    QString trigger; // the portal's trigger_description; empty when the desktop gave none
    friend bool operator==(const BoundShortcut &, const BoundShortcut &) = default;
};

// The `shortcuts` value of BindShortcuts' results (a(sa{sv})), for the actions asked for;
// ids that are not actions are left out.
QList<BoundShortcut> parseBoundShortcuts(const QVariant &shortcuts);

// Zorv's shortcuts bound through the GlobalShortcuts portal: one session, one shortcut per
// action (id = the action's raw value, description = its title, preferred trigger from the
// hot-key map). Presses arrive as `activated`. Interface version 1 offers no way to change a
// bound trigger, so `bind` with another map closes the session and opens a new one.
class GlobalShortcutsSession : public QObject
{
    Q_OBJECT
  public:
    GlobalShortcutsSession(QDBusConnection bus, QString service, int timeoutMs,
                           QObject *parent = nullptr);
    ~GlobalShortcutsSession() override; // closes the session

    // Binds `hotkeys` in a new session (closing the current one); emits `bound` or `failed`,
    // once. Combos without a trigger text are bound without a preferred trigger.
    void bind(const HotKeyMap &hotkeys);
    void close();

    bool isActive() const { return m_active; }
    // The portal's object path of the session; empty when there is none.
    QString sessionPath() const { return m_session; }
    // After `bound`: the actions the desktop gave a trigger, and those it did not.
    const QList<BoundShortcut> &boundShortcuts() const { return m_bound; }
    QList<CaptureAction> refused() const;

  Q_SIGNALS:
    void bound();
    void failed(const zorv::PortalOutcome &outcome);
    void activated(zorv::CaptureAction action);
    void deactivated(zorv::CaptureAction action);
    // The portal or the desktop ended an active session; its shortcuts no longer fire.
    void closed();

  private Q_SLOTS:
    void onActivated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp,
                     const QVariantMap &options);
    void onDeactivated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp,
                       const QVariantMap &options);
    void onSessionClosed(const QVariantMap &details);

  private:
    void onCreated(const PortalOutcome &outcome);
    void onBound(const PortalOutcome &outcome);
    void request(const QString &method, const QVariantList &arguments, const QVariantMap &options,
                 void (GlobalShortcutsSession::*next)(const PortalOutcome &));
    void fail(const PortalOutcome &outcome);
    void endSession();
    void listen(bool on);

    QDBusConnection m_bus;
    QString m_service;
    int m_timeoutMs;
    HotKeyMap m_wanted;
    QString m_session;
    bool m_active = false;
    QList<BoundShortcut> m_bound;
    PortalRequest *m_request = nullptr;
};

} // namespace zorv
