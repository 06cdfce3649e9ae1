#include "platform/wayland/CastGeometry.h"
#include "platform/wayland/DesktopCast.h"

#include <QColor>
#include <QImage>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{
QImage filled(int w, int h, QColor color)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// A frame whose every pixel tells where it lies: red = x, green = y, blue = `tag`.
QImage gradient(int w, int h, int tag)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb(x, y, tag));
    return image;
}
} // namespace

TEST(ComposeFrames, CutsAndJoinsTheFramesARectangleTouches)
{
    const QList<HeldFrame> sideBySide{{QRectF(0, 0, 100, 50), gradient(100, 50, 1)},
                                      {QRectF(100, 10, 60, 30), gradient(60, 30, 2)}};
    const QList<HeldFrame> doubled{{QRectF(0, 0, 100, 50), gradient(200, 100, 3)}};
    const QList<HeldFrame> leftOfOrigin{{QRectF(-60, 0, 60, 30), gradient(60, 30, 4)},
                                        {QRectF(0, 0, 100, 50), gradient(100, 50, 5)}};
    struct Probe {
        QPoint at;
        QRgb pixel; // 0: transparent
    };
    struct Case {
        const char *name;
        QList<HeldFrame> frames;
        QRectF rect;
        double scale;
        QSize size;
        QList<Probe> probes;
    } cases[] = {
        {"inside one frame",
         sideBySide,
         QRectF(10, 5, 20, 10),
         1,
         QSize(20, 10),
         {{{0, 0}, qRgb(10, 5, 1)}, {{19, 9}, qRgb(29, 14, 1)}}},
        {"across two frames, transparent where none lies",
         sideBySide,
         QRectF(90, 0, 20, 20),
         1,
         QSize(20, 20),
         {{{9, 0}, qRgb(99, 0, 1)},
          {{10, 0}, 0},
          {{10, 10}, qRgb(0, 0, 2)},
          {{19, 19}, qRgb(9, 9, 2)}}},
        {"reaching past every frame",
         sideBySide,
         QRectF(150, 30, 20, 20),
         1,
         QSize(20, 20),
         {{{0, 0}, qRgb(50, 20, 2)}, {{9, 9}, qRgb(59, 29, 2)}, {{10, 0}, 0}, {{0, 10}, 0}}},
        {"a doubled frame at its own scale",
         doubled,
         QRectF(10, 5, 20, 10),
         2,
         QSize(40, 20),
         {{{0, 0}, qRgb(20, 10, 3)}, {{39, 19}, qRgb(59, 29, 3)}}},
        {"sizes rounded half away from zero",
         doubled,
         QRectF(0, 0, 10.25, 10.75),
         2,
         QSize(21, 22),
         {}},
        {"a screen left of the origin",
         leftOfOrigin,
         QRectF(-10, 0, 20, 10),
         1,
         QSize(20, 10),
         {{{0, 0}, qRgb(50, 0, 4)}, {{10, 0}, qRgb(0, 0, 5)}}},
    };
    for (const Case &c : cases) {
        const QImage image = composeFrames(c.frames, c.rect, c.scale);
        EXPECT_EQ(image.size(), c.size) << c.name;
        for (const Probe &probe : c.probes)
            EXPECT_EQ(image.pixel(probe.at), probe.pixel)
                << c.name << " at " << probe.at.x() << "," << probe.at.y();
    }
    EXPECT_TRUE(composeFrames(sideBySide, QRectF(0, 0, 0, 10), 1).isNull());
    EXPECT_EQ(largestFrameScale(doubled + sideBySide, QRectF(90, 0, 20, 20)), 2.0);
    EXPECT_EQ(largestFrameScale(doubled, QRectF(500, 0, 20, 20)), 1.0);
}

TEST(CropLayoutPicture, GivesEachScreenItsPartOfOnePictureOfTheLayout)
{
    // Two screens side by side, the second shorter, as one picture of the bounding rectangle.
    QImage picture = filled(160, 50, Qt::black);
    for (int y = 0; y < 30; ++y)
        for (int x = 100; x < 160; ++x)
            picture.setPixel(x, y, qRgb(x - 100, y, 9));
    const QList<QRectF> layout{QRectF(0, 0, 100, 50), QRectF(100, 0, 60, 30)};
    const QList<QImage> parts = cropLayoutPicture(picture, layout);
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(parts[0].size(), QSize(100, 50));
    EXPECT_EQ(parts[1].size(), QSize(60, 30));
    EXPECT_EQ(parts[1].pixel(0, 0), qRgb(0, 0, 9));
    EXPECT_EQ(parts[1].pixel(59, 29), qRgb(59, 29, 9));

    // The same layout shifted left of the origin, pictured at twice the scale.
    const QList<QRectF> shifted{QRectF(-100, 0, 100, 50), QRectF(0, 0, 60, 30)};
    const QList<QImage> doubled =
        cropLayoutPicture(picture.scaled(320, 100, Qt::IgnoreAspectRatio), shifted);
    ASSERT_EQ(doubled.size(), 2);
    EXPECT_EQ(doubled[1].size(), QSize(120, 60));

    EXPECT_TRUE(cropLayoutPicture(filled(160, 80, Qt::black), layout).isEmpty())
        << "a picture of another shape is not cut up";
    EXPECT_TRUE(cropLayoutPicture(QImage(), layout).isEmpty());
}

TEST(StillRoute, StreamsWhereThePortalCanFallsBackOrSaysWhyNot)
{
    const uint monitors = 1, windows = 2, hidden = 1, embedded = 2;
    struct Case {
        const char *name;
        PortalOffer offer;
        bool stream, screenshot;
    } cases[] = {
        {"a full portal", {2, 4, monitors | windows, hidden | embedded, {}}, true, true},
        {"ScreenCast too old", {2, 3, monitors, hidden, {}}, false, true},
        {"no monitor sources", {2, 4, windows, hidden, {}}, false, true},
        {"pointer always shown", {2, 4, monitors, embedded, {}}, false, true},
        {"no ScreenCast", {2, std::nullopt, 0, 0, {}}, false, true},
        {"Screenshot too old", {1, 4, monitors, hidden, {}}, true, false},
        {"neither", {std::nullopt, std::nullopt, 0, 0, {}}, false, false},
        // Tried at each capture, which then says what failed.
        {"no answer at start", {std::nullopt, std::nullopt, 0, 0, "timed out"}, true, true},
    };
    for (const Case &c : cases) {
        const StillRoute route = stillRoute(c.offer);
        EXPECT_EQ(!route.castProblem, c.stream) << c.name;
        EXPECT_EQ(!route.screenshotProblem, c.screenshot) << c.name;
        EXPECT_EQ(!route.problem(), c.stream || c.screenshot) << c.name;
        if (route.problem()) {
            EXPECT_FALSE(route.problem()->isEmpty()) << c.name;
        }
    }
}
