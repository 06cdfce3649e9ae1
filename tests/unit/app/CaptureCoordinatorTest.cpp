#include "unit/app/AppTestSupport.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QGuiApplication>
#include <QScreen>

using namespace zorv;
using namespace zorv::test;

namespace
{
using CaptureCoordinatorTest = CaptureWorld;
} // namespace

TEST_F(CaptureCoordinatorTest, FullScreenCapturesTheScreenUnderThePointer)
{
    platform.screen.displayList = {{1, QGuiApplication::primaryScreen()->geometry()}};
    const CommandResult result = performAndWait(CaptureAction::fullScreen);
    EXPECT_EQ(result.status, CommandResult::Status::done);
    ASSERT_TRUE(result.delivery && result.delivery->historyItem);
    ASSERT_EQ(history->items().size(), 1);
    const HistoryItem &item = history->items().first();
    EXPECT_EQ(QSize(item.pixelWidth, item.pixelHeight), QGuiApplication::primaryScreen()->size());
    EXPECT_EQ(coordinator->lastCaptureURL(), QUrl::fromLocalFile(item.filePath));
    EXPECT_EQ(platform.screen.grabCount, 1);
}

TEST_F(CaptureCoordinatorTest, CaptureProblemsBecomeToastsAndFailedResults)
{
    platform.granted = false;
    const CommandResult refused = performAndWait(CaptureAction::fullScreen);
    EXPECT_EQ(platform.screen.grabCount, 0); // stopped before capturing
    platform.granted = true;
    platform.screen.failure = CaptureError(CaptureError::Code::noDisplay);
    const CommandResult failed = performAndWait(CaptureAction::fullScreen);
    ASSERT_EQ(toasts.size(), 2);
    EXPECT_EQ(toasts[0].message, "Allow Screen Recording, then try again");
    EXPECT_EQ(toasts[0].symbol, "lock.shield.fill");
    EXPECT_EQ(toasts[1].message, "No display available to capture.");
    EXPECT_EQ(toasts[1].symbol, "exclamationmark.triangle.fill");
    EXPECT_EQ(refused.status, CommandResult::Status::failed);
    EXPECT_EQ(failed.status, CommandResult::Status::failed);
    EXPECT_EQ(failed.message, toasts[1].message);
    EXPECT_TRUE(history->items().isEmpty());
}

TEST_F(CaptureCoordinatorTest, FailedHistoryCopyClearsTheLastCapture)
{
    platform.screen.displayList = {{1, QGuiApplication::primaryScreen()->geometry()}};
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
    EXPECT_TRUE(toasts.first().message.startsWith("Couldn't keep the capture in the history: "));
    EXPECT_GT(toasts.first().message.size(), 45);
}

TEST_F(CaptureCoordinatorTest, ActionsTheBackendCannotDoAreRefusedWithTheReason)
{
    platform.caps.windowCapture = false;
    EXPECT_TRUE(
        coordinator->unavailableReason(CaptureAction::window)->contains("capture single windows"));
    EXPECT_FALSE(coordinator->unavailableReason(CaptureAction::area));
    EXPECT_TRUE(coordinator->unavailableReason(CaptureAction::scrolling));
    const CommandResult result = performAndWait(CaptureAction::window);
    EXPECT_EQ(result.status, CommandResult::Status::failed);
    EXPECT_TRUE(requests.isEmpty()); // no overlay for it
}
