#include "capture/scrolling/ScrollingCaptureController.h"
#include "capture/scrolling/ScrollFingerprint.h"
#include "capture/scrolling/ScrollingHUD.h"
#include "support/fake/FakePlatform.h"

#include <QAbstractButton>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{
const QString hint = "Scroll the content, then press Done";
const QString tooFew = "Scroll further to capture more than one screen";
const QString cancelled = "Scrolling capture cancelled";

// A grab whose grey content differs from that of n - 1 and n + 1.
QImage frame(int n, QSize size = {40, 30})
{
    QImage image(size, QImage::Format_RGB32);
    const int grey = n * 97 % 256;
    image.fill(qRgb(grey, grey, grey));
    return image;
}

// The controller on scripted grabs, a timer ticked by hand and a recording stitcher.
struct ScrollingTest : ::testing::Test {
    void SetUp() override
    {
        ScrollingCaptureServices services;
        services.grab = [this](const QRectF &rect, ScrollingCaptureServices::GrabDone done) {
            grabbedRects.append(rect);
            if (holdGrabs)
                pending.append(std::move(done));
            else if (failGrabs)
                done(CaptureError(CaptureError::Code::imageUnavailable));
            else
                done(screen);
        };
        services.toast = [this](const QString &message, const QString &, double) {
            toasts.append(message);
        };
        services.stitch = [this](QList<QImage> frames)
            -> Expected<ScrollStitcher::Result, ScrollStitcher::StitchError> {
            stitchedFrames = int(frames.size());
            if (realStitcher)
                return ScrollStitcher::stitch(frames);
            ScrollStitcher::Result result = stitchAnswer;
            result.image = frames.first();
            result.frameCount = int(frames.size()) - result.lostAtEndCount;
            return result;
        };
        services.startTimer = [this](int intervalMs, std::function<void()> onTick) {
            EXPECT_EQ(intervalMs, 380);
            tick = std::move(onTick);
            return [this] { tick = {}; };
        };
        services.windowSystem = &windows;
        services.hotKeys = &keys;
        controller = std::make_unique<ScrollingCaptureController>(std::move(services));
    }

    void start()
    {
        ASSERT_TRUE(
            controller->capture(region, [this](const ScrollingEnd &end) { ends.append(end); }));
    }
    // One timer tick with the screen showing `content`.
    void tickWith(const QImage &content)
    {
        screen = content;
        ASSERT_TRUE(tick);
        tick();
    }
    void waitForEnd()
    {
        EXPECT_TRUE(QTest::qWaitFor([this] { return !ends.isEmpty(); }, 3000));
    }

    QRectF region{100, 80, 400, 300};
    QImage screen = frame(0);
    bool holdGrabs = false;
    bool failGrabs = false;
    bool realStitcher = false;
    QList<QRectF> grabbedRects;
    QList<ScrollingCaptureServices::GrabDone> pending;
    std::function<void()> tick;
    QStringList toasts;
    QList<ScrollingEnd> ends;
    std::atomic<int> stitchedFrames{0};
    ScrollStitcher::Result stitchAnswer;
    FakeWindowSystem windows;
    FakeHotKeyBackend keys;
    std::unique_ptr<ScrollingCaptureController> controller;
};
} // namespace

TEST(ScrollFingerprint, IsSixteenBySixteenGreyAndFollowsTheContent)
{
    const QByteArray blank = ScrollFingerprint::of(QImage());
    EXPECT_EQ(blank, QByteArray(256, '\0'));
    QImage page(1920, 1080, QImage::Format_RGB32);
    page.fill(Qt::white);
    const QByteArray white = ScrollFingerprint::of(page);
    EXPECT_EQ(white, QByteArray(256, char(255)));
    // Dark bands that moved up by a fifth of the height change the print.
    QImage moved = page;
    for (int y = 0; y < 1080; ++y) {
        if ((y / 60) % 2)
            memset(page.scanLine(y), 0, page.bytesPerLine());
        if (((y + 216) / 60) % 2)
            memset(moved.scanLine(y), 0, moved.bytesPerLine());
    }
    EXPECT_NE(ScrollFingerprint::of(page), ScrollFingerprint::of(moved));
    EXPECT_EQ(ScrollFingerprint::of(page), ScrollFingerprint::of(page.copy()));
    // A region one pixel tall still has a print.
    EXPECT_EQ(ScrollFingerprint::of(page.copy(0, 100, 1920, 1)).size(), 256);
}

