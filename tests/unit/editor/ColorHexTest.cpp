#include "editor/ColorHex.h"

#include <gtest/gtest.h>

using namespace zorv;

TEST(ColorHex, Parse)
{
    const struct {
        const char *text;
        std::optional<QColor> expected;
    } rows[] = {
        {"ff0000", QColor(255, 0, 0)},
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
    for (const auto &row : rows) {
        const auto parsed = colorHex::parse(QString::fromLatin1(row.text));
        EXPECT_EQ(parsed ? std::optional(parsed->rgba()) : std::nullopt,
                  row.expected ? std::optional(row.expected->rgba()) : std::nullopt)
            << row.text;
    }
}
