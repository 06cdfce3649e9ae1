#include "common/KeyCombo.h"

#include <QJsonDocument>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace zorv;

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
