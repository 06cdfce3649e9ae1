#include "capture/overlay/SelectionOverlayGeometry.h"

#include <gtest/gtest.h>

using namespace zorv;
namespace G = zorv::SelectionOverlayGeometry;

namespace
{
const QRectF view(0, 0, 1920, 1080);

WindowInfo window(uint32_t id, const QRectF &frame)
{
    WindowInfo info;
    info.id = id;
    info.frame = frame;
    info.title = QStringLiteral("w%1").arg(id);
    return info;
}
} // namespace

TEST(SelectionOverlayGeometry, SizeLabelGoesAboveBelowAndStaysInside)
{
    const QSizeF text(60, 14); // background 80 × 24
    struct Case {
        const char *what;
        QRectF selection;
        QRectF expected;
    } cases[] = {
        {"centred 8 above", QRectF(500, 500, 200, 100), QRectF(560, 468, 80, 24)},
        {"no room above: 8 below", QRectF(500, 20, 200, 100), QRectF(560, 128, 80, 24)},
        {"exactly 4 from the top stays above", QRectF(500, 36, 200, 100), QRectF(560, 4, 80, 24)},
        {"clamped at the left edge", QRectF(0, 500, 20, 20), QRectF(4, 468, 80, 24)},
        {"clamped at the right edge", QRectF(1900, 500, 20, 20), QRectF(1836, 468, 80, 24)},
    };
    for (const Case &c : cases)
        EXPECT_EQ(G::sizeLabelRect(c.selection, text, view), c.expected) << c.what;
}

TEST(SelectionOverlayGeometry, LoupeFlipsAndClampsNearEdges)
{
    struct Case {
        const char *what;
        QPointF pointer;
        QPointF topLeft;
    } cases[] = {
        {"right of and below the pointer", {500, 500}, {522, 522}},
        {"flips left near the right edge", {1800, 500}, {1650, 522}},
        {"flips above near the bottom edge", {500, 1000}, {522, 850}},
        {"bottom-right corner: left and above", {1919, 1079}, {1769, 929}},
        {"top-left corner", {0, 0}, {22, 22}},
        {"tiny view: kept 8 from the top", {10, 100}, {32, 8}},
    };
    for (const Case &c : cases) {
        const QRectF bounds = QString(c.what).startsWith("tiny") ? QRectF(0, 0, 400, 150) : view;
        EXPECT_EQ(G::loupeRect(c.pointer, bounds), QRectF(c.topLeft, QSizeF(128, 128))) << c.what;
    }
}

TEST(SelectionOverlayGeometry, LoupeSourceIsFiveTimesMagnifiedAndClipped)
{
    // Same pixel density: 25.6 points around the pointer, whole pixels.
    EXPECT_EQ(G::loupeSource({100, 100}, QSize(1920, 1080), view.size()), QRect(87, 87, 26, 26));
    // Twice the pixels (a high-density snapshot): twice the pixel span.
    EXPECT_EQ(G::loupeSource({100, 100}, QSize(3840, 2160), view.size()), QRect(174, 174, 52, 52));
    // At the top-left corner only the part on the snapshot remains.
    EXPECT_EQ(G::loupeSource({0, 0}, QSize(1920, 1080), view.size()), QRect(0, 0, 13, 13));
    EXPECT_EQ(G::loupeSource({1920, 1080}, QSize(1920, 1080), view.size()),
              QRect(1907, 1067, 13, 13));
    EXPECT_TRUE(G::loupeSource({100, 100}, QSize(), view.size()).isEmpty());
}

TEST(SelectionOverlayGeometry, DragIsClippedAndNormalised)
{
    EXPECT_EQ(G::dragRect({300, 200}, {100, 50}, view), QRectF(100, 50, 200, 150));
    EXPECT_EQ(G::dragRect({1800, 1000}, {2500, -40}, view), QRectF(1800, 0, 120, 1000));
    // A line stays a (too small) line instead of jumping to the origin.
    EXPECT_EQ(G::dragRect({10, 10}, {10, 60}, view), QRectF(10, 10, 0, 50));
}

TEST(SelectionOverlayGeometry, MinimumDeliverableSize)
{
    EXPECT_FALSE(G::isDeliverable(std::nullopt));
    EXPECT_FALSE(G::isDeliverable(QRectF(0, 0, 2, 50)));
    EXPECT_FALSE(G::isDeliverable(QRectF(0, 0, 50, 2.9)));
    EXPECT_TRUE(G::isDeliverable(QRectF(0, 0, 3, 3)));
}

TEST(SelectionOverlayGeometry, NudgingMovesAndShrinksAtEdges)
{
    EXPECT_EQ(G::nudged(QRectF(100, 100, 50, 50), 10, 0, view), QRectF(110, 100, 50, 50));
    EXPECT_EQ(G::nudged(QRectF(1860, 100, 50, 50), 10, 0, view), QRectF(1870, 100, 50, 50));
    EXPECT_EQ(G::nudged(QRectF(1870, 100, 50, 50), 10, 0, view), QRectF(1880, 100, 40, 50));
    EXPECT_EQ(G::nudged(QRectF(0, 0, 50, 50), -1, -1, view), QRectF(0, 0, 49, 49));
}

TEST(SelectionOverlayGeometry, WindowHitTestingTakesTheFrontMostAndHalfOpenEdges)
{
    const QList<WindowInfo> windows{window(1, QRectF(100, 100, 200, 200)),
                                    window(2, QRectF(0, 0, 1000, 1000))};
    const QPointF origin(0, 0);
    EXPECT_EQ(G::windowAt(windows, {150, 150}, origin)->id, 1u);
    EXPECT_EQ(G::windowAt(windows, {100, 100}, origin)->id, 1u); // left/top edges inside
    EXPECT_EQ(G::windowAt(windows, {300, 150}, origin)->id, 2u); // right edge outside
    EXPECT_EQ(G::windowAt(windows, {150, 300}, origin)->id, 2u); // bottom edge outside
    EXPECT_FALSE(G::windowAt(windows, {1000, 5}, origin));
    EXPECT_FALSE(G::windowAt({}, {5, 5}, origin));
}

TEST(SelectionOverlayGeometry, TwoScreensConvertThroughTheUnionOrigin)
{
    // A secondary screen left of the primary: the covered area starts at x = -1280.
    const QPointF origin(-1280, -200);
    const WindowInfo onSecondary = window(7, QRectF(-1000, 0, 300, 200));
    EXPECT_EQ(G::toView(onSecondary.frame, origin), QRectF(280, 200, 300, 200));
    EXPECT_EQ(G::windowAt({onSecondary}, {300, 250}, origin)->id, 7u);
    // A selection in the view comes back in global coordinates.
    EXPECT_EQ(G::toGlobal(QRectF(280, 200, 300, 200), origin), onSecondary.frame);
    EXPECT_EQ(G::highlightRect(onSecondary, origin), QRectF(276, 196, 308, 208));
}

TEST(SelectionOverlayGeometry, WindowLabelSitsInsideTheTopLeftCorner)
{
    EXPECT_EQ(G::windowLabelRect(QRectF(100, 100, 500, 300), 80, view), QRectF(108, 108, 100, 26));
    // Long names are cut at 360 points.
    EXPECT_EQ(G::windowLabelRect(QRectF(100, 100, 500, 300), 900, view).width(), 360);
    // A window reaching below the view keeps its label 4 points above the bottom.
    EXPECT_EQ(G::windowLabelRect(QRectF(100, 1070, 500, 300), 80, view).top(), 1050);
}
