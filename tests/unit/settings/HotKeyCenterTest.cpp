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

TEST_F(HotKeyCenterTest, AReloadReplacesEveryGrabAndAPressDispatchesItsAction)
{
    reload();
    reload();
    EXPECT_EQ(backend.grabbed.size(), KeyCombo::defaults().size());
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
