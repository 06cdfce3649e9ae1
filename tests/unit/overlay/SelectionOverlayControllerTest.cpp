#include "capture/overlay/SelectionOverlayController.h"
#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayWindow.h"
#include "support/fake/FakeWindowSystem.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

struct ControllerFixture : ::testing::Test {
    void SetUp() override
    {
        windowSystem->active = 0x4400001;

        sources.unionFrame = [] { return QRectF(QGuiApplication::primaryScreen()->geometry()); };
        sources.snapshot = [this](const QRectF &frame) -> std::optional<QImage> {
            ++snapshots;
            QImage image(frame.size().toSize(), QImage::Format_RGB32);
            image.fill(Qt::red);
            return image;
        };
        sources.windows = [this]() -> std::optional<QList<WindowInfo>> {
            ++windowLists;
            WindowInfo info;
            info.id = 9;
            info.frame = QRectF(0, 0, 200, 200);
            info.title = QStringLiteral("Terminal");
            return QList<WindowInfo>{info};
        };
        sources.frozenScreen = [this](QScreen *screen) {
            ++frozen;
            QImage image(screen->geometry().size(), QImage::Format_RGB32);
            image.fill(frozenColour);
            return image;
        };
        sources.screens = [this] { return layout; };
        controller = makeController(60000);
    }

    std::unique_ptr<SelectionOverlayController> makeController(int keepMs)
    {
        return std::make_unique<SelectionOverlayController>(sources, *windowSystem, keepMs);
    }

    SelectionOverlayController::Completion recorder(int &calls,
                                                    std::optional<SelectionOutcome> &outcome)
    {
        return [&calls, &outcome](std::optional<SelectionOutcome> result) {
            ++calls;
            outcome = std::move(result);
        };
    }

    bool loaded() { return controller->view() && windowLists > 0; }

    QList<QPointer<SelectionOverlayWindow>> kept() const
    {
        QList<QPointer<SelectionOverlayWindow>> list;
        for (SelectionOverlayWindow *window : controller->windows())
            list.append(window);
        return list;
    }

    void escape() { controller->view()->keyPressed(SelectionOverlayView::Key::escape, false); }

    // What the overlay's windows show at a point away from the pointer's
    // decorations and the instruction line.
    static QRgb shownAt(SelectionOverlayWindow *window)
    {
        return window->grab().toImage().pixel(400, 500);
    }

    static SelectionOverlayController::Screen screen(const QRect &geometry)
    {
        QScreen *primary = QGuiApplication::primaryScreen();
        return {primary, primary->name(), geometry, primary->devicePixelRatio()};
    }

    FakeWindowSystem windows;
    FakeWindowSystem *windowSystem = &windows;
    SelectionOverlayController::Sources sources;
    QList<SelectionOverlayController::Screen> layout{
        screen(QGuiApplication::primaryScreen()->geometry())};
    QColor frozenColour = Qt::darkGray;
    std::unique_ptr<SelectionOverlayController> controller;
    int snapshots = 0;
    int windowLists = 0;
    int frozen = 0;
};

} // namespace

TEST_F(ControllerFixture, OneOutcomePerAcceptedBeginAfterTheOverlayIsGone)
{
    int calls = 0, ignoredCalls = 0;
    std::optional<SelectionOutcome> outcome, ignored;
    controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
    ASSERT_TRUE(controller->isPresenting());
    const auto windows = controller->windows();
    EXPECT_EQ(windows.size(), QGuiApplication::screens().size());
    EXPECT_TRUE(windows.constFirst()->isVisible());

    // A second request while presenting changes nothing and is never answered.
    SelectionOverlayView *view = controller->view();
    controller->begin(SelectionMode::recording, true, recorder(ignoredCalls, ignored));
    EXPECT_EQ(controller->view(), view);
    EXPECT_EQ(view->mode(), SelectionMode::screenshot);

    // Content arrives once the overlay is up: snapshot and windows.
    ASSERT_TRUE(QTest::qWaitFor([this] { return loaded(); }, 2000));
    EXPECT_EQ(snapshots, 1);
    EXPECT_FALSE(view->snapshot().isNull());
    EXPECT_EQ(view->windows().size(), 1);

    view->mouseDown({10, 10});
    view->mouseDragged({60, 40});
    view->mouseUp({60, 40});
    EXPECT_FALSE(controller->isPresenting());
    EXPECT_FALSE(windows.constFirst()->isVisible());
    EXPECT_EQ(calls, 0); // reported only after a pause, when the overlay is off screen
    EXPECT_EQ(windowSystem->activated, QList<uint32_t>{0x4400001});
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls > 0; }, 2000));
    QTest::qWait(50);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(ignoredCalls, 0);
    ASSERT_TRUE(outcome && outcome->isArea());
    const QPointF origin = QGuiApplication::primaryScreen()->geometry().topLeft();
    EXPECT_EQ(outcome->areaRect(), QRectF(origin + QPointF(10, 10), QSizeF(50, 30)));

    // The next request is accepted again.
    controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
    EXPECT_TRUE(controller->isPresenting());
    controller->view()->keyPressed(SelectionOverlayView::Key::escape, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, 2000));
    EXPECT_FALSE(outcome);
}

