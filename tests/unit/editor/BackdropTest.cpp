#include "editor/Backdrop.h"

#include <gtest/gtest.h>

using namespace zorv;

TEST(Backdrop, PresetIndexOutOfRangeIsClampedToTheList)
{
    for (const int index : {-3, 0, 99}) {
        Backdrop backdrop;
        backdrop.presetIndex = index;
        EXPECT_EQ(&backdrop.preset(),
                  index < 1 ? &Backdrop::presets().first() : &Backdrop::presets().last())
            << index;
    }
}
