#include "editor/ColorHex.h"

#include <gtest/gtest.h>

using namespace zorv;

TEST(ColorHex, Parse)
{
    struct Row {
        const char *text;
        std::optional<QColor> expected;
    };
    const Row rows[] = {
        {"ff0000", QColor(255, 0, 0)},
        {"#4C5BFF", QColor(0x4C, 0x5B, 0xFF)},
        {"  #00FF0080\n", QColor(0, 255, 0, 128)},
        {"\t#0a84ff ", QColor(0x0A, 0x84, 0xFF)},
        {"#FFF", std::nullopt},
        {"#GG0000", std::nullopt},
        {"0x00FF", std::nullopt},      // six characters, but a prefix
        {"+FFFFF", std::nullopt},      // six characters, but a sign
        {"##FF0000", std::nullopt},    // only one "#" is dropped
        {"#FF 000", std::nullopt},     // inner space
        {"#FF0000FF00", std::nullopt}, // ten digits
        {"", std::nullopt},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.text);
        const auto parsed = colorHex::parse(QString::fromLatin1(row.text));
        ASSERT_EQ(parsed.has_value(), row.expected.has_value());
        if (parsed) {
            EXPECT_EQ(parsed->rgba(), row.expected->rgba());
        }
    }
}

TEST(ColorHex, FormatIsUpperCaseWithoutAlpha)
{
    EXPECT_EQ(colorHex::format(QColor(0x0A, 0x84, 0xFF)), QStringLiteral("#0A84FF"));
    EXPECT_EQ(colorHex::format(QColor(0, 255, 0, 128)), QStringLiteral("#00FF00"));
    // 0.5 × 255 = 127.5 rounds away from zero.
    EXPECT_EQ(colorHex::format(QColor::fromRgbF(0.5f, 0.5f, 0.5f)), QStringLiteral("#808080"));
}
