#pragma once

#include "common/CaptureAction.h"

#include <QHash>
#include <QObject>
#include <functional>

namespace zorv
{

class AppSettings;
class HotKeyBackend;

// Registers the user's global shortcuts with the platform and calls back on
// the main thread when one is pressed.
class HotKeyCenter : public QObject
{
    Q_OBJECT
  public:
    using Dispatch = std::function<void(CaptureAction)>;
    // A combination the platform would not register, and why.
    struct Refusal {
        CaptureAction action;
        KeyCombo combo;
        QString reason;
        friend bool operator==(const Refusal &, const Refusal &) = default;
    };
    static constexpr uint32_t signature = 0x5A4F5256; // "ZORV"

    static HotKeyCenter &shared();
    explicit HotKeyCenter(HotKeyBackend &backend, QObject *parent = nullptr);

    // Replaces every registration with those of `hotkeys`, in action order.
    // Refused combinations are logged and skipped; a desktop that decides later may still
    // refuse some (`refusedLater`).
    void reload(const HotKeyMap &hotkeys, Dispatch dispatch);
    void reload(const AppSettings &settings, Dispatch dispatch);
    void unregisterAll();
    // Whether the platform would register `combo` now (on X11: grabs and releases it).
    // nullopt when it is free. Call it while Zorv's own shortcuts are released,
    // since releasing the probe also releases a registration of the same keys.
    std::optional<QString> probe(const KeyCombo &combo);
    // Forgets the callbacks too (at termination).
    void clearTables();

    int registrationCount() const { return int(m_refs.size()); }
    uint32_t nextID() const { return m_nextID; }
    QHash<uint32_t, CaptureAction> actionIDs() const { return m_actionIDs; }
    // The combinations refused since the last reload: at once in action order, then those
    // the desktop refused later.
    const QList<Refusal> &refusals() const { return m_refusals; }

  Q_SIGNALS:
    // After every reload; `registered` counts the accepted shortcuts.
    void reloaded(int registered);
    // The desktop refused an accepted shortcut after the reload, or ended its binding.
    void refusedLater();
    // The desktop has answered for the last reload's shortcuts.
    void settled();

  private:
    void fire(uint32_t id);
    void refuse(CaptureAction action, const KeyCombo &combo, const QString &reason);
    void refuseLater(uint32_t id, const QString &reason);

    HotKeyBackend &m_backend;
    QHash<uint32_t, std::function<void()>> m_handlers;
    QHash<uint32_t, uint32_t> m_refs; // id → platform handle (the id itself on X11)
    QHash<uint32_t, CaptureAction> m_actionIDs;
    QHash<uint32_t, KeyCombo> m_combos;
    QList<Refusal> m_refusals;
    uint32_t m_nextID = 1;
    bool m_installed = false;
};

} // namespace zorv
