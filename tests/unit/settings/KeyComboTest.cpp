#include "common/KeyCombo.h"

#include <QJsonDocument>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace zorv;

TEST(KeyCombo, DisplayStrings)
{
    struct Case {
        KeyCombo combo;
        const char *text;
    };
    const Case cases[] = {
        {{21, KeyCombo::control | KeyCombo::shift}, "Ctrl+Shift+4"},
        {{35, KeyCombo::control | KeyCombo::shift}, "Ctrl+Shift+P"},
        {{0, KeyCombo::command | KeyCombo::option | KeyCombo::shift | KeyCombo::control},
         "Ctrl+Alt+Shift+Super+A"},
        {{49, KeyCombo::option}, "Alt+Space"},
        {{53, 0}, "⎋"},
        {{65, KeyCombo::control}, "Ctrl+Key65"},
        {{KeyCombo::extendedKeyBase + KEY_SYSRQ, 0}, "Print"},
        {{KeyCombo::extendedKeyBase + KEY_KP5, KeyCombo::shift}, "Shift+Keypad 5"},
        {{KeyCombo::extendedKeyBase + 999, 0}, "Key66535"},
        {{90, 0}, "F20"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.combo.displayString(), QString::fromUtf8(c.text)) << c.text;
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
    EXPECT_EQ(named, 81);
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
