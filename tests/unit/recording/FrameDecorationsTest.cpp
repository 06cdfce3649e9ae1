#include "recording/FrameDecorations.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{

class OneClick : public ClickSource
{
  public:
    QList<PointerClick> clicks;
    QList<PointerClick> takeClicks() override { return std::exchange(clicks, {}); }
};

class FixedCursor : public CursorSource
{
  public:
    CursorSnapshot snapshot;
    std::optional<CursorSnapshot> current() override { return snapshot; }
};

bool changed(const QImage &frame, QPoint at)
{
    return frame.pixel(at) != qRgb(0, 0, 0);
}

TEST(FrameDecorations, RingsGrowWithTheScaleAndFadeAway)
{
    struct Case {
        double scale;
        int64_t ageNs;
        int radius; // where the ring is expected; 0: no ring
    };
    const int64_t ms = 1'000'000;
    const Case cases[] = {{1, 0, 8},         {2, 0, 16},       {1, 200 * ms, 18},
                          {2, 200 * ms, 36}, {1, 400 * ms, 0}, {1, -10 * ms, 0}};
    for (const Case &c : cases) {
        auto clicks = std::make_unique<OneClick>();
        clicks->clicks = {{1000 * ms, QPoint(100, 100), 1}};
        FrameDecorations decorations(nullptr, std::move(clicks), c.scale);
        QImage frame(200, 200, QImage::Format_RGB32);
        frame.fill(Qt::black);
        decorations.draw(frame, frame.size(), 1000 * ms + c.ageNs);
        const QString name = QStringLiteral("scale %1, %2 ms").arg(c.scale).arg(c.ageNs / ms);
        if (c.radius == 0) {
            EXPECT_EQ(frame.pixel(100 + 8, 100), qRgb(0, 0, 0)) << name.toStdString();
            EXPECT_EQ(frame.pixel(100 + 18, 100), qRgb(0, 0, 0)) << name.toStdString();
            continue;
        }
        EXPECT_TRUE(changed(frame, QPoint(100 + c.radius, 100))) << name.toStdString();
        EXPECT_TRUE(changed(frame, QPoint(100, 100 - c.radius))) << name.toStdString();
        EXPECT_FALSE(changed(frame, QPoint(100, 100))) << name.toStdString(); // a ring, not a disc
        EXPECT_FALSE(changed(frame, QPoint(100 + 2 * c.radius, 100))) << name.toStdString();
    }
}

TEST(FrameDecorations, ThePointerIsDrawnAtItsHotSpotInsideTheGrabbedPart)
{
    auto cursor = std::make_unique<FixedCursor>();
    cursor->snapshot.image = QImage(4, 4, QImage::Format_ARGB32_Premultiplied);
    cursor->snapshot.image.fill(Qt::red);
    cursor->snapshot.hotspot = QPoint(1, 1);
    cursor->snapshot.position = QPoint(9, 5);
    FrameDecorations decorations(std::move(cursor), nullptr, 1);
    QImage frame(12, 8, QImage::Format_RGB32);
    frame.fill(Qt::black);
    decorations.draw(frame, QSize(11, 8), 0);
    EXPECT_EQ(frame.pixel(8, 4), qRgb(255, 0, 0));
    EXPECT_EQ(frame.pixel(10, 7), qRgb(255, 0, 0));
    EXPECT_EQ(frame.pixel(7, 4), qRgb(0, 0, 0));
    EXPECT_EQ(frame.pixel(11, 7), qRgb(0, 0, 0)); // the padding column is not drawn on
}

} // namespace
