#include "recording/RecordingGeometry.h"

#include <QImage>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

const QList<DisplayInfo> twoDisplays = {{1, QRectF(0, 0, 1920, 1080)},
                                        {2, QRectF(1920, 0, 1280, 1024)}};

TEST(RecordingGeometry, ChoosesTheDisplayHoldingTheCentre)
{
    struct Case {
        const char *name;
        QList<DisplayInfo> displays;
        QRectF rect;
        std::optional<uint32_t> display;
    };
    const Case cases[] = {
        {"centre on the first", twoDisplays, QRectF(100, 100, 200, 200), 1},
        {"across both, centre on the second", twoDisplays, QRectF(1700, 0, 800, 100), 2},
        {"centre on the shared edge belongs to the right one", twoDisplays,
         QRectF(1900, 10, 40, 10), 2},
        {"centre below the second display", twoDisplays, QRectF(2000, 1030, 100, 100), 1},
        {"centre on no display", twoDisplays, QRectF(-500, -500, 100, 100), 1},
        {"no displays", {}, QRectF(0, 0, 10, 10), std::nullopt},
    };
    for (const Case &c : cases) {
        const std::optional<DisplayInfo> chosen =
            RecordingGeometry::chooseDisplay(c.displays, c.rect);
        ASSERT_EQ(chosen.has_value(), c.display.has_value()) << c.name;
        if (chosen) {
            EXPECT_EQ(chosen->id, *c.display) << c.name;
        }
    }
}

TEST(RecordingGeometry, RoundsToEvenFramesWithoutRejecting)
{
    struct Case {
        const char *name;
        QRectF display;
        QRectF rect;
        double scale;
        QSize pixels;    // the rounded size before the encoder's needs
        QRectF grabbed;  // what is grabbed
        QSize grabSize;  // and its pixels
        QSize frameSize; // what is encoded
    };
    const QRectF fullHD(0, 0, 1920, 1080);
    const Case cases[] = {
        {"a point becomes the minimum",
         fullHD,
         QRectF(10, 10, 1, 1),
         1,
         {2, 2},
         QRectF(10, 10, 1, 1),
         {2, 2},
         {2, 2}},
        {"halves round away from zero; one more column grabbed",
         fullHD,
         QRectF(10, 10, 100.5, 50.25),
         1,
         {101, 50},
         QRectF(10, 10, 101.5, 50.25),
         {102, 50},
         {102, 50}},
        {"at the right edge the column comes from the left",
         fullHD,
         QRectF(1819, 0, 101, 50),
         1,
         {101, 50},
         QRectF(1818, 0, 102, 50),
         {102, 50},
         {102, 50}},
        {"odd rows at scale 2 take half a logical unit more",
         fullHD,
         QRectF(0, 0, 10, 10.25),
         2,
         {20, 21},
         QRectF(0, 0, 10, 10.75),
         {20, 22},
         {20, 22}},
        {"a drag towards the top left is the same area",
         fullHD,
         QRectF(110.5, 60.25, -100.5, -50.25),
         1,
         {101, 50},
         QRectF(10, 10, 101.5, 50.25),
         {102, 50},
         {102, 50}},
        {"no scale counts as 1",
         fullHD,
         QRectF(0, 0, 10, 10),
         0,
         {10, 10},
         QRectF(0, 0, 10, 10),
         {10, 10},
         {10, 10}},
        {"a whole odd display is padded",
         QRectF(0, 0, 1365, 767),
         QRectF(0, 0, 1365, 767),
         1,
         {1365, 767},
         QRectF(0, 0, 1365, 767),
         {1365, 767},
         {1366, 768}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(
            RecordingGeometry::pixelSize(c.rect.normalized().size(), c.scale > 0 ? c.scale : 1),
            c.pixels)
            << c.name;
        const RecordingGeometry::Plan plan =
            RecordingGeometry::plan({7, c.display}, c.rect, c.scale);
        EXPECT_EQ(plan.area.displayID, 7u) << c.name;
        EXPECT_EQ(plan.area.rect, c.grabbed) << c.name;
        EXPECT_EQ(plan.area.pixelSize, c.grabSize) << c.name;
        EXPECT_EQ(plan.frameSize, c.frameSize) << c.name;
    }
}

TEST(RecordingGeometry, PaddingRepeatsTheLastRowAndColumn)
{
    QImage frame(4, 4, QImage::Format_RGB32);
    frame.fill(Qt::black);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x)
            frame.setPixel(x, y, qRgb(10 * x, 10 * y, 200));
    RecordingGeometry::padEdges(frame, QSize(3, 3));
    for (int y = 0; y < 4; ++y)
        EXPECT_EQ(frame.pixel(3, y), frame.pixel(2, std::min(y, 2))) << y;
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(frame.pixel(x, 3), frame.pixel(x, 2)) << x;
}

} // namespace
