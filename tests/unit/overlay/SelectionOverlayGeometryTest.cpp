#include "capture/overlay/SelectionOverlayGeometry.h"

#include <gtest/gtest.h>

using namespace zorv;
namespace G = zorv::SelectionOverlayGeometry;

namespace
{
const QRectF view(0, 0, 1920, 1080);
} // namespace

TEST(SelectionOverlayGeometry, SizeLabelGoesAboveBelowAndStaysInside)
{
    const QSizeF text(60, 14); // background 80 × 24
    const std::pair<QRectF, QPointF> cases[] = {
        {QRectF(500, 500, 200, 100), {560, 468}}, // centred 8 above
        {QRectF(500, 20, 200, 100), {560, 128}},  // no room above: 8 below
        {QRectF(500, 36, 200, 100), {560, 4}},    // exactly 4 from the top stays above
        {QRectF(0, 500, 20, 20), {4, 468}},       // clamped at the left edge
        {QRectF(1900, 500, 20, 20), {1836, 468}}, // and at the right
    };
    for (const auto &[selection, topLeft] : cases)
        EXPECT_EQ(G::sizeLabelRect(selection, text, view).topLeft(), topLeft) << selection.x();
}

TEST(SelectionOverlayGeometry, LoupeFlipsAndClampsNearEdges)
{
    const std::pair<QPointF, QPointF> cases[] = {
        {{500, 500}, {522, 522}},    // right of and below the pointer
        {{1800, 500}, {1650, 522}},  // flips left near the right edge
        {{500, 1000}, {522, 850}},   // flips above near the bottom edge
        {{1919, 1079}, {1769, 929}}, // bottom-right corner: both
    };
    for (const auto &[pointer, topLeft] : cases)
        EXPECT_EQ(G::loupeRect(pointer, view).topLeft(), topLeft) << pointer.x() << pointer.y();
    // A view too low for the loupe above or below keeps it 8 from the top.
    EXPECT_EQ(G::loupeRect({10, 100}, QRectF(0, 0, 400, 150)).topLeft(), QPointF(32, 8));
}

TEST(SelectionOverlayGeometry, LoupeSourceIsClippedToTheSnapshot)
{
    EXPECT_EQ(G::loupeSource({0, 0}, QSize(1920, 1080), view.size()), QRect(0, 0, 13, 13));
    EXPECT_EQ(G::loupeSource({1920, 1080}, QSize(1920, 1080), view.size()),
              QRect(1907, 1067, 13, 13));
    EXPECT_TRUE(G::loupeSource({100, 100}, QSize(), view.size()).isEmpty());
}

TEST(SelectionOverlayGeometry, NudgingAndDraggingClipAtTheEdges)
{
    EXPECT_EQ(G::nudged(QRectF(1860, 100, 50, 50), 10, 0, view), QRectF(1870, 100, 50, 50));
    EXPECT_EQ(G::nudged(QRectF(1870, 100, 50, 50), 10, 0, view), QRectF(1880, 100, 40, 50));
    EXPECT_EQ(G::nudged(QRectF(0, 0, 50, 50), -1, -1, view), QRectF(0, 0, 49, 49));
    // A line stays a (too small) line instead of jumping to the origin.
    EXPECT_EQ(G::dragRect({10, 10}, {10, 60}, view), QRectF(10, 10, 0, 50));
}

TEST(SelectionOverlayGeometry, WindowsAreHitHalfOpenThroughTheUnionOrigin)
{
    // A secondary screen left of and above the primary: the view starts at (-1280, -200).
    const QPointF origin(-1280, -200);
    const QList<WindowInfo> windows{{1, QRectF(-1180, -100, 200, 200), {}, {}, 0, 0},
                                    {2, QRectF(-1280, -200, 1000, 1000), {}, {}, 0, 0}};
    const std::pair<QPointF, uint32_t> cases[] = {
        {{150, 150}, 1}, {{100, 100}, 1}, {{300, 150}, 2}, {{150, 300}, 2}, {{1000, 5}, 0}};
    for (const auto &[at, id] : cases) {
        const auto hit = G::windowAt(windows, at, origin);
        EXPECT_EQ(hit ? hit->id : 0, id) << at.x() << ", " << at.y();
    }
    EXPECT_EQ(G::highlightRect(windows[0], origin), QRectF(96, 96, 208, 208));
}

TEST(SelectionOverlayGeometry, WindowLabelIsCutAndKeptAboveTheBottom)
{
    EXPECT_EQ(G::windowLabelRect(QRectF(100, 100, 500, 300), 900, view).width(), 360);
    EXPECT_EQ(G::windowLabelRect(QRectF(100, 1070, 500, 300), 80, view).top(), 1050);
}
