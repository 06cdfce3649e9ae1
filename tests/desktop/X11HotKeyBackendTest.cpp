#include "DesktopSupport.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKeyBackend.h"

#include <QSignalSpy>
#include <QTest>
#include <linux/input-event-codes.h>

using namespace zorv;

namespace
{

void xdotool(const QStringList &args)
{
    zorv::desktop::run("xdotool", args);
}

const KeyCombo ctrlShift3{20, KeyCombo::control | KeyCombo::shift};

} // namespace

TEST(X11HotKeys, PressReachesTheGrabWithAndWithoutLockKeys)
{
    REQUIRE_DESKTOP();
    X11HotKeyBackend backend;
    ASSERT_EQ(backend.grab(7, ctrlShift3), std::nullopt);
    QSignalSpy spy(&backend, &HotKeyBackend::pressed);

    xdotool({"key", "ctrl+shift+3"});
    ASSERT_TRUE(spy.wait(2000));
    EXPECT_EQ(spy.takeFirst().at(0).toUInt(), 7u);

    for (const char *lockKey : {"Num_Lock", "Caps_Lock"}) {
        xdotool({"key", lockKey});
        xdotool({"key", "ctrl+shift+3"});
        EXPECT_TRUE(spy.wait(2000)) << lockKey;
        spy.clear();
        xdotool({"key", lockKey});
    }

    // Only the exact modifiers count.
    xdotool({"key", "ctrl+3"});
    EXPECT_FALSE(spy.wait(300));

    backend.ungrab(7);
    xdotool({"key", "ctrl+shift+3"});
    EXPECT_FALSE(spy.wait(300));
}

TEST(X11HotKeys, CombinationHeldByAnotherProgramIsRefused)
{
    REQUIRE_DESKTOP();
    // A second client grabs Control+Shift+9 first.
    xcb_connection_t *other = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(other), 0);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(other)).data->root;
    const xcb_keycode_t nine = KEY_9 + 8;
    xcb_generic_error_t *error = xcb_request_check(
        other, xcb_grab_key_checked(other, 1, root, XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT, nine,
                                    XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    ASSERT_EQ(error, nullptr);

    X11HotKeyBackend backend;
    const auto refusal = backend.grab(1, {25, KeyCombo::control | KeyCombo::shift});
    ASSERT_TRUE(refusal);
    EXPECT_EQ(*refusal, "already grabbed by another program");
    // A refused grab leaves nothing half-registered: once the other program is
    // gone, the same combination can be taken.
    xcb_disconnect(other);
    QTest::qWait(100);
    EXPECT_EQ(backend.grab(2, {25, KeyCombo::control | KeyCombo::shift}), std::nullopt);
}

TEST(X11HotKeys, ExtendedKeysGrabTheirPhysicalKey)
{
    REQUIRE_DESKTOP();
    X11HotKeyBackend backend;
    // The window manager itself binds plain Print, as many do.
    EXPECT_TRUE(backend.grab(4, {KeyCombo::extendedKeyBase + KEY_SYSRQ, 0}));
    ASSERT_EQ(backend.grab(3, {KeyCombo::extendedKeyBase + KEY_SYSRQ, KeyCombo::control}),
              std::nullopt);
    QSignalSpy spy(&backend, &HotKeyBackend::pressed);
    xdotool({"key", "ctrl+Print"});
    EXPECT_TRUE(spy.wait(2000));
}
