#include "platform/x11/X11HotKeyBackend.h"

#include "platform/x11/X11Connection.h"

#include <QCoreApplication>
#include <X11/keysym.h>
#include <array>
#include <memory>
#include <xcb/xcb_keysyms.h>

namespace zorv
{

namespace
{
// Offset between Linux evdev codes and X keycodes under evdev/libinput.
constexpr uint32_t evdevToX = 8;
constexpr uint16_t relevantModifiers =
    XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;
} // namespace

X11HotKeyBackend::X11HotKeyBackend(QObject *parent)
    : HotKeyBackend(parent), m_connection(x11::connection()), m_root(x11::rootWindow())
{
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11HotKeyBackend::~X11HotKeyBackend()
{
    for (const Grab &g : std::as_const(m_grabs))
        ungrabKey(g);
    if (m_connection)
        xcb_flush(m_connection);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(this);
}

uint16_t X11HotKeyBackend::xModifiers(uint32_t modifiers)
{
    uint16_t mask = 0;
    if (modifiers & KeyCombo::control)
        mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & KeyCombo::shift)
        mask |= XCB_MOD_MASK_SHIFT;
    if (modifiers & KeyCombo::option)
        mask |= XCB_MOD_MASK_1;
    if (modifiers & KeyCombo::command)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

uint16_t X11HotKeyBackend::numLockMask()
{
    if (m_numLockMask)
        return *m_numLockMask;
    uint16_t mask = XCB_MOD_MASK_2; // the usual place
    std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(m_connection), xcb_key_symbols_free);
    std::unique_ptr<xcb_keycode_t, decltype(&free)> numLock(
        xcb_key_symbols_get_keycode(symbols.get(), XK_Num_Lock), free);
    auto *reply = xcb_get_modifier_mapping_reply(m_connection,
                                                 xcb_get_modifier_mapping(m_connection), nullptr);
    if (reply && numLock) {
        const xcb_keycode_t *codes = xcb_get_modifier_mapping_keycodes(reply);
        const int perModifier = reply->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int k = 0; k < perModifier; ++k) {
                if (codes[modifier * perModifier + k] == *numLock)
                    mask = uint16_t(1u << modifier);
            }
        }
    }
    free(reply);
    m_numLockMask = mask;
    return mask;
}

std::optional<QString> X11HotKeyBackend::grab(uint32_t id, const KeyCombo &combo)
{
    if (!m_connection || m_root == XCB_WINDOW_NONE)
        return QStringLiteral("no X display");
    const auto evdev = KeyCombo::evdevCode(combo.keyCode);
    if (!evdev)
        return QStringLiteral("unknown key");
    const Grab wanted{xcb_keycode_t(*evdev + evdevToX), xModifiers(combo.modifiers)};
    const uint16_t lock = XCB_MOD_MASK_LOCK;
    const uint16_t num = numLockMask();
    const std::array<uint16_t, 4> variants{0, lock, num, uint16_t(lock | num)};

    std::array<xcb_void_cookie_t, 4> cookies{};
    for (size_t i = 0; i < variants.size(); ++i) {
        cookies[i] = xcb_grab_key_checked(m_connection, 1, m_root, wanted.modifiers | variants[i],
                                          wanted.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
    }
    std::optional<QString> failure;
    for (auto cookie : cookies) {
        if (xcb_generic_error_t *error = xcb_request_check(m_connection, cookie)) {
            failure = error->error_code == XCB_ACCESS
                          ? QStringLiteral("already grabbed by another program")
                          : QStringLiteral("X error %1").arg(error->error_code);
            free(error);
        }
    }
    if (failure) {
        // Another program owns the combination: release the variants we did get.
        ungrabKey(wanted);
        xcb_flush(m_connection);
        return failure;
    }
    m_grabs.insert(id, wanted);
    return std::nullopt;
}

void X11HotKeyBackend::ungrabKey(const Grab &g)
{
    if (!m_connection)
        return;
    const uint16_t lock = XCB_MOD_MASK_LOCK;
    const uint16_t num = numLockMask();
    for (uint16_t variant : {uint16_t(0), lock, num, uint16_t(lock | num)})
        xcb_ungrab_key(m_connection, g.keycode, m_root, g.modifiers | variant);
}

void X11HotKeyBackend::ungrab(uint32_t id)
{
    const auto it = m_grabs.constFind(id);
    if (it == m_grabs.cend())
        return;
    ungrabKey(*it);
    xcb_flush(m_connection);
    m_grabs.erase(it);
}

bool X11HotKeyBackend::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    auto *event = static_cast<xcb_generic_event_t *>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    auto *press = reinterpret_cast<xcb_key_press_event_t *>(event);
    if (press->event != m_root)
        return false;
    const uint16_t state = press->state & relevantModifiers;
    for (auto it = m_grabs.cbegin(); it != m_grabs.cend(); ++it) {
        if (it->keycode == press->detail && it->modifiers == state) {
            Q_EMIT pressed(it.key());
            return true;
        }
    }
    return false;
}

} // namespace zorv
