#include "app/MemoryTuning.h"

#include <gtest/gtest.h>

using namespace zorv;

TEST(MemoryTuning, AddsTheHugePageTunableWithoutOverridingTheUser)
{
    EXPECT_EQ(memoryTuning::withHugePages(""), QByteArray("glibc.malloc.hugetlb=1"));
    // Other tunables are kept, in glibc's colon-separated list.
    EXPECT_EQ(memoryTuning::withHugePages("glibc.malloc.check=3"),
              QByteArray("glibc.malloc.check=3:glibc.malloc.hugetlb=1"));
    // A value already there (also one that turns it off) is the user's choice,
    // and it is what ends the restart: no second restart ever follows.
    EXPECT_EQ(memoryTuning::withHugePages("glibc.malloc.hugetlb=0"), std::nullopt);
    EXPECT_EQ(memoryTuning::withHugePages("glibc.malloc.check=3:glibc.malloc.hugetlb=1"),
              std::nullopt);
}
