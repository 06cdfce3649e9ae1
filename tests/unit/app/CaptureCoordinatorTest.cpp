#include "unit/app/AppTestSupport.h"

using namespace zorv;
using namespace zorv::test;

namespace
{
using CaptureCoordinatorTest = CaptureWorld;
} // namespace

TEST_F(CaptureCoordinatorTest, CaptureProblemsBecomeToastsAndFailedResults)
{
    platform.granted = false;
    EXPECT_EQ(performAndWait(CaptureAction::fullScreen).status, CommandResult::Status::failed);
    EXPECT_EQ(platform.screen.grabCount, 0); // stopped before capturing
    platform.granted = true;
    platform.screen.failure = CaptureError(CaptureError::Code::noDisplay);
    const CommandResult failed = performAndWait(CaptureAction::fullScreen);
    EXPECT_EQ(failed.status, CommandResult::Status::failed);
    EXPECT_EQ(toasts, QStringList({"Allow Screen Recording, then try again", failed.message}));
    EXPECT_EQ(failed.message, platform.screen.failure->description());
    EXPECT_TRUE(history->items().isEmpty());
}

TEST_F(CaptureCoordinatorTest, FailedHistoryCopyIsToldAndClearsTheLastCapture)
{
    performAndWait(CaptureAction::fullScreen);
    ASSERT_TRUE(coordinator->lastCaptureURL());
    // The media folder turns into a file: the next history copy fails.
    QDir(history->mediaDirectory()).removeRecursively();
    ASSERT_TRUE(writeFile(history->mediaDirectory(), "x"));
    testing::internal::CaptureStderr();
    performAndWait(CaptureAction::fullScreen);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Zorv: history write failed: "), std::string::npos) << log;
    EXPECT_FALSE(coordinator->lastCaptureURL());
    EXPECT_EQ(copied.size(), 2);
    // The user is told, with the cause, not only the log.
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_TRUE(toasts[0].startsWith("Couldn't keep the capture in the history: "));
    EXPECT_GT(toasts[0].size(), 45);
}

TEST_F(CaptureCoordinatorTest, ActionsTheBackendCannotDoAreRefusedWithTheReason)
{
    platform.caps.windowCapture = false;
    EXPECT_TRUE(
        coordinator->unavailableReason(CaptureAction::window)->contains("capture single windows"));
    EXPECT_FALSE(coordinator->unavailableReason(CaptureAction::area));
    EXPECT_EQ(performAndWait(CaptureAction::window).status, CommandResult::Status::failed);
    EXPECT_TRUE(requests.isEmpty()); // no overlay for it

    // Where Zorv's panel would show in the pictures, no scrolling capture is begun.
    platform.caps.ownWindowsLeftOut = false;
    EXPECT_TRUE(coordinator->unavailableReason(CaptureAction::scrolling)->contains("stitched"));
    EXPECT_EQ(performAndWait(CaptureAction::scrolling).status, CommandResult::Status::failed);
    EXPECT_TRUE(requests.isEmpty());
}

TEST_F(CaptureCoordinatorTest, WindowsAndCancelsLeaveTheAreaThatIsRepeatedWithoutTheOverlay)
{
    // Nothing to repeat yet: the overlay asks for an area first.
    coordinator->perform(CaptureAction::repeatLastArea);
    ASSERT_TRUE(requests.size() == 1 && !requests[0].windowMode);
    EXPECT_EQ(answer(SelectionOutcome::area(QRectF(10, 20, 100, 50))).size(), QSize(100, 50));

    coordinator->perform(CaptureAction::window);
    ASSERT_TRUE(requests.size() == 2 && requests[1].windowMode);
    WindowInfo notes;
    notes.id = 5;
    notes.frame = QRectF(40, 30, 200, 120);
    EXPECT_EQ(answer(SelectionOutcome::window(notes)).size(), QSize(200, 120));
    // A window that closed after it was picked.
    notes.id = 77;
    requests.last().completion(SelectionOutcome::window(notes));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !toasts.isEmpty(); }, 2000));
    EXPECT_EQ(toasts, QStringList{CaptureError(CaptureError::Code::noWindow).description()});
    coordinator->perform(CaptureAction::area);
    requests.last().completion(std::nullopt);

    QSignalSpy delivered(coordinator.get(), &CaptureCoordinator::deliveryFinished);
    coordinator->perform(CaptureAction::repeatLastArea);
    ASSERT_TRUE(delivered.wait(3000));
    EXPECT_EQ(requests.size(), 3); // no overlay
    const QImage again(delivered.first().first().toString());
    EXPECT_EQ(again.size(), QSize(100, 50));
    EXPECT_EQ(again.pixel(99, 49), FakeScreenBackend::pixelAt({109, 69}));
}

