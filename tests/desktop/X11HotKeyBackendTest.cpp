#include "DesktopSupport.h"

#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKeyBackend.h"

#include <QSignalSpy>
#include <linux/input-event-codes.h>

using namespace zorv;
using namespace zorv::desktop;

namespace
{
const KeyCombo ctrlShift3{20, KeyCombo::control | KeyCombo::shift};
} // namespace

TEST(X11HotKeys, PressReachesTheGrabWithAndWithoutLockKeys)
{
    REQUIRE_DESKTOP();
    X11HotKeyBackend backend;
    ASSERT_EQ(backend.grab(7, ctrlShift3), std::nullopt);
    QSignalSpy spy(&backend, &HotKeyBackend::pressed);
    for (const QString keys :
         {"ctrl+shift+3", "Num_Lock ctrl+shift+3 Num_Lock", "Caps_Lock ctrl+shift+3 Caps_Lock"}) {
        run("xdotool", ("key " + keys).split(' '));
        ASSERT_TRUE(spy.wait(2000)) << keys.toStdString();
        EXPECT_EQ(spy.takeFirst().at(0).toUInt(), 7u);
    }
    // Only the exact modifiers count.
    run("xdotool", {"key", "ctrl+3"});
    EXPECT_FALSE(spy.wait(300));
    backend.ungrab(7);
    run("xdotool", {"key", "ctrl+shift+3"});
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
    EXPECT_EQ(backend.grab(1, {25, KeyCombo::control | KeyCombo::shift}),
              "already grabbed by another program");
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
    run("xdotool", {"key", "ctrl+Print"});
    EXPECT_TRUE(spy.wait(2000));
}