TEST(ScrollingCaptureLimits, TheFirstGrabsMemorySetsTheFrameLimit)
{
    const std::pair<qint64, int> cases[] = {
        {8000000, 41}, {1000000, 120}, {64000000, 8}, {1, 120}, {0, 120}};
    for (const auto &[bytes, frames] : cases)
        EXPECT_EQ(ScrollingCaptureController::maxFramesFor(bytes), frames) << bytes;
}

// Steps: n = the content moves, then a tick; m = it moves with no tick after;
// t = a tick on unchanged content; f = a tick whose grab fails; D, C = Done
// and ✕ clicked; R, E = Return, Escape.
TEST_F(ScrollingTest, GrabsUntilDoneOrCancelAndTellsTheUser)
{
    struct Case {
        const char *steps;
        int frames; // in the stitcher, 0 when nothing was stitched
        ScrollingEnd::Status end;
        QString lastToast;
    };
    const Case cases[] = {
        {"D", 0, ScrollingEnd::Status::failed, tooFew},
        {"tttD", 0, ScrollingEnd::Status::failed, tooFew},
        {"ntnttnD", 4, ScrollingEnd::Status::stitched, "Stitched 4 frames"},
        {"fnfD", 2, ScrollingEnd::Status::stitched, "Stitched 2 frames"},
        {"nR", 2, ScrollingEnd::Status::stitched, "Stitched 2 frames"},
        // Done right after a scroll: the last movement is grabbed, not lost.
        {"mD", 2, ScrollingEnd::Status::stitched, "Stitched 2 frames"},
        {"nnmR", 4, ScrollingEnd::Status::stitched, "Stitched 4 frames"},
        {"nmC", 0, ScrollingEnd::Status::cancelled, cancelled},
        {"nnC", 0, ScrollingEnd::Status::cancelled, cancelled},
        {"nE", 0, ScrollingEnd::Status::cancelled, cancelled},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.steps);
        toasts.clear();
        ends.clear();
        stitchedFrames = 0;
        screen = frame(0);
        start();
        int content = 0;
        for (const char *step = c.steps; *step; ++step) {
            failGrabs = *step == 'f';
            switch (*step) {
            case 'n':
                tickWith(frame(++content));
                break;
            case 'm':
                screen = frame(++content);
                break;
            case 't':
            case 'f':
                tickWith(screen);
                break;
            case 'D':
                controller->hud()->doneButton()->click();
                break;
            case 'C':
                controller->hud()->cancelButton()->click();
                break;
            case 'R':
                keys.press({36, 0});
                break;
            case 'E':
                keys.press({53, 0});
                break;
            }
        }
        failGrabs = false;
        waitForEnd();
        ASSERT_EQ(ends.size(), 1);
        EXPECT_EQ(ends[0].status, c.end);
        EXPECT_EQ(stitchedFrames.load(), c.frames);
        EXPECT_EQ(ends[0].image.isNull(), c.end != ScrollingEnd::Status::stitched);
        EXPECT_EQ(toasts.first(), hint);
        EXPECT_EQ(toasts.last(), c.lastToast);
        EXPECT_EQ(toasts.size(), 2);
        // Everything is let go: timer, panel, keys, frames.
        EXPECT_FALSE(controller->isCapturing());
        EXPECT_FALSE(tick);
        EXPECT_EQ(controller->frameCount(), 0);
        EXPECT_TRUE(keys.grabbed.isEmpty());
        QTest::qWait(1);
        EXPECT_FALSE(controller->hud());
    }
    EXPECT_EQ(grabbedRects.first(), region);
}

