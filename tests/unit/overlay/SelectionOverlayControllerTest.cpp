#include "capture/overlay/SelectionOverlayController.h"
#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayWindow.h"
#include "support/fake/FakeWindowSystem.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>

using namespace zorv;
using Controller = SelectionOverlayController;

namespace
{

Controller::Screen screen(const QRect &geometry)
{
    QScreen *primary = QGuiApplication::primaryScreen();
    return {primary, primary->name(), geometry, primary->devicePixelRatio()};
}

struct ControllerFixture : ::testing::Test {
    void SetUp() override
    {
        sources.unionFrame = [] { return QRectF(QGuiApplication::primaryScreen()->geometry()); };
        sources.snapshot = [this](const QRectF &) { return ++snapshots, std::optional<QImage>(); };
        sources.windows = [] {
            return std::optional(QList<WindowInfo>{{9, QRectF(0, 0, 200, 200), {}, {}, 0, 0}});
        };
        sources.frozenScreen = [this](QScreen *screen) {
            QImage image(screen->geometry().size(), QImage::Format_RGB32);
            image.fill(frozenColour);
            return ++frozen, image;
        };
        sources.screens = [this] { return layout; };
        controller = std::make_unique<Controller>(sources, system, 60000);
    }
    // Every accepted begin is answered exactly once.
    void TearDown() override
    {
        if (view())
            escape();
        EXPECT_TRUE(QTest::qWaitFor([this] { return calls == begun; }));
    }

    void begin(SelectionMode mode = SelectionMode::screenshot)
    {
        ++begun;
        controller->begin(mode, false, [this](auto) { ++calls; });
    }
    SelectionOverlayView *view() const { return controller->view(); }
    void escape() { view()->keyPressed(SelectionOverlayView::Key::escape, false); }
    bool loaded()
    {
        return QTest::qWaitFor([this] { return view() && !view()->windows().isEmpty(); });
    }
    QList<QPointer<SelectionOverlayWindow>> kept() const
    {
        const auto windows = controller->windows();
        return {windows.begin(), windows.end()};
    }

    FakeWindowSystem system;
    Controller::Sources sources;
    QList<Controller::Screen> layout{screen(QGuiApplication::primaryScreen()->geometry())};
    QColor frozenColour = Qt::darkGray;
    std::unique_ptr<Controller> controller;
    int snapshots = 0, frozen = 0, begun = 0, calls = 0;
};

} // namespace

TEST_F(ControllerFixture, OneOutcomePerAcceptedBeginAfterTheOverlayIsGone)
{
    begin();
    SelectionOverlayView *first = view();
    // A second request while presenting changes nothing and is never answered.
    controller->begin(SelectionMode::recording, true, [this](auto) { calls += 100; });
    EXPECT_EQ(view(), first);

    ASSERT_TRUE(loaded()); // once the overlay is up
    first->mouseDown({10, 10});
    first->mouseDragged({60, 40});
    first->mouseUp({60, 40});
    EXPECT_EQ(calls, 0); // reported only after a pause, when the overlay is off screen
    ASSERT_TRUE(QTest::qWaitFor([this] { return calls == 1; }));

    begin(); // accepted again
}

TEST_F(ControllerFixture, FreezesWithoutCompositingAndANewSessionReusesOnlyTheWindows)
{
    begin(); // composited: see-through, nothing frozen
    EXPECT_EQ(frozen, 0);
    escape();

    system.compositing = false;
    frozenColour = Qt::white;
    begin();
    const auto first = kept();
    view()->mouseDown({100, 100});
    view()->mouseDragged({300, 200});
    view()->keyPressed(SelectionOverlayView::Key::enter, false);

    frozenColour = Qt::black;
    begin();
    EXPECT_EQ(kept(), first);
    EXPECT_FALSE(view()->selection());
    // The screen is frozen afresh: shown under the dimming, and in the loupe once loaded.
    EXPECT_EQ(qRed(first.constFirst()->grab().toImage().pixel(400, 500)), 0);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(view()->snapshot().pixelColor(5, 5), QColor(Qt::black));
    EXPECT_EQ(snapshots, 0); // the frozen picture serves the loupe: no second read
}

TEST_F(ControllerFixture, WindowsAreRebuiltWhenTheScreensOrTheirTranslucencyChange)
{
    const QRect whole = QGuiApplication::primaryScreen()->geometry();
    const QRect left(whole.topLeft(), QSize(whole.width() / 2, whole.height()));
    const QRect right(left.topRight() + QPoint(1, 0), left.size());
    struct Case {
        const char *what;
        QList<Controller::Screen> layout;
        bool compositing;
        bool reused;
    } cases[] = {
        {"first session", {screen(whole)}, true, false},
        {"same screens", {screen(whole)}, true, true},
        {"a screen added", {screen(left), screen(right)}, true, false},
        {"geometry changed", {screen(left), screen(right.adjusted(0, 0, 0, -100))}, true, false},
        {"a screen removed", {screen(left)}, true, false},
        {"compositing stopped", {screen(left)}, false, false},
        {"same again", {screen(left)}, false, true},
    };
    QList<QPointer<SelectionOverlayWindow>> before;
    for (const Case &c : cases) {
        layout = c.layout;
        system.compositing = c.compositing;
        begin();
        const auto now = kept();
        ASSERT_EQ(now.size(), c.layout.size()) << c.what;
        for (qsizetype i = 0; i < now.size(); ++i)
            EXPECT_EQ(now[i]->geometry(), c.layout[i].geometry) << c.what;
        // Replaced windows are gone, not merely hidden.
        const bool gone = std::all_of(before.cbegin(), before.cend(), [](auto &w) { return !w; });
        EXPECT_TRUE(c.reused ? now == before : gone) << c.what;
        before = now;
        escape();
    }
}

TEST_F(ControllerFixture, KeptWindowsAreReleasedAfterAQuietSpellOnly)
{
    controller = std::make_unique<Controller>(sources, system, 150);
    begin();
    const QPointer<SelectionOverlayWindow> window = controller->windows().constFirst();
    QTest::qWait(300); // never while presenting, however long
    escape();
    EXPECT_FALSE(window.isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }));

    // A new session stops the spell that the last one started.
    begin();
    const QPointer<SelectionOverlayWindow> next = controller->windows().constFirst();
    escape();
    begin();
    QTest::qWait(300);
    EXPECT_FALSE(next.isNull());
    escape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return next.isNull(); }));
}
