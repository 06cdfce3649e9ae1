#include "app/CaptureCoordinator.h"
#include "output/HistoryStore.h"
#include "platform/fake/FakePlatform.h"
#include "settings/AppSettings.h"
#include "unit/output/OutputTestSupport.h"

#include <QClipboard>
#include <QMimeData>
#include <QFileInfo>
#include <QScreen>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace {

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

    static QImage sample(int w = 64, int h = 48)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(QColor(10, 120, 200));
        return image;
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
    const QString path = deliverAndWait(sample());
    EXPECT_EQ(pasted().size(), QSize(64, 48));
    EXPECT_EQ(platform->player.played, 1);
    EXPECT_EQ(beeps, 0);
    ASSERT_EQ(history->items().size(), 1);
    EXPECT_EQ(history->items().first().fileName, "Zorv 2026-03-05 at 14.07.09.png");
    EXPECT_EQ(path, history->items().first().filePath);
    EXPECT_EQ(coordinator->lastCaptureURL(), QUrl::fromLocalFile(path));
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_FALSE(QFile::exists(settings().saveDirectoryPath())); // no automatic save by default
}

TEST_F(CaptureCoordinatorTest, OptionsTurnStepsOff)
{
    settings().setCopyToClipboard(false);
    settings().setPlaySound(false);
    deliverAndWait(sample());
    EXPECT_TRUE(pasted().isNull());
    EXPECT_EQ(platform->player.played, 0);
    EXPECT_EQ(history->items().size(), 1);
}

TEST_F(CaptureCoordinatorTest, BeepsWhenTheCaptureSoundCannotPlay)
{
    platform->player.available = false;
    deliverAndWait(sample());
    EXPECT_EQ(beeps, 1);
}

TEST_F(CaptureCoordinatorTest, FileNameFollowsTheChosenFormat)
{
    settings().setImageFormat(ImageFormat::jpeg);
    settings().setSaveScreenshotsAutomatically(true);
    deliverAndWait(sample());
    ASSERT_EQ(history->items().size(), 1);
    EXPECT_TRUE(history->items().first().fileName.endsWith(".jpg"));
    const QStringList saved = QDir(settings().saveDirectoryPath()).entryList(QDir::Files);
    EXPECT_EQ(saved, QStringList{"Zorv 2026-03-05 at 14.07.09.jpg"});
}

TEST_F(CaptureCoordinatorTest, FailedAutomaticSaveIsToldButNothingElseIsLost)
{
    // The save folder is a file.
    const QString blocker = temp.dir.filePath("not-a-folder");
    ASSERT_TRUE(test::writeFile(blocker, "x"));
    settings().setSaveDirectoryPath(blocker);
    settings().setSaveScreenshotsAutomatically(true);
    deliverAndWait(sample());
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_TRUE(toasts.first().message.startsWith("Couldn't save: "));
    EXPECT_EQ(toasts.first().symbol, "exclamationmark.triangle.fill");
    EXPECT_DOUBLE_EQ(toasts.first().seconds, 1.9);
    EXPECT_FALSE(pasted().isNull());
    EXPECT_EQ(history->items().size(), 1);
}

TEST_F(CaptureCoordinatorTest, TwoCapturesInOneSecondKeepBothFiles)
{
    settings().setSaveScreenshotsAutomatically(true);
    QSignalSpy finished(coordinator.get(), &CaptureCoordinator::deliveryFinished);
    coordinator->deliver(sample(), CaptureKind::screenshot);
    coordinator->deliver(sample(30, 20), CaptureKind::screenshot);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.size() == 2; }, 5000));
    ASSERT_EQ(history->items().size(), 2);
    EXPECT_NE(history->items()[0].filePath, history->items()[1].filePath);
    EXPECT_EQ(QDir(settings().saveDirectoryPath()).entryList(QDir::Files).size(), 2);
}

TEST_F(CaptureCoordinatorTest, FailedHistoryCopyClearsTheLastCapture)
{
    deliverAndWait(sample());
    ASSERT_TRUE(coordinator->lastCaptureURL());
    // The media folder turns into a file: the next history copy fails.
    QDir(history->mediaDirectory()).removeRecursively();
    ASSERT_TRUE(test::writeFile(history->mediaDirectory(), "x"));
    testing::internal::CaptureStderr();
    deliverAndWait(sample());
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
    const QSize screen = QGuiApplication::primaryScreen()->size();
    EXPECT_EQ(history->items().first().pixelWidth, screen.width());
    EXPECT_EQ(history->items().first().pixelHeight, screen.height());
    EXPECT_EQ(platform->screen.grabCount, 1);
}

TEST_F(CaptureCoordinatorTest, CaptureErrorsBecomeToasts)
{
    platform->screen.failure = CaptureError(CaptureError::Code::noDisplay);
    coordinator->perform(CaptureAction::fullScreen);
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_EQ(toasts.first().message, "No display available to capture.");
    EXPECT_EQ(toasts.first().symbol, "exclamationmark.triangle.fill");
    EXPECT_TRUE(history->items().isEmpty());
}

TEST_F(CaptureCoordinatorTest, MissingPermissionStopsBeforeCapturing)
{
    platform->granted = false;
    coordinator->perform(CaptureAction::fullScreen);
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_EQ(toasts.first().message, "Allow Screen Recording, then try again");
    EXPECT_EQ(toasts.first().symbol, "lock.shield.fill");
    EXPECT_EQ(platform->screen.grabCount, 0);
}

TEST_F(CaptureCoordinatorTest, UnbuiltActionsAreNotOffered)
{
    EXPECT_TRUE(CaptureCoordinator::isAvailable(CaptureAction::fullScreen));
    EXPECT_FALSE(CaptureCoordinator::isAvailable(CaptureAction::recordVideo));
    EXPECT_FALSE(CaptureCoordinator::isAvailable(CaptureAction::scrolling));
}

} // namespace
