#include "app/CaptureCoordinator.h"
#include "output/history/HistoryStore.h"
#include "support/fake/FakePlatform.h"
#include "unit/output/OutputTestSupport.h"

#include <QFile>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

struct SelectionRequest {
    SelectionMode mode;
    bool windowMode;
    std::function<void(std::optional<SelectionOutcome>)> completion;
};

struct CoordinatorFixture : ::testing::Test {
    void SetUp() override
    {
        auto platform = std::make_unique<FakePlatform>();
        fake = platform.get();
        PlatformWindow window;
        window.id = 5;
        window.frame = QRectF(40, 30, 200, 120);
        window.title = QStringLiteral("Notes");
        fake->screen.windowList = {window};
        Platform::install(std::move(platform));

        settings.settings->playSound.set(false);
        history = std::make_unique<HistoryStore>(settings.dir.filePath(QStringLiteral("history")),
                                                 *settings.settings);
        CoordinatorServices services;
        services.platform = fake;
        services.settings = settings.settings.get();
        services.history = history.get();
        services.toast = [this](const QString &message, const QString &, double) {
            toasts.append(message);
        };
        services.beep = [] {};
        services.now = [] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); };
        services.selectArea = [this](SelectionMode mode, bool windowMode, auto completion) {
            requests.append({mode, windowMode, std::move(completion)});
        };
        services.pin = [this](const QImage &image) { pinned.append(image); };
        coordinator = std::make_unique<CaptureCoordinator>(services);
    }
    void TearDown() override { Platform::install(nullptr); }

    // Answers the last overlay request and waits for the capture to be delivered.
    QImage answer(std::optional<SelectionOutcome> outcome)
    {
        QSignalSpy delivered(coordinator.get(), &CaptureCoordinator::deliveryFinished);
        requests.last().completion(std::move(outcome));
        if (!delivered.wait(3000))
            return {};
        return QImageReader(delivered.first().first().toString()).read();
    }

    test::TemporarySettings settings;
    FakePlatform *fake = nullptr;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<CaptureCoordinator> coordinator;
    QList<SelectionRequest> requests;
    QStringList toasts;
    QList<QImage> pinned;
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
    EXPECT_EQ(toasts, QStringList{CaptureError(CaptureError::Code::noWindow).description()});
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
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Nothing captured yet")});

    coordinator->perform(CaptureAction::area);
    answer(SelectionOutcome::area(QRectF(0, 0, 64, 48)));
    coordinator->perform(CaptureAction::pinLast);
    ASSERT_EQ(pinned.size(), 1);
    EXPECT_EQ(pinned[0].size(), QSize(64, 48));

    ASSERT_TRUE(QFile::remove(coordinator->lastCaptureURL()->toLocalFile()));
    coordinator->perform(CaptureAction::pinLast);
    EXPECT_EQ(pinned.size(), 1);
    EXPECT_EQ(toasts.size(), 2);
    EXPECT_EQ(toasts.last(), QStringLiteral("Nothing captured yet"));
}
