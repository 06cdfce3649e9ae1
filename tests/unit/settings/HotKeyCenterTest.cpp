#include "settings/HotKeyCenter.h"
#include "platform/fake/FakePlatform.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
struct Recorder {
    QList<CaptureAction> actions;
    HotKeyCenter::Dispatch dispatch()
    {
        return [this](CaptureAction a) { actions.append(a); };
    }
};
} // namespace

TEST(HotKeyCenter, RegistersInActionOrderWithFreshIdsEachReload)
{
    FakeHotKeyBackend backend;
    HotKeyCenter center(backend);
    Recorder recorder;
    center.reload(KeyCombo::defaults(), recorder.dispatch());
    EXPECT_EQ(center.registrationCount(), 9);
    EXPECT_EQ(center.actionIDs().value(1), CaptureAction::area);
    EXPECT_EQ(center.actionIDs().value(9), CaptureAction::repeatLastArea);
    center.reload(KeyCombo::defaults(), recorder.dispatch());
    EXPECT_EQ(center.registrationCount(), 9);
    EXPECT_EQ(backend.grabbed.size(), 9);
    EXPECT_TRUE(backend.grabbed.contains(10));
    EXPECT_TRUE(backend.grabbed.contains(18));
    EXPECT_FALSE(backend.grabbed.contains(1));
    EXPECT_EQ(center.nextID(), 19u);
}

TEST(HotKeyCenter, PressDispatchesItsAction)
{
    FakeHotKeyBackend backend;
    HotKeyCenter center(backend);
    Recorder recorder;
    center.reload(KeyCombo::defaults(), recorder.dispatch());
    backend.press(KeyCombo::defaults()[CaptureAction::fullScreen]);
    backend.press({21, KeyCombo::control}); // not a shortcut
    EXPECT_EQ(recorder.actions, QList<CaptureAction>{CaptureAction::fullScreen});
}

TEST(HotKeyCenter, RefusedCombinationIsLoggedOnceAndTheRestRegister)
{
    FakeHotKeyBackend backend;
    backend.refused.insert(KeyCombo::defaults()[CaptureAction::window]);
    HotKeyCenter center(backend);
    Recorder recorder;
    testing::internal::CaptureStderr();
    center.reload(KeyCombo::defaults(), recorder.dispatch());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, "Zorv: could not register hot key ⌃⇧5 for window\n");
    EXPECT_EQ(center.registrationCount(), 8);
    backend.press(KeyCombo::defaults()[CaptureAction::repeatLastArea]);
    EXPECT_EQ(recorder.actions, QList<CaptureAction>{CaptureAction::repeatLastArea});
}

TEST(HotKeyCenter, NothingFiresAfterUnregisterAll)
{
    FakeHotKeyBackend backend;
    HotKeyCenter center(backend);
    Recorder recorder;
    HotKeyMap some{{CaptureAction::fullScreen, KeyCombo::defaults()[CaptureAction::fullScreen]}};
    center.reload(some, recorder.dispatch());
    EXPECT_EQ(center.registrationCount(), 1);
    center.unregisterAll();
    EXPECT_TRUE(backend.grabbed.isEmpty());
    backend.press(KeyCombo::defaults()[CaptureAction::fullScreen]);
    // A stale press that the platform still delivers is ignored as well.
    Q_EMIT backend.pressed(1);
    EXPECT_TRUE(recorder.actions.isEmpty());
}
