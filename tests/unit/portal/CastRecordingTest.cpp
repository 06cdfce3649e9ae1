#include "platform/wayland/CastRecording.h"
#include "platform/wayland/CastGeometry.h"

#include <gtest/gtest.h>

using namespace zorv;

TEST(CastCrop, CutsTheAreaFromItsMonitorsFramesAtTheAreasScale)
{
    struct Case {
        const char *name;
        CastOutput output;
        QRectF rect;     // global logical
        QSize pixelSize; // of the recording
        QRect source;
        QPoint pointer; // in frame pixels …
        QPoint inArea;  // … in the area's pixels
    } cases[] = {
        {"same scale",
         {{0, 0, 1920, 1080}, {1920, 1080}},
         {100, 50, 640, 360},
         {640, 360},
         {100, 50, 640, 360},
         {420, 230},
         {320, 180}},
        {"second monitor, twice the pixels",
         {{1920, 0, 1280, 720}, {2560, 1440}},
         {2020, 100, 300, 200},
         {600, 400},
         {200, 200, 600, 400},
         {500, 400},
         {300, 200}},
        // A stream sent at half the screen's scale is stretched back to the area's size.
        {"stream below the area's scale",
         {{0, 0, 1920, 1080}, {960, 540}},
         {0, 0, 800, 600},
         {800, 600},
         {0, 0, 400, 300},
         {100, 150},
         {200, 300}},
        // Fractional positions round one way and sizes the other: the size stays exact,
        // inside the frame.
        {"rounding at the frame's edge",
         {{0, 0, 100, 50}, {100, 50}},
         {80.6, 10.4, 19.6, 20.2},
         {20, 20},
         {80, 10, 20, 20},
         {80, 10},
         {0, 0}},
    };
    for (const Case &c : cases) {
        const CastCrop crop = cropFor(c.output, c.rect, c.pixelSize);
        EXPECT_EQ(crop.source, c.source) << c.name;
        EXPECT_EQ(crop.target, c.pixelSize) << c.name;
        EXPECT_TRUE(QRect(QPoint(), c.output.pixels).contains(crop.source)) << c.name;
        EXPECT_EQ(crop.toArea(c.pointer), c.inArea) << c.name;
    }
    // An area off the shared monitor has nothing to cut.
    EXPECT_TRUE(cropFor({{0, 0, 1920, 1080}, {1920, 1080}}, {1920, 0, 100, 100}, {100, 100})
                    .source.isEmpty());
}

TEST(CastCursorMode, ThePointerIsDrawnOnceOrNotAtAll)
{
    constexpr uint hidden = 1, embedded = 2, metadata = 4;
    struct Case {
        bool wanted;
        uint offered; // 0: the portal did not say
        CastCursor mode;
    } cases[] = {
        {true, hidden | embedded | metadata, CastCursor::Metadata},
        {true, hidden | embedded, CastCursor::Embedded}, // wlroots
        {true, 0, CastCursor::Embedded},
        {true, hidden, CastCursor::Hidden},
        {false, hidden | embedded | metadata, CastCursor::Hidden},
        {false, 0, CastCursor::Hidden},
        {false, embedded, CastCursor::Embedded},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CastRecording::cursorMode(c.wanted, c.offered), c.mode)
            << c.wanted << " " << c.offered;
}
