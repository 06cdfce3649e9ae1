#include "app/CaptureCoordinator.h"
#include "output/history/HistoryStore.h"
#include "settings/AppSettings.h"
#include "support/fake/FakePlatform.h"
#include "unit/output/OutputTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

struct ToastRecord {
    QString message;
    QString symbol;
    double seconds;
};

class CaptureCoordinatorTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        auto owned = std::make_unique<FakePlatform>();
        platform = owned.get();
        platform->screen.displayList = {{1, QGuiApplication::primaryScreen()->geometry()}};
        Platform::install(std::move(owned));
        history = std::make_unique<HistoryStore>(temp.dir.filePath("history"), settings());
        CoordinatorServices services;
        services.platform = platform;
        services.settings = &settings();
        services.history = history.get();
        services.toast = [this](const QString &m, const QString &s, double d) {
            toasts.append({m, s, d});
        };
        services.beep = [this] { ++beeps; };
        services.now = [] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); };
        coordinator = std::make_unique<CaptureCoordinator>(services);
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override { Platform::install(nullptr); }

    AppSettings &settings() { return *temp.settings; }

    // Runs one delivery to its end (encoding happens off the main thread).
    QString deliverAndWait(const QImage &image)
    {
        QSignalSpy finished(coordinator.get(), &CaptureCoordinator::deliveryFinished);
        coordinator->deliver(image, CaptureKind::screenshot);
        // A quick encode may finish the delivery before deliver() returns.
        EXPECT_TRUE(!finished.isEmpty() || finished.wait(5000));
        return finished.isEmpty() ? QString() : finished.first().first().toString();
    }

    // What another program pastes.
    static QImage pasted()
    {
        const QMimeData *mime = QGuiApplication::clipboard()->mimeData();
        return mime ? QImage::fromData(mime->data("image/png")) : QImage();
    }

    test::TemporarySettings temp;
    FakePlatform *platform = nullptr;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<CaptureCoordinator> coordinator;
    QList<ToastRecord> toasts;
    int beeps = 0;
};

TEST_F(CaptureCoordinatorTest, DeliveryServesClipboardSoundHistoryInOrder)
{
    const QString path = deliverAndWait(test::solidImage());
    EXPECT_EQ(pasted().size(), QSize(64, 40));
    EXPECT_EQ(platform->player.played, 1);
    EXPECT_EQ(beeps, 0);
    ASSERT_EQ(history->items().size(), 1);
    EXPECT_EQ(history->items().first().fileName, "Zorv 2026-03-05 at 14.07.09.png");
    EXPECT_EQ(path, history->items().first().filePath);
    EXPECT_EQ(coordinator->lastCaptureURL(), QUrl::fromLocalFile(path));
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_FALSE(QFile::exists(settings().saveDirectoryPath())); // no automatic save by default
}

TEST_F(CaptureCoordinatorTest, OptionsTurnStepsOffAndAMissingSoundBeeps)
{
    settings().copyToClipboard.set(false);
    settings().playSound.set(false);
    platform->player.available = false;
    deliverAndWait(test::solidImage());
    EXPECT_TRUE(pasted().isNull());
    EXPECT_EQ(platform->player.played, 0);
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(history->items().size(), 1);
    settings().playSound.set(true);
    deliverAndWait(test::solidImage());
    EXPECT_EQ(beeps, 1);
}

TEST_F(CaptureCoordinatorTest, AutomaticSaveFollowsTheFormatAndKeepsSameSecondCaptures)
{
    settings().imageFormat.set(ImageFormat::jpeg);
    settings().saveScreenshotsAutomatically.set(true);
    QSignalSpy finished(coordinator.get(), &CaptureCoordinator::deliveryFinished);
    coordinator->deliver(test::solidImage(), CaptureKind::screenshot);
    coordinator->deliver(test::solidImage({30, 20}), CaptureKind::screenshot);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 2; }, 5000));
    ASSERT_EQ(history->items().size(), 2);
    EXPECT_NE(history->items()[0].filePath, history->items()[1].filePath);
    EXPECT_TRUE(history->items()[0].fileName.endsWith(".jpg"));
    EXPECT_EQ(
        QDir(settings().saveDirectoryPath()).entryList(QDir::Files, QDir::Name),
        QStringList({"Zorv 2026-03-05 at 14.07.09 2.jpg", "Zorv 2026-03-05 at 14.07.09.jpg"}));
}

TEST_F(CaptureCoordinatorTest, FailedAutomaticSaveIsToldButNothingElseIsLost)
{
    // The save folder is a file.
    const QString blocker = temp.dir.filePath("not-a-folder");
    ASSERT_TRUE(test::writeFile(blocker, "x"));
    settings().saveDirectoryPath.set(blocker);
    settings().saveScreenshotsAutomatically.set(true);
    deliverAndWait(test::solidImage());
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_TRUE(toasts.first().message.startsWith("Couldn't save: "));
    EXPECT_EQ(toasts.first().symbol, "exclamationmark.triangle.fill");
    EXPECT_DOUBLE_EQ(toasts.first().seconds, 1.9);
    EXPECT_FALSE(pasted().isNull());
    EXPECT_EQ(history->items().size(), 1);
}

TEST_F(CaptureCoordinatorTest, FailedHistoryCopyClearsTheLastCapture)
{
    deliverAndWait(test::solidImage());
    ASSERT_TRUE(coordinator->lastCaptureURL());
    // The media folder turns into a file: the next history copy fails.
    QDir(history->mediaDirectory()).removeRecursively();
    ASSERT_TRUE(test::writeFile(history->mediaDirectory(), "x"));
    testing::internal::CaptureStderr();
    deliverAndWait(test::solidImage());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Zorv: history write failed: "), std::string::npos) << log;
    EXPECT_FALSE(coordinator->lastCaptureURL());
    EXPECT_FALSE(pasted().isNull());
}

TEST_F(CaptureCoordinatorTest, FullScreenCapturesTheScreenUnderThePointer)
{
    QSignalSpy finished(coordinator.get(), &CaptureCoordinator::deliveryFinished);
    coordinator->perform(CaptureAction::fullScreen);
    ASSERT_TRUE(!finished.isEmpty() || finished.wait(5000));
    ASSERT_EQ(history->items().size(), 1);
    const HistoryItem &item = history->items().first();
    EXPECT_EQ(QSize(item.pixelWidth, item.pixelHeight), QGuiApplication::primaryScreen()->size());
    EXPECT_EQ(platform->screen.grabCount, 1);
}

TEST_F(CaptureCoordinatorTest, CaptureProblemsBecomeToasts)
{
    platform->granted = false;
    coordinator->perform(CaptureAction::fullScreen);
    EXPECT_EQ(platform->screen.grabCount, 0); // stopped before capturing
    platform->granted = true;
    platform->screen.failure = CaptureError(CaptureError::Code::noDisplay);
    coordinator->perform(CaptureAction::fullScreen);
    ASSERT_EQ(toasts.size(), 2);
    EXPECT_EQ(toasts[0].message, "Allow Screen Recording, then try again");
    EXPECT_EQ(toasts[0].symbol, "lock.shield.fill");
    EXPECT_EQ(toasts[1].message, "No display available to capture.");
    EXPECT_EQ(toasts[1].symbol, "exclamationmark.triangle.fill");
    EXPECT_TRUE(history->items().isEmpty());
}

} // namespace