TEST_F(ScrollingTest, ThePanelCountsFramesAndHoldsReturnAndEscapeOnlyWhileCapturing)
{
    EXPECT_TRUE(keys.grabbed.isEmpty());
    start();
    ScrollingHUD *hud = controller->hud();
    ASSERT_TRUE(hud);
    EXPECT_EQ(hud->countLine(), "1 frame captured");
    EXPECT_EQ(keys.grabbed.size(), 2);
    tickWith(frame(1));
    tickWith(frame(1));
    EXPECT_EQ(hud->countLine(), "2 frames captured");
    EXPECT_TRUE(hud->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(hud->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    EXPECT_FALSE(hud->geometry().intersects(region.toAlignedRect()));
    controller->cancel();
    EXPECT_TRUE(keys.grabbed.isEmpty());

    // Another program holding Return: the panel goes without keys, the buttons still work.
    keys.refused.insert({36, 0});
    start();
    EXPECT_FALSE(controller->hud()->holdsKeys());
    EXPECT_TRUE(keys.grabbed.isEmpty());
    controller->hud()->cancelButton()->click();
    EXPECT_FALSE(controller->isCapturing());
}

TEST_F(ScrollingTest, TheLimitSetByTheFirstGrabFinishesTheCaptureByItself)
{
    start();
    EXPECT_EQ(controller->maxFrames(), 120); // small grabs: more than the first guess of 48
    for (int n = 1; n < 120 && controller->isCapturing(); ++n)
        tickWith(frame(n));
    EXPECT_FALSE(controller->isCapturing());
    waitForEnd();
    EXPECT_EQ(stitchedFrames.load(), 120);
    EXPECT_EQ(grabbedRects.size(), 120); // no grab past the limit
    EXPECT_EQ(ends.value(0).status, ScrollingEnd::Status::stitched);
}

TEST_F(ScrollingTest, OneCaptureAndOneGrabAtATimeAndLateGrabsAreDropped)
{
    holdGrabs = true;
    start();
    EXPECT_FALSE(controller->capture(QRectF(0, 0, 50, 50))); // ignored while one runs
    ASSERT_EQ(pending.size(), 1);
    tick();
    tick();
    EXPECT_EQ(pending.size(), 1); // ticks while a grab is out are dropped
    pending.takeFirst()(frame(1));
    tick();
    ASSERT_EQ(pending.size(), 1);

    // The grab out at cancel comes back during the next capture: it is not a frame of it.
    controller->cancel();
    start();
    ASSERT_EQ(pending.size(), 2);
    pending.takeFirst()(frame(2));
    EXPECT_EQ(controller->frameCount(), 0);
    tick();
    EXPECT_EQ(pending.size(), 1); // the new capture's own grab is still out
    pending.takeFirst()(frame(3));
    EXPECT_EQ(controller->frameCount(), 1);
    controller->cancel();
    EXPECT_EQ(ends.size(), 2);
}

TEST_F(ScrollingTest, AShortPageIsToldAfterTheStitchedCount)
{
    stitchAnswer.lostAtEndCount = 3;
    stitchAnswer.reachedHeightCap = true;
    start();
    for (int n = 1; n <= 5; ++n)
        tickWith(frame(n));
    controller->finish();
    waitForEnd();
    EXPECT_EQ(toasts.last(), "Stitched 3 frames");
    ASSERT_TRUE(QTest::qWaitFor([this] { return toasts.size() == 3; }, 4000));
    EXPECT_TRUE(toasts.last().contains("3 grabs could not be joined"))
        << toasts.last().toStdString();
    EXPECT_TRUE(toasts.last().contains("24,000 rows")) << toasts.last().toStdString();
    QTest::qWait(50);
    EXPECT_EQ(toasts.size(), 3); // said once
}

// Grabs one pixel tall, or of another size after the monitors changed, end
// with a message or the part that joins, never a hang.
TEST_F(ScrollingTest, OddGrabsEndWithTheStitchersAnswer)
{
    realStitcher = true;
    screen = frame(0, {40, 1});
    start();
    tickWith(frame(1, {40, 1}));
    controller->finish();
    waitForEnd();
    const QString nothing =
        ScrollStitcher::StitchError(ScrollStitcher::StitchError::Code::noFrames).description();
    EXPECT_EQ(ends.value(0).status, ScrollingEnd::Status::failed);
    EXPECT_EQ(ends.value(0).message, nothing);
    EXPECT_EQ(toasts.last(), nothing);

    ends.clear();
    screen = frame(0);
    start();
    tickWith(frame(1, {60, 30}));
    tickWith(QImage()); // a grab of a vanished monitor: no pixels
    controller->finish();
    waitForEnd();
    ASSERT_EQ(ends.value(0).status, ScrollingEnd::Status::stitched);
    EXPECT_EQ(ends[0].image.size(), QSize(40, 30));
    EXPECT_EQ(toasts.last(), "Stitched 1 frames");
}

TEST(ScrollingHUDPlacement, StaysOffTheRegionWhereItCan)
{
    const QRect screen(0, 0, 1920, 1056);
    const std::pair<QRectF, QRect> cases[] = {
        {QRectF(100, 100, 800, 400), QRect(810, 978, 300, 54)}, // bottom centre
        {QRectF(0, 500, 1920, 556), QRect(810, 422, 300, 54)},  // above a region at the bottom
        {QRectF(800, 0, 300, 1056), QRect(476, 978, 300, 54)},  // beside a tall column
        {QRectF(0, 0, 1920, 1056), QRect(810, 978, 300, 54)},   // nowhere free
    };
    for (const auto &[region, expected] : cases)
        EXPECT_EQ(ScrollingHUD::placement(screen, region), expected) << region.y();
    // On a second screen, relative to it.
    EXPECT_EQ(ScrollingHUD::placement(QRect(1920, 0, 1920, 1080), QRectF(2000, 10, 100, 100)),
              QRect(2730, 1002, 300, 54));
}
