#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayGeometry.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace zorv;
using Key = SelectionOverlayView::Key;
namespace G = zorv::SelectionOverlayGeometry;

namespace
{

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
    std::optional<QRectF> area() const
    {
        return result && result->isArea() ? std::optional(result->areaRect()) : std::nullopt;
    }
    uint32_t hovered() const { return view.hoveredWindow() ? view.hoveredWindow()->id : 0; }
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
        {"2.5 × 50 cancels", {102.5, 150}, std::nullopt},
        {"3 × 3 delivers", {103, 103}, QRectF(-1820, 100, 3, 3)},
        {"backwards drag", {40, 60}, QRectF(-1880, 60, 60, 40)},
        {"past the covered area is clipped", {-500, 2000}, QRectF(-1920, 100, 100, 980)},
    };
    for (const Case &c : cases) {
        Harness h;
        h.drag({100, 100}, c.to);
        h.view.mouseUp(c.to);
        EXPECT_EQ(h.finishes, 1) << c.what;
        EXPECT_EQ(h.area(), c.expected) << c.what;
    }
}

TEST(SelectionOverlayView, KeysNudgeDeliverAndCancel)
{
    Harness k;
    k.drag({100, 100}, {200, 150});
    for (Key key : {Key::right, Key::down})
        k.view.keyPressed(key, true);
    for (Key key : {Key::up, Key::left})
        k.view.keyPressed(key, false);
    EXPECT_FALSE(k.view.keyPressed(Key::other, false));
    k.view.keyPressed(Key::enter, false);
    EXPECT_EQ(k.area(), QRectF(-1811, 109, 100, 50));

    Harness none;
    none.view.mouseUp({50, 50}); // its press came before the overlay: no attempt
    EXPECT_EQ(none.finishes, 0);
    none.view.keyPressed(Key::enter, false); // nothing selected: cancels
    EXPECT_EQ(none.finishes, 1);

    Harness escape;
    escape.drag({100, 100}, {200, 150});
    escape.view.keyPressed(Key::escape, false);
    escape.view.keyPressed(Key::enter, false); // nothing reaches the caller again
    EXPECT_EQ(escape.finishes, 1);
    EXPECT_FALSE(escape.result || none.result);
}

TEST(SelectionOverlayView, SpaceTogglesWindowPickingOnlyForScreenshots)
{
    for (SelectionMode mode : {SelectionMode::recording, SelectionMode::scrolling}) {
        Harness h(mode);
        h.view.keyPressed(Key::space, false);
        EXPECT_FALSE(h.view.isWindowMode());
    }
    Harness h;
    h.view.setWindows({{1, QRectF(-1900, 10, 400, 300), {}, {}, 0, 0}});
    h.drag({100, 100}, {300, 300});
    h.view.keyPressed(Key::space, false);
    EXPECT_EQ(h.hovered(), 1u); // under the last pointer position
    h.view.keyPressed(Key::space, false);
    EXPECT_FALSE(h.view.isWindowMode());
}

TEST(SelectionOverlayView, WindowModePicksTheFrontMostWindowUnderAClick)
{
    Harness h(SelectionMode::screenshot, true);
    h.view.setInitialPointer({2500, 500});
    h.view.setWindows({{1, QRectF(500, 400, 200, 200), {}, {}, 0, 0},
                       {2, QRectF(0, 0, 1920, 1080), {}, {}, 0, 0}});
    // The list arrives after the overlay shows; the window under the pointer lights up then.
    EXPECT_EQ(h.hovered(), 1u);
    h.view.mouseDown({500, 500}); // global (-1420, 500): no window there
    EXPECT_EQ(h.finishes, 0);
    h.view.mouseMoved({2000, 50}); // global (80, 50): the big window behind
    EXPECT_EQ(h.hovered(), 2u);
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
    for (const QPointF &p : {QPointF(100, 100), QPointF(400, 300)})
        EXPECT_TRUE(h.dirtyCovers(G::crosshairStrips(p, bounds) << G::loupeRect(p, bounds)));
    qreal area = 0;
    for (const QRectF &d : h.dirty)
        area += d.width() * d.height();
    EXPECT_LT(area, bounds.width() * bounds.height() / 10);

    h.drag({100, 100}, {300, 200});
    h.dirty.clear();
    h.view.mouseDragged({250, 400});
    for (const QRectF &selection : {QRectF(100, 100, 200, 100), QRectF(100, 100, 150, 300)})
        EXPECT_TRUE(h.dirtyCovers(G::guideStrips(selection, bounds) << selection));

    // Started in window mode there is no snapshot; after Space the crosshair still follows.
    Harness w(SelectionMode::screenshot, true);
    w.view.keyPressed(Key::space, false);
    w.dirty.clear();
    w.view.mouseMoved({700, 700});
    EXPECT_TRUE(w.dirtyCovers(G::crosshairStrips({700, 700}, bounds)));
}