TEST_F(ControllerFixture, FreezesTheScreensOnlyWithoutCompositing)
{
    int calls = 0;
    std::optional<SelectionOutcome> outcome;
    controller->begin(SelectionMode::scrolling, false, recorder(calls, outcome));
    EXPECT_EQ(frozen, 0);
    escape();

    windowSystem->compositing = false;
    controller->begin(SelectionMode::scrolling, false, recorder(calls, outcome));
    EXPECT_EQ(frozen, QGuiApplication::screens().size());
    // The frozen picture also serves the loupe: the desktop is not read again.
    ASSERT_TRUE(QTest::qWaitFor([this] { return loaded(); }, 2000));
    EXPECT_EQ(snapshots, 0);
    EXPECT_EQ(controller->view()->snapshot().pixelColor(5, 5), frozenColour);
    escape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, 2000));
}

TEST_F(ControllerFixture, ANewSessionReusesTheWindowsButNothingElse)
{
    windowSystem->compositing = false;
    int calls = 0;
    std::optional<SelectionOutcome> outcome;
    frozenColour = Qt::white;
    controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
    ASSERT_TRUE(QTest::qWaitFor([this] { return loaded(); }, 2000));
    const auto first = kept();
    const QRgb whiteShown = shownAt(first.constFirst());
    controller->view()->mouseDown({100, 100});
    controller->view()->mouseDragged({300, 200});
    controller->view()->keyPressed(SelectionOverlayView::Key::enter, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 2000));

    frozenColour = Qt::black;
    controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
    const auto second = kept();
    EXPECT_EQ(second, first);
    EXPECT_TRUE(second.constFirst()->isVisible());
    SelectionOverlayView *view = controller->view();
    EXPECT_FALSE(view->selection());
    EXPECT_FALSE(view->isDragging());
    EXPECT_TRUE(view->snapshot().isNull()); // the old loupe picture is gone
    // The screen is frozen afresh and shown instead of the old one.
    EXPECT_EQ(frozen, 2);
    const QRgb blackShown = shownAt(second.constFirst());
    EXPECT_LT(qRed(blackShown), qRed(whiteShown));
    EXPECT_EQ(qRed(blackShown), 0);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !controller->view()->snapshot().isNull(); }, 2000));
    EXPECT_EQ(controller->view()->snapshot().pixelColor(5, 5), QColor(Qt::black));
    escape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, 2000));
}

TEST_F(ControllerFixture, WindowsAreRebuiltWhenTheScreensOrTheirTranslucencyChange)
{
    const QRect whole = QGuiApplication::primaryScreen()->geometry();
    const QRect left(whole.topLeft(), QSize(whole.width() / 2, whole.height()));
    const QRect right(left.topRight() + QPoint(1, 0), left.size());
    struct Case {
        const char *what;
        QList<SelectionOverlayController::Screen> layout;
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
    int calls = 0;
    std::optional<SelectionOutcome> outcome;
    QList<QPointer<SelectionOverlayWindow>> before;
    for (const Case &c : cases) {
        layout = c.layout;
        windowSystem->compositing = c.compositing;
        controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
        const auto now = kept();
        ASSERT_EQ(now.size(), c.layout.size()) << c.what;
        for (qsizetype i = 0; i < now.size(); ++i)
            EXPECT_EQ(now[i]->geometry(), c.layout[i].geometry) << c.what;
        if (c.reused) {
            EXPECT_EQ(now, before) << c.what;
        } else {
            // The old windows are gone, not merely hidden.
            for (const auto &window : before)
                EXPECT_TRUE(window.isNull()) << c.what;
        }
        before = now;
        escape();
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == int(std::size(cases)); }, 2000));
}

TEST_F(ControllerFixture, KeptWindowsAreReleasedAfterAQuietSpellOnly)
{
    controller = makeController(150);
    int calls = 0;
    std::optional<SelectionOutcome> outcome;
    controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
    const QPointer<SelectionOverlayWindow> window = controller->windows().constFirst();
    // Never while presenting, however long.
    QTest::qWait(300);
    EXPECT_FALSE(window.isNull());
    escape();
    EXPECT_FALSE(window.isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.isNull(); }, 2000));
    EXPECT_TRUE(controller->windows().isEmpty());

    // A new session stops the spell that the last one started.
    controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
    const QPointer<SelectionOverlayWindow> next = controller->windows().constFirst();
    escape();
    controller->begin(SelectionMode::screenshot, false, recorder(calls, outcome));
    QTest::qWait(300);
    EXPECT_FALSE(next.isNull());
    escape();
    ASSERT_TRUE(QTest::qWaitFor([&] { return next.isNull(); }, 2000));
    EXPECT_EQ(calls, 3);
}
