#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayGeometry.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace zorv;
using Key = SelectionOverlayView::Key;
namespace G = zorv::SelectionOverlayGeometry;

namespace
{

WindowInfo window(uint32_t id, const QRectF &frame)
{
    WindowInfo info;
    info.id = id;
    info.frame = frame;
    info.title = QStringLiteral("Window %1").arg(id);
    return info;
}

// A view over two side-by-side 1920 × 1080 screens whose covered area starts
// at (-1920, 0): the secondary screen is left of the primary.
struct Harness {
    explicit Harness(SelectionMode mode = SelectionMode::screenshot, bool windowMode = false)
        : view(mode, windowMode, QRectF(-1920, 0, 3840, 1080))
    {
        view.onFinish = [this](std::optional<SelectionOutcome> outcome) {
            ++finishes;
            result = std::move(outcome);
        };
        view.onDirty = [this](const QRectF &rect) { dirty.append(rect); };
    }
    void drag(QPointF from, QPointF to)
    {
        view.mouseDown(from);
        view.mouseDragged((from + to) / 2);
        view.mouseDragged(to);
    }
    // Every one of `rects` lies inside one dirty rectangle.
    bool dirtyCovers(const QList<QRectF> &rects) const
    {
        return std::all_of(rects.begin(), rects.end(), [this](const QRectF &rect) {
            return std::any_of(dirty.begin(), dirty.end(),
                               [&rect](const QRectF &d) { return d.contains(rect); });
        });
    }

    SelectionOverlayView view;
    int finishes = 0;
    std::optional<SelectionOutcome> result;
    QList<QRectF> dirty;
};

} // namespace

TEST(SelectionOverlayView, MouseUpDeliversOnlySelectionsOfAtLeastThreeByThree)
{
    struct Case {
        const char *what;
        QPointF to;
        std::optional<QRectF> expected;
    } cases[] = {
        {"click without drag cancels", {100, 100}, std::nullopt},
        {"2 × 50 cancels", {102, 150}, std::nullopt},
        {"3 × 3 delivers", {103, 103}, QRectF(-1820, 100, 3, 3)},
        {"backwards drag", {40, 60}, QRectF(-1880, 60, 60, 40)},
        {"past the covered area is clipped", {-500, 2000}, QRectF(-1920, 100, 100, 980)},
    };
    for (const Case &c : cases) {
        Harness h;
        h.drag({100, 100}, c.to);
        h.view.mouseUp(c.to);
        EXPECT_EQ(h.finishes, 1) << c.what;
        if (c.expected) {
            ASSERT_TRUE(h.result && h.result->isArea()) << c.what;
            EXPECT_EQ(h.result->areaRect(), *c.expected) << c.what;
        } else {
            EXPECT_FALSE(h.result) << c.what;
        }
    }
}

TEST(SelectionOverlayView, AReleaseWithoutAPressInTheOverlayIsIgnored)
{
    Harness h;
    h.view.mouseUp({50, 50});
    EXPECT_EQ(h.finishes, 0);
}

TEST(SelectionOverlayView, KeysNudgeDeliverAndCancel)
{
    Harness k;
    k.drag({100, 100}, {200, 150});
    k.view.keyPressed(Key::right, true);
    EXPECT_EQ(k.view.selection(), QRectF(110, 100, 100, 50));
    k.view.keyPressed(Key::up, false);
    EXPECT_EQ(k.view.selection(), QRectF(110, 99, 100, 50));
    k.view.keyPressed(Key::down, true);
    k.view.keyPressed(Key::left, false);
    EXPECT_EQ(k.view.selection(), QRectF(109, 109, 100, 50));
    EXPECT_FALSE(k.view.keyPressed(Key::other, false));
    EXPECT_EQ(k.finishes, 0);
    k.view.keyPressed(Key::enter, false);
    ASSERT_TRUE(k.result);
    EXPECT_EQ(k.result->areaRect(), QRectF(-1811, 109, 100, 50));

    Harness shrink;
    shrink.drag({3800, 10}, {3830, 40});
    shrink.view.keyPressed(Key::right, true);
    shrink.view.keyPressed(Key::right, true);
    EXPECT_EQ(shrink.view.selection(), QRectF(3820, 10, 20, 30));

    Harness none;
    none.view.keyPressed(Key::enter, false);
    EXPECT_EQ(none.finishes, 1);
    EXPECT_FALSE(none.result);

    Harness escape;
    escape.drag({100, 100}, {200, 150});
    escape.view.keyPressed(Key::escape, false);
    EXPECT_EQ(escape.finishes, 1);
    EXPECT_FALSE(escape.result);
    // Nothing after finishing reaches the caller again.
    escape.view.keyPressed(Key::enter, false);
    escape.view.mouseUp({1, 1});
    EXPECT_EQ(escape.finishes, 1);
}

