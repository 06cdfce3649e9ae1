#include "editor/Backdrop.h"

#include <gtest/gtest.h>

using namespace zorv;

TEST(Backdrop, PresetIndexIsClampedToTheList)
{
    struct Row {
        int index;
        const char *name;
    };
    const Row rows[] = {{-3, "Indigo"}, {0, "Indigo"}, {3, "Mint"}, {6, "Paper"}, {9, "Paper"}};
    ASSERT_EQ(Backdrop::presets().size(), 7);
    for (const Row &row : rows) {
        Backdrop backdrop;
        backdrop.presetIndex = row.index;
        EXPECT_EQ(backdrop.preset().name, QLatin1String(row.name)) << row.index;
    }
}
