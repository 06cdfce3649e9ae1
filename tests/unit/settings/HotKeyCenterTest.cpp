#include "settings/HotKeyCenter.h"
#include "support/fake/FakePlatform.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
class HotKeyCenterTest : public ::testing::Test
{
  protected:
    void reload()
    {
        center.reload(KeyCombo::defaults(), [this](CaptureAction a) { actions.append(a); });
    }

    FakeHotKeyBackend backend;
    HotKeyCenter center{backend};
    QList<CaptureAction> actions;
};
} // namespace

TEST_F(HotKeyCenterTest, AReloadReplacesEveryGrabAndOnlyRegisteredPressesDispatch)
{
    reload();
    reload();
    EXPECT_EQ(backend.grabbed.size(), KeyCombo::defaults().size());
    backend.press(KeyCombo::defaults()[CaptureAction::fullScreen]);
    backend.press({21, KeyCombo::control}); // not a shortcut
    EXPECT_EQ(actions, QList<CaptureAction>{CaptureAction::fullScreen});
    // After unregistering nothing fires, not even a stale press the platform still delivers.
    center.unregisterAll();
    EXPECT_TRUE(backend.grabbed.isEmpty());
    backend.press(KeyCombo::defaults()[CaptureAction::fullScreen]);
    for (const uint32_t id : {0, 1, 2})
        Q_EMIT backend.pressed(id);
    EXPECT_EQ(actions.size(), 1);
}

TEST_F(HotKeyCenterTest, RefusedCombinationIsLoggedOnceAndTheRestRegister)
{
    backend.refused.insert(KeyCombo::defaults()[CaptureAction::window]);
    testing::internal::CaptureStderr();
    reload();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Zorv: could not register hot key Ctrl+Shift+5 for window\n");
    EXPECT_EQ(center.registrationCount(), KeyCombo::defaults().size() - 1);
    backend.press(KeyCombo::defaults()[CaptureAction::repeatLastArea]);
    EXPECT_EQ(actions, QList<CaptureAction>{CaptureAction::repeatLastArea});
}
