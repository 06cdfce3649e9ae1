#include "settings/HotKeyCenter.h"
#include "support/fake/FakePlatform.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
class HotKeyCenterTest : public ::testing::Test
{
  protected:
    void reload(const HotKeyMap &keys = KeyCombo::defaults())
    {
        center.reload(keys, [this](CaptureAction a) { actions.append(a); });
    }

    FakeHotKeyBackend backend;
    HotKeyCenter center{backend};
    QList<CaptureAction> actions;
};
} // namespace

TEST_F(HotKeyCenterTest, RegistersInActionOrderWithFreshIdsEachReload)
{
    reload();
    EXPECT_EQ(center.actionIDs().value(1), CaptureAction::area);
    EXPECT_EQ(center.actionIDs().value(9), CaptureAction::repeatLastArea);
    reload();
    EXPECT_EQ(center.registrationCount(), 9);
    EXPECT_EQ(backend.grabbed.size(), 9);
    EXPECT_TRUE(backend.grabbed.contains(10));
    EXPECT_TRUE(backend.grabbed.contains(18));
    EXPECT_FALSE(backend.grabbed.contains(1));
}

TEST_F(HotKeyCenterTest, PressDispatchesItsAction)
{
    reload();
    backend.press(KeyCombo::defaults()[CaptureAction::fullScreen]);
    backend.press({21, KeyCombo::control}); // not a shortcut
    EXPECT_EQ(actions, QList<CaptureAction>{CaptureAction::fullScreen});
}

TEST_F(HotKeyCenterTest, RefusedCombinationIsLoggedOnceAndTheRestRegister)
{
    backend.refused.insert(KeyCombo::defaults()[CaptureAction::window]);
    testing::internal::CaptureStderr();
    reload();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Zorv: could not register hot key Ctrl+Shift+5 for window\n");
    EXPECT_EQ(center.registrationCount(), 8);
    backend.press(KeyCombo::defaults()[CaptureAction::repeatLastArea]);
    EXPECT_EQ(actions, QList<CaptureAction>{CaptureAction::repeatLastArea});
}

TEST_F(HotKeyCenterTest, NothingFiresAfterUnregisterAll)
{
    reload({{CaptureAction::fullScreen, KeyCombo::defaults()[CaptureAction::fullScreen]}});
    EXPECT_EQ(center.registrationCount(), 1);
    center.unregisterAll();
    EXPECT_TRUE(backend.grabbed.isEmpty());
    backend.press(KeyCombo::defaults()[CaptureAction::fullScreen]);
    // A stale press that the platform still delivers is ignored as well.
    Q_EMIT backend.pressed(1);
    EXPECT_TRUE(actions.isEmpty());
}
