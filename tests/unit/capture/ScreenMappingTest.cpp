#include "platform/x11/ScreenMapping.h"
#include "platform/x11/RecordingArea.h"

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

using Piece = std::tuple<int, QRectF, QRectF, bool>; // screen, source, target, direct copy

// A plan's size, coverage and pieces.
std::tuple<QSize, bool, QList<Piece>> summary(const CapturePlan &plan)
{
    QList<Piece> pieces;
    for (const CapturePiece &p : plan.pieces)
        pieces.append({p.screen, p.source, p.target, p.isDirectCopy()});
    return {plan.size, plan.coversOutput, pieces};
}
} // namespace

TEST(ScreenMapping, PixelSizeRoundsHalfAwayFromZeroWithAMinimumOfOne)
{
    const struct {
        QSizeF logical;
        double scale;
        QSize pixels;
    } cases[] = {
        {{100.5, 50.25}, 2, {201, 101}},   {{0.2, 0.2}, 1, {1, 1}},    {{0.5, 2.5}, 1, {1, 3}},
        {{1920, 1080}, 1.5, {2880, 1620}}, {{33.3, 10}, 3, {100, 30}},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ScreenMapping::pixelSize(c.logical, c.scale), c.pixels) << c.logical.width();
}

TEST(ScreenMapping, PlansTakeEachPieceFromTheScreenUnderIt)
{
    using Summary = std::tuple<QSize, bool, QList<Piece>>;
    // On the scaled screen: through that screen's origin.
    EXPECT_EQ(summary(ScreenMapping::plan(mixedScreens, QRectF(2000, 100, 100, 50), 2.0)),
              Summary({200, 100}, true,
                      {{1, QRectF(1920 + 160, 200, 200, 100), QRectF(0, 0, 200, 100), true}}));
    // Spanning both screens, at the larger scale: 100 on each, 40 below the second one on no
    // monitor at all.
    const QRectF spanning(1820, 500, 200, 100);
    EXPECT_EQ(ScreenMapping::largestScale(mixedScreens, spanning), 2.0);
    EXPECT_EQ(summary(ScreenMapping::plan(mixedScreens, spanning, 2.0)),
              Summary({400, 200}, false,
                      {{0, QRectF(1820, 500, 100, 100), QRectF(0, 0, 200, 200), false},
                       {1, QRectF(1920, 1000, 200, 80), QRectF(200, 0, 200, 80), true}}));
    // Rounded sizes stretch the region over the whole image.
    const QList<ScreenArea> one{{QRectF(0, 0, 800, 600), QRect(0, 0, 800, 600), 1.0}};
    EXPECT_EQ(summary(ScreenMapping::plan(one, QRectF(10, 10, 100.5, 50.25), 2.0)),
              Summary({201, 101}, true,
                      {{0, QRectF(10, 10, 100.5, 50.25), QRectF(0, 0, 201, 101), false}}));
    // Off every screen.
    EXPECT_EQ(summary(ScreenMapping::plan(mixedScreens, QRectF(2900, 0, 50, 50), 1.0)),
              Summary({50, 50}, false, {}));
    EXPECT_EQ(ScreenMapping::largestScale(mixedScreens, QRectF(2900, 0, 50, 50)), 1.0);
}

TEST(ScreenMapping, XPixelsMapBackThroughTheScreenHoldingTheirCentre)
{
    EXPECT_EQ(ScreenMapping::toLogical(mixedScreens, QRect(2120, 100, 400, 300)),
              QRectF(2020, 50, 200, 150));
    EXPECT_EQ(ScreenMapping::screenAtDevicePoint(mixedScreens, {1920, 0}), 1);
    EXPECT_EQ(ScreenMapping::screenAtDevicePoint(mixedScreens, {5000, 0}), -1);
}

TEST(ScreenMapping, RecordedAreasAreTheScreensOwnPixelsUnlessAskedForAnotherScale)
{
    const struct {
        int screen;
        QRectF rect;
        double scale;
        QSize pixels; // what the caller asks for; empty: its own rounding
        QRect device;
        bool scaled;
        QPoint root, output; // a root pixel and where it lands in the frame
    } cases[] = {
        // On the scaled screen, through its own origin.
        {1,
         {2000, 100, 100, 50},
         2,
         {200, 100},
         {2080, 200, 200, 100},
         false,
         {2090, 210},
         {10, 10}},
        // Sizes rounded for the encoder crop or widen; they never resample.
        {0, {10, 10, 101, 51}, 1, {100, 50}, {10, 10, 100, 50}, false, {10, 10}, {0, 0}},
        {0, {10.4, 10.6, 99, 49}, 1, {100, 50}, {10, 11, 100, 50}, false, {12, 12}, {2, 1}},
        {0, {10, 10, 100.5, 50.25}, 1, {}, {10, 10, 101, 50}, false, {11, 11}, {1, 1}},
        // Another scale than the screen's: its pixels resampled.
        {0, {100, 100, 50, 40}, 2, {100, 80}, {100, 100, 50, 40}, true, {110, 120}, {20, 40}},
        // Past the screen's edge the area goes on in the same pixel space.
        {0,
         {1900, 1000, 100, 100},
         1,
         {100, 100},
         {1900, 1000, 100, 100},
         false,
         {1950, 1010},
         {50, 10}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rect.x());
        const DeviceArea area =
            DeviceArea::of(mixedScreens[c.screen], RecordingArea{1, c.rect, c.scale, c.pixels});
        EXPECT_EQ(area.device, c.device);
        EXPECT_EQ(area.output, c.pixels.isEmpty() ? c.device.size() : c.pixels);
        EXPECT_EQ(area.scaled(), c.scaled);
        EXPECT_EQ(area.toOutput(c.root), c.output);
    }
}