// Text recognition takes the area or window picked, delivers nothing and keeps
// the area that "repeat" uses. The command ends when the recognition does.
TEST_F(CaptureCoordinatorTest, TextIsRecognisedFromTheAreaOrWindowPicked)
{
    const auto ocr = [this](const SelectionOutcome &outcome,
                            const std::optional<QString> &failure = std::nullopt) {
        std::optional<CommandResult> result;
        const qsizetype started = recognitionFinished.size();
        coordinator->perform(CaptureAction::ocr, [&result](const CommandResult &r) { result = r; });
        EXPECT_FALSE(requests.last().windowMode);
        requests.last().completion(outcome);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return result || recognitionFinished.size() > started; }, 2000));
        if (recognitionFinished.size() > started) {
            QTest::qWait(20);
            EXPECT_FALSE(result); // not while recognising
            recognitionFinished.last()(failure);
        }
        EXPECT_TRUE(result);
        return result.value_or(CommandResult{});
    };
    EXPECT_EQ(ocr(SelectionOutcome::area(QRectF(10, 20, 100, 50))).status,
              CommandResult::Status::done);
    WindowInfo notes;
    notes.id = 5;
    notes.frame = QRectF(40, 30, 200, 120);
    const CommandResult failed = ocr(SelectionOutcome::window(notes), "Text recognition failed.");
    EXPECT_EQ(failed.status, CommandResult::Status::failed);
    EXPECT_EQ(failed.message, "Text recognition failed.");
    notes.id = 77; // closed after it was picked
    EXPECT_EQ(ocr(SelectionOutcome::window(notes)).status, CommandResult::Status::failed);

    ASSERT_EQ(recognized.size(), 2);
    EXPECT_EQ(recognized[0].size(), QSize(100, 50));
    EXPECT_EQ(recognized[0].pixel(99, 49), FakeScreenBackend::pixelAt({109, 69}));
    EXPECT_EQ(recognized[1].size(), QSize(200, 120));
    EXPECT_EQ(toasts, QStringList({"Recognizing Text…", "Recognizing Text…",
                                   CaptureError(CaptureError::Code::noWindow).description()}));
    EXPECT_FALSE(coordinator->lastArea());
    EXPECT_TRUE(history->items().isEmpty());
}

TEST_F(CaptureCoordinatorTest, PinLastNeedsAReadableCapture)
{
    coordinator->perform(CaptureAction::pinLast);
    coordinator->perform(CaptureAction::area);
    answer(SelectionOutcome::area(QRectF(0, 0, 64, 48)));
    coordinator->perform(CaptureAction::pinLast);
    ASSERT_TRUE(QFile::remove(coordinator->lastCaptureURL()->toLocalFile()));
    coordinator->perform(CaptureAction::pinLast);
    ASSERT_EQ(pinned.size(), 1);
    EXPECT_EQ(pinned[0].size(), QSize(64, 48));
    EXPECT_EQ(toasts, QStringList({"Nothing captured yet", "Nothing captured yet"}));
}

TEST_F(CaptureCoordinatorTest, APanelOnScreenIsTakenAwayAndRepaintedOverBeforeTheGrab)
{
    panelOnScreen = true;
    performAndWait(CaptureAction::pinLast); // not a capture: the panel stays
    EXPECT_TRUE(panelOnScreen);
    coordinator->perform(CaptureAction::fullScreen);
    EXPECT_FALSE(panelOnScreen);
    EXPECT_EQ(platform.screen.grabCount, 0); // the windows beneath repaint first
    EXPECT_TRUE(QTest::qWaitFor([this] { return platform.screen.grabCount == 1; }, 2000));
}

TEST_F(CaptureCoordinatorTest, TheEditorOpensAfterDeliveryOnlyWhenAskedBoundToTheHistoryEntry)
{
    settings().showQuickAccess.set(false);
    performAndWait(CaptureAction::fullScreen);
    EXPECT_TRUE(editors.isEmpty());
    EXPECT_TRUE(panels.isEmpty());

    // The panel carries the capture, its history entry and its pixel size.
    settings().showQuickAccess.set(true);
    coordinator->perform(CaptureAction::area);
    const QImage first = answer(SelectionOutcome::area(QRectF(10, 20, 64, 48)));
    ASSERT_EQ(panels.size(), 1);
    EXPECT_TRUE(editors.isEmpty());
    EXPECT_EQ(panels[0].image->convertToFormat(first.format()), first);
    EXPECT_FALSE(panels[0].filePath);
    EXPECT_EQ(panels[0].historyID, history->items().first().id);
    EXPECT_EQ(panels[0].title, "Screenshot");
    EXPECT_EQ(panels[0].subtitle, QStringLiteral("%1 × %2").arg(first.width()).arg(first.height()));

    // With both on, only the editor opens, and the earlier panel goes.
    settings().openEditorAfterCapture.set(true);
    coordinator->perform(CaptureAction::area);
    const QImage captured = answer(SelectionOutcome::area(QRectF(10, 20, 64, 48)));
    ASSERT_EQ(editors.size(), 1);
    EXPECT_EQ(panels.size(), 1);
    EXPECT_EQ(panelHides, 1);
    EXPECT_EQ(editors[0].image.convertToFormat(captured.format()), captured);
    EXPECT_EQ(editors[0].kind, CaptureKind::screenshot);
    EXPECT_FALSE(editors[0].fileName); // named by the editor, not after the history copy
    EXPECT_EQ(editors[0].historyItemID, history->items().first().id);

    // Without a history copy the capture still reaches the editor, bound to nothing.
    QDir(history->mediaDirectory()).removeRecursively();
    ASSERT_TRUE(writeFile(history->mediaDirectory(), "x"));
    testing::internal::CaptureStderr();
    performAndWait(CaptureAction::fullScreen);
    testing::internal::GetCapturedStderr();
    ASSERT_EQ(editors.size(), 2);
    EXPECT_FALSE(editors[1].historyItemID);
    EXPECT_FALSE(editors[1].image.isNull());
}