TEST(SelectionOverlayView, SpaceTogglesWindowPickingOnlyForScreenshots)
{
    for (SelectionMode mode : {SelectionMode::recording, SelectionMode::scrolling}) {
        Harness h(mode);
        EXPECT_TRUE(h.view.keyPressed(Key::space, false));
        EXPECT_FALSE(h.view.isWindowMode());
    }

    Harness h;
    h.view.setWindows({window(1, QRectF(-1900, 10, 400, 300))});
    h.drag({100, 100}, {300, 300});
    h.view.keyPressed(Key::space, false);
    EXPECT_TRUE(h.view.isWindowMode());
    EXPECT_EQ(h.view.hoveredWindow()->id, 1u); // under the last pointer position
    h.view.keyPressed(Key::space, false);
    EXPECT_FALSE(h.view.isWindowMode());
    EXPECT_FALSE(h.view.hoveredWindow());
    // The selection made before toggling survives and is delivered.
    h.view.keyPressed(Key::enter, false);
    ASSERT_TRUE(h.result && h.result->isArea());
    EXPECT_EQ(h.result->areaRect(), QRectF(-1820, 100, 200, 200));
}

TEST(SelectionOverlayView, WindowModePicksTheFrontMostWindowUnderAClick)
{
    Harness h(SelectionMode::screenshot, true);
    h.view.setInitialPointer({2500, 500});
    h.view.setWindows({window(1, QRectF(500, 400, 200, 200)), window(2, QRectF(0, 0, 1920, 1080))});
    // The list arrives after the overlay shows; the window under the pointer lights up then.
    EXPECT_EQ(h.view.hoveredWindow()->id, 1u);

    h.view.mouseDown({500, 500}); // global (-1420, 500): no window there
    EXPECT_EQ(h.finishes, 0);
    h.view.mouseMoved({2000, 50}); // global (80, 50): the big window behind
    EXPECT_EQ(h.view.hoveredWindow()->id, 2u);
    h.view.mouseDown({2450, 450}); // global (530, 450): the small window in front
    ASSERT_TRUE(h.result && h.result->isWindow());
    EXPECT_EQ(h.result->windowInfo().id, 1u);
}

TEST(SelectionOverlayView, RedrawsTheOldAndNewDecorationsAndLittleElse)
{
    Harness h;
    h.view.setInitialPointer({100, 100});
    h.view.setSnapshot(QImage(3840, 1080, QImage::Format_RGB32));
    h.dirty.clear();
    h.view.mouseMoved({400, 300});
    const QRectF bounds = h.view.bounds();
    for (const QPointF &p : {QPointF(100, 100), QPointF(400, 300)}) {
        EXPECT_TRUE(h.dirtyCovers({G::loupeRect(p, bounds)}));
        EXPECT_TRUE(h.dirtyCovers(G::crosshairStrips(p, bounds)));
    }
    qreal area = 0;
    for (const QRectF &d : h.dirty)
        area += d.width() * d.height();
    EXPECT_LT(area, bounds.width() * bounds.height() / 10);

    h.drag({100, 100}, {300, 200});
    h.dirty.clear();
    h.view.mouseDragged({250, 400});
    for (const QRectF &selection : {QRectF(100, 100, 200, 100), QRectF(100, 100, 150, 300)}) {
        EXPECT_TRUE(h.dirtyCovers({selection}));
        EXPECT_TRUE(h.dirtyCovers(G::guideStrips(selection, bounds)));
    }
}

TEST(SelectionOverlayView, CrosshairFollowsThePointerEvenWithoutASnapshot)
{
    // Started in window mode there is never a snapshot; after Space the
    // crosshair must still follow the pointer.
    Harness h(SelectionMode::screenshot, true);
    h.view.keyPressed(Key::space, false);
    h.dirty.clear();
    h.view.mouseMoved({700, 700});
    EXPECT_TRUE(h.dirtyCovers(G::crosshairStrips({700, 700}, h.view.bounds())));
}
