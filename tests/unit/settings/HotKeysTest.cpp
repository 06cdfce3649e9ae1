#include "common/KeyCombo.h"
#include "settings/HotKeyCenter.h"
#include "support/fake/FakePlatform.h"

#include <QJsonDocument>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

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

TEST(KeyCombo, EveryNamedKeyMapsToOnePhysicalKeyAndBack)
{
    QSet<uint32_t> seen;
    int named = 0;
    for (uint32_t code = 0; code < 200; ++code) {
        if (KeyCombo::keyName(code).startsWith("Key"))
            continue;
        ++named;
        const auto evdev = KeyCombo::evdevCode(code);
        ASSERT_TRUE(evdev) << code;
        EXPECT_FALSE(seen.contains(*evdev)) << "two codes share evdev " << *evdev;
        seen.insert(*evdev);
        EXPECT_EQ(KeyCombo::keyCodeForEvdev(*evdev), code);
    }
    EXPECT_GT(named, 50);
    EXPECT_EQ(KeyCombo::evdevCode(21), uint32_t(KEY_4));
    EXPECT_EQ(KeyCombo::keyCodeForEvdev(KEY_SYSRQ), KeyCombo::extendedKeyBase + KEY_SYSRQ);
    EXPECT_FALSE(KeyCombo::evdevCode(65));
}

TEST(KeyCombo, JsonNeedsBothMembersAsUnsignedIntegers)
{
    const KeyCombo combo{21, 4608};
    EXPECT_EQ(KeyCombo::fromJson(combo.toJson()), combo);
    auto parse = [](const char *json) {
        return KeyCombo::fromJson(QJsonDocument::fromJson(json).object());
    };
    EXPECT_EQ(parse(R"({"keyCode":4294967295,"modifiers":0})"), (KeyCombo{4294967295u, 0}));
    EXPECT_FALSE(parse(R"({"keyCode":4294967296,"modifiers":0})"));
    EXPECT_FALSE(parse(R"({"keyCode":"21","modifiers":4608})"));
    EXPECT_FALSE(parse(R"({"modifiers":4608})"));
    EXPECT_FALSE(parse(R"({"keyCode":true,"modifiers":4608})"));
}
