#include "platform/x11/ScreenMapping.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{
// Two 1920 x 1080 monitors side by side, the second at scale 2: Qt keeps its
// origin in X pixels, so it covers logical x 1920–2879.
const QList<ScreenArea> mixedScreens{
    {QRectF(0, 0, 1920, 1080), QRect(0, 0, 1920, 1080), 1.0},
    {QRectF(1920, 0, 960, 540), QRect(1920, 0, 1920, 1080), 2.0},
};
} // namespace

TEST(ScreenMapping, PixelSizeRoundsHalfAwayFromZeroWithAMinimumOfOne)
{
    struct Case {
        QSizeF logical;
        double scale;
        QSize pixels;
    };
    const Case cases[] = {
        {{100.5, 50.25}, 2, {201, 101}},   {{0.2, 0.2}, 1, {1, 1}},    {{0.5, 2.5}, 1, {1, 3}},
        {{1920, 1080}, 1.5, {2880, 1620}}, {{33.3, 10}, 3, {100, 30}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ScreenMapping::pixelSize(c.logical, c.scale), c.pixels) << c.logical.width();
}

TEST(ScreenMapping, ARectOnTheScaledScreenMapsThroughThatScreensOrigin)
{
    const CapturePlan plan = ScreenMapping::plan(mixedScreens, QRectF(2000, 100, 100, 50), 2.0);
    EXPECT_EQ(plan.size, QSize(200, 100));
    ASSERT_EQ(plan.pieces.size(), 1);
    EXPECT_EQ(plan.pieces[0].screen, 1);
    EXPECT_EQ(plan.pieces[0].source, QRectF(1920 + 160, 200, 200, 100));
    EXPECT_EQ(plan.pieces[0].target, QRectF(0, 0, 200, 100));
    EXPECT_TRUE(plan.pieces[0].isDirectCopy());
    EXPECT_TRUE(plan.coversOutput);
}

TEST(ScreenMapping, ARectSpanningScreensIsCapturedPieceByPieceAtTheLargestScale)
{
    const QRectF rect(1820, 500, 200, 100); // 100 on each screen, 40 below the second one
    const double scale = ScreenMapping::largestScale(mixedScreens, rect);
    EXPECT_EQ(scale, 2.0);
    const CapturePlan plan = ScreenMapping::plan(mixedScreens, rect, scale);
    EXPECT_EQ(plan.size, QSize(400, 200));
    ASSERT_EQ(plan.pieces.size(), 2);
    EXPECT_EQ(plan.pieces[0].source, QRectF(1820, 500, 100, 100));
    EXPECT_EQ(plan.pieces[0].target, QRectF(0, 0, 200, 200));
    EXPECT_FALSE(plan.pieces[0].isDirectCopy()); // scaled up
    EXPECT_EQ(plan.pieces[1].source, QRectF(1920, 1000, 200, 80));
    EXPECT_EQ(plan.pieces[1].target, QRectF(200, 0, 200, 80));
    EXPECT_FALSE(plan.coversOutput); // the part under the second screen lies on no monitor
}

TEST(ScreenMapping, RoundedSizesStretchTheRegionOverTheWholeImage)
{
    const QList<ScreenArea> one{{QRectF(0, 0, 800, 600), QRect(0, 0, 800, 600), 1.0}};
    const CapturePlan plan = ScreenMapping::plan(one, QRectF(10, 10, 100.5, 50.25), 2.0);
    EXPECT_EQ(plan.size, QSize(201, 101));
    ASSERT_EQ(plan.pieces.size(), 1);
    EXPECT_EQ(plan.pieces[0].target, QRectF(0, 0, 201, 101));
    EXPECT_EQ(plan.pieces[0].source, QRectF(10, 10, 100.5, 50.25));
}

TEST(ScreenMapping, AreasOffEveryScreenHaveNoPieces)
{
    const CapturePlan plan = ScreenMapping::plan(mixedScreens, QRectF(2900, 0, 50, 50), 1.0);
    EXPECT_EQ(plan.size, QSize(50, 50));
    EXPECT_TRUE(plan.pieces.isEmpty());
    EXPECT_EQ(ScreenMapping::largestScale(mixedScreens, QRectF(2900, 0, 50, 50)), 1.0);
}

TEST(ScreenMapping, XPixelsMapBackThroughTheScreenHoldingTheirCentre)
{
    EXPECT_EQ(ScreenMapping::toLogical(mixedScreens, QRect(2120, 100, 400, 300)),
              QRectF(2020, 50, 200, 150));
    EXPECT_EQ(ScreenMapping::toLogical(mixedScreens, QRect(100, 100, 400, 300)),
              QRectF(100, 100, 400, 300));
    EXPECT_EQ(ScreenMapping::screenAtDevicePoint(mixedScreens, {1920, 0}), 1);
    EXPECT_EQ(ScreenMapping::screenAtDevicePoint(mixedScreens, {5000, 0}), -1);
}
