#include "unit/app/AppTestSupport.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

struct CoordinatorFixture : test::CaptureWorld {
    void SetUp() override
    {
        CaptureWorld::SetUp();
        settings().playSound.set(false);
    }

    // Answers the last overlay request and waits for the capture to be delivered.
    QImage answer(std::optional<SelectionOutcome> outcome)
    {
        QSignalSpy delivered(coordinator.get(), &CaptureCoordinator::deliveryFinished);
        requests.last().completion(std::move(outcome));
        if (!delivered.wait(3000))
            return {};
        return QImageReader(delivered.first().first().toString()).read();
    }

    QStringList toastMessages() const
    {
        QStringList messages;
        for (const auto &toast : toasts)
            messages.append(toast.message);
        return messages;
    }
};

} // namespace

TEST_F(CoordinatorFixture, WindowsAndCancelsLeaveTheAreaThatIsRepeatedWithoutTheOverlay)
{
    // Nothing to repeat yet: the overlay asks for an area first.
    coordinator->perform(CaptureAction::repeatLastArea);
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].mode, SelectionMode::screenshot);
    EXPECT_FALSE(requests[0].windowMode);
    const QImage first = answer(SelectionOutcome::area(QRectF(10, 20, 100, 50)));
    EXPECT_EQ(first.size(), QSize(100, 50));
    EXPECT_EQ(first.pixel(0, 0), FakeScreenBackend::pixelAt({10, 20}));

    coordinator->perform(CaptureAction::window);
    ASSERT_EQ(requests.size(), 2);
    EXPECT_TRUE(requests[1].windowMode);
    WindowInfo notes;
    notes.id = 5;
    notes.frame = QRectF(40, 30, 200, 120);
    EXPECT_EQ(answer(SelectionOutcome::window(notes)).size(), QSize(200, 120));
    // A window that closed after it was picked.
    WindowInfo gone = notes;
    gone.id = 77;
    requests.last().completion(SelectionOutcome::window(gone));
    ASSERT_TRUE(QTest::qWaitFor([this] { return !toasts.isEmpty(); }, 2000));
    EXPECT_EQ(toastMessages(),
              QStringList{CaptureError(CaptureError::Code::noWindow).description()});
    coordinator->perform(CaptureAction::area);
    requests.last().completion(std::nullopt);
    QTest::qWait(20);

    const qsizetype asked = requests.size();
    QSignalSpy delivered(coordinator.get(), &CaptureCoordinator::deliveryFinished);
    coordinator->perform(CaptureAction::repeatLastArea);
    ASSERT_TRUE(delivered.wait(3000));
    EXPECT_EQ(requests.size(), asked); // no overlay
    const QImage again = QImageReader(delivered.first().first().toString()).read();
    EXPECT_EQ(again.size(), QSize(100, 50));
    EXPECT_EQ(again.pixel(99, 49), FakeScreenBackend::pixelAt({109, 69}));
}

TEST_F(CoordinatorFixture, PinLastNeedsAReadableCapture)
{
    coordinator->perform(CaptureAction::pinLast);
    EXPECT_EQ(toastMessages(), QStringList{QStringLiteral("Nothing captured yet")});

    coordinator->perform(CaptureAction::area);
    answer(SelectionOutcome::area(QRectF(0, 0, 64, 48)));
    coordinator->perform(CaptureAction::pinLast);
    ASSERT_EQ(pinned.size(), 1);
    EXPECT_EQ(pinned[0].size(), QSize(64, 48));

    ASSERT_TRUE(QFile::remove(coordinator->lastCaptureURL()->toLocalFile()));
    coordinator->perform(CaptureAction::pinLast);
    EXPECT_EQ(pinned.size(), 1);
    EXPECT_EQ(toasts.size(), 2);
    EXPECT_EQ(toasts.last().message, QStringLiteral("Nothing captured yet"));
}
