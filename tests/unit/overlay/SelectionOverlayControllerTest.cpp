#include "capture/overlay/SelectionOverlayController.h"
#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayWindow.h"
#include "support/fake/FakeWindowSystem.h"

#include <QGuiApplication>
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

        SelectionOverlayController::Sources sources;
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
            image.fill(Qt::darkGray);
            return image;
        };
        controller = std::make_unique<SelectionOverlayController>(sources, *windowSystem);
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

    FakeWindowSystem windows;
    FakeWindowSystem *windowSystem = &windows;
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
    controller->view()->keyPressed(SelectionOverlayView::Key::escape, false);

    windowSystem->compositing = false;
    controller->begin(SelectionMode::scrolling, false, recorder(calls, outcome));
    EXPECT_EQ(frozen, QGuiApplication::screens().size());
    // The frozen picture is not the loupe's snapshot, which still loads on its own.
    ASSERT_TRUE(QTest::qWaitFor([this] { return loaded(); }, 2000));
    EXPECT_EQ(snapshots, 1);
    controller->view()->keyPressed(SelectionOverlayView::Key::escape, false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return calls == 2; }, 2000));
}
