#include "common/KeyCombo.h"
#include "settings/HotKeyCenter.h"
#include "settings/ShortcutRecorder.h"
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

TEST_F(HotKeyCenterTest, ADesktopRefusingLaterStopsThatShortcutAndStaleAnswersAreIgnored)
{
    reload();
    const uint32_t staleWindow = center.actionIDs().key(CaptureAction::window);
    reload();
    const auto idOf = [this](CaptureAction action) {
        for (const uint32_t id : backend.grabbed.keys()) {
            if (center.actionIDs().value(id) == action)
                return id;
        }
        return 0u;
    };
    int told = 0;
    QObject::connect(&center, &HotKeyCenter::refusedLater, [&] { ++told; });
    HotKeyBackend &desktop = backend; // the fake's own `refused` is its set of taken combos
    testing::internal::CaptureStderr();
    Q_EMIT desktop.refused(staleWindow, "from the previous reload");
    Q_EMIT desktop.refused(idOf(CaptureAction::area), "the desktop gave no trigger");
    Q_EMIT desktop.refused(idOf(CaptureAction::area), "said twice");
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Zorv: could not register hot key Ctrl+Shift+4 for area\n");
    EXPECT_EQ(told, 1);
    EXPECT_EQ(center.refusals(),
              (QList<HotKeyCenter::Refusal>{{CaptureAction::area,
                                             KeyCombo::defaults()[CaptureAction::area],
                                             "the desktop gave no trigger"}}));
    EXPECT_EQ(center.registrationCount(), KeyCombo::defaults().size() - 1);
    for (const CaptureAction action : {CaptureAction::area, CaptureAction::window})
        backend.press(KeyCombo::defaults()[action]);
    EXPECT_EQ(actions, QList<CaptureAction>{CaptureAction::window});
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

TEST(ShortcutRecorder, KeyPressesTranslateToPhysicalKeysWithLinuxRules)
{
    using O = RecordedKey::Outcome;
    constexpr uint32_t ctrl = KeyCombo::control, shift = KeyCombo::shift, alt = KeyCombo::option,
                       super = KeyCombo::command;
    const uint32_t print = KeyCombo::extendedKeyBase + KEY_SYSRQ;
    struct Row {
        int qtKey;
        Qt::KeyboardModifiers modifiers;
        quint32 scanCode; // X key code: evdev + 8
        O outcome;
        KeyCombo combo;
        const char *label;
    };
    // clang-format off
    const Row rows[] = {
        // The layout's letter does not matter: the physical key does (AZERTY's A is Q's key).
        {Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier, KEY_Q + 8, O::combo, {12, ctrl | shift}, "Ctrl+Shift+Q"},
        {Qt::Key_4, Qt::ControlModifier | Qt::ShiftModifier, KEY_4 + 8, O::combo, {21, ctrl | shift}, "Ctrl+Shift+4"},
        {Qt::Key_F5, Qt::AltModifier | Qt::MetaModifier, KEY_F5 + 8, O::combo, {96, alt | super}, "Alt+Super+F5"},
        {Qt::Key_Print, Qt::NoModifier, KEY_SYSRQ + 8, O::combo, {print, 0}, "Print"},
        {Qt::Key_Print, Qt::ShiftModifier, KEY_SYSRQ + 8, O::combo, {print, shift}, "Shift+Print"},
        {Qt::Key_Insert, Qt::ControlModifier | Qt::KeypadModifier, KEY_INSERT + 8, O::combo, {KeyCombo::extendedKeyBase + KEY_INSERT, ctrl}, "Ctrl+Insert"},
        {Qt::Key_Exclam, Qt::ShiftModifier, KEY_1 + 8, O::needsModifier, {18, shift}, ""},
        {Qt::Key_B, Qt::NoModifier, KEY_B + 8, O::needsModifier, {11, 0}, ""},
        {Qt::Key_Escape, Qt::ControlModifier, KEY_ESC + 8, O::cancel, {}, ""},
        {Qt::Key_Control, Qt::ControlModifier, KEY_LEFTCTRL + 8, O::ignored, {}, ""},
        {Qt::Key_Super_L, Qt::MetaModifier, KEY_LEFTMETA + 8, O::ignored, {}, ""},
        {Qt::Key_VolumeUp, Qt::ControlModifier, KEY_VOLUMEUP + 8, O::unknownKey, {}, ""},
        {Qt::Key_A, Qt::ControlModifier, 0, O::unknownKey, {}, ""}, // no physical key known
    };
    // clang-format on
    for (const Row &row : rows) {
        const RecordedKey key = translateKeyPress(row.qtKey, row.modifiers, row.scanCode);
        EXPECT_EQ(key.outcome, row.outcome) << row.scanCode;
        if (row.outcome == O::combo || row.outcome == O::needsModifier) {
            EXPECT_EQ(key.combo, row.combo) << row.scanCode;
        }
        if (row.outcome == O::combo) {
            EXPECT_EQ(key.combo.displayString(), QString::fromLatin1(row.label));
        }
    }
}
