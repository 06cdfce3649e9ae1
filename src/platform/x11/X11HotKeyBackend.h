#pragma once

#include "platform/Platform.h"

#include <QAbstractNativeEventFilter>
#include <QHash>
#include <xcb/xcb.h>

namespace zorv
{

// Global shortcuts as passive key grabs on the root window. Each combination
// is grabbed four times, with and without CapsLock and NumLock, so the lock
// keys never get in the way.
class X11HotKeyBackend : public HotKeyBackend, public QAbstractNativeEventFilter
{
    Q_OBJECT
  public:
    explicit X11HotKeyBackend(QObject *parent = nullptr);
    ~X11HotKeyBackend() override;

    std::optional<QString> grab(uint32_t id, const KeyCombo &combo) override;
    void ungrab(uint32_t id) override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

    // The X modifier mask for a combination's modifiers (Control, Shift, Mod1, Mod4).
    static uint16_t xModifiers(uint32_t modifiers);

  private:
    struct Grab {
        xcb_keycode_t keycode;
        uint16_t modifiers;
    };
    uint16_t numLockMask();
    void ungrabKey(const Grab &grab);

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    QHash<uint32_t, Grab> m_grabs;
    std::optional<uint16_t> m_numLockMask;
};

} // namespace zorv