// A scrolling capture takes an area (a picked window is ignored), runs one at a
// time, and its stitched page goes through delivery as a scrolling capture.
TEST_F(CaptureCoordinatorTest, ScrollingCapturesTakeAnAreaAndArriveAsScrollingCaptures)
{
    std::optional<CommandResult> first;
    coordinator->perform(CaptureAction::scrolling, [&first](const CommandResult &r) { first = r; });
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].mode, SelectionMode::scrolling);
    EXPECT_FALSE(requests[0].windowMode);
    WindowInfo notes;
    notes.id = 5;
    notes.frame = QRectF(40, 30, 200, 120);
    requests[0].completion(SelectionOutcome::window(notes));
    ASSERT_TRUE(QTest::qWaitFor([&first] { return first.has_value(); }, 2000));
    EXPECT_EQ(first->status, CommandResult::Status::cancelled);
    EXPECT_FALSE(scrolling->isCapturing());

    std::optional<CommandResult> result;
    coordinator->perform(CaptureAction::scrolling,
                         [&result](const CommandResult &r) { result = r; });
    requests.last().completion(SelectionOutcome::area(QRectF(10, 20, 100, 50)));
    ASSERT_TRUE(QTest::qWaitFor([this] { return scrolling->isCapturing(); }, 2000));
    coordinator->perform(CaptureAction::scrolling);
    EXPECT_EQ(requests.size(), 2); // no overlay for a second one
    scrollTick();
    scrolling->finish();
    ASSERT_TRUE(QTest::qWaitFor([&result] { return result.has_value(); }, 5000));
    ASSERT_EQ(result->status, CommandResult::Status::done);
    ASSERT_TRUE(result->delivery);
    EXPECT_EQ(result->delivery->kind, CaptureKind::scrolling);
    EXPECT_EQ(result->delivery->image.size(), QSize(100, 50));
    ASSERT_EQ(history->items().size(), 1);
    EXPECT_EQ(history->items()[0].kind, CaptureKind::scrolling);
    // The first grab, one tick, and the grab at Done (the page moves at every grab).
    EXPECT_TRUE(toasts.contains("Stitched 3 frames")) << toasts.join('|').toStdString();
}

TEST_F(CaptureCoordinatorTest, TheRecordCommandStartsFromTheRecordingOverlayAndStopsWithoutIt)
{
    platform.caps.recording = true;
    ASSERT_FALSE(coordinator->unavailableReason(CaptureAction::recordVideo));
    const auto settle = [] { QTest::qWait(20); };

    // A window picked in the overlay records nothing.
    coordinator->perform(CaptureAction::recordVideo);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].mode, SelectionMode::recording);
    EXPECT_FALSE(requests[0].windowMode);
    requests[0].completion(SelectionOutcome::window(WindowInfo{}));
    settle();
    EXPECT_TRUE(recorder.starts.isEmpty());

    coordinator->perform(CaptureAction::recordVideo);
    requests.last().completion(SelectionOutcome::area(QRectF(10, 20, 300, 200)));
    settle();
    ASSERT_EQ(recorder.starts.size(), 1);
    EXPECT_EQ(recorder.starts[0].rect, QRectF(10, 20, 300, 200));

    // While it starts the command brings no overlay; once it runs the command
    // stops it, without the permission gate.
    coordinator->perform(CaptureAction::recordVideo);
    settle();
    EXPECT_EQ(requests.size(), 2);
    recorder.answerStart();
    platform.granted = false;
    EXPECT_EQ(performAndWait(CaptureAction::recordVideo).status, CommandResult::Status::done);
    settle();
    EXPECT_EQ(recorder.stops.size(), 1);
    EXPECT_EQ(requests.size(), 2);
    EXPECT_TRUE(toasts.isEmpty());

    // The GIF command records the same way, and either command stops what runs.
    for (const CaptureAction stop : {CaptureAction::recordVideo, CaptureAction::recordGIF}) {
        SCOPED_TRACE(captureAction::rawValue(stop).toStdString());
        platform.granted = true;
        coordinator->perform(CaptureAction::recordGIF);
        ASSERT_EQ(requests.last().mode, SelectionMode::recording);
        requests.last().completion(SelectionOutcome::area(QRectF(30, 40, 200, 100)));
        settle();
        recorder.answerStart();
        EXPECT_TRUE(recording->isRecording());
        EXPECT_EQ(recording->kind(), CaptureKind::gif);
        const qsizetype stops = recorder.stops.size();
        coordinator->perform(stop);
        settle();
        EXPECT_FALSE(recording->isRecording());
        EXPECT_EQ(recorder.stops.size(), stops + 1);
    }
}
