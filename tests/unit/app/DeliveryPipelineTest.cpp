#include "unit/app/AppTestSupport.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QDir>
#include <QImageReader>

using namespace zorv;
using namespace zorv::test;

namespace
{
using DeliveryPipelineTest = CaptureWorld;
} // namespace

TEST_F(DeliveryPipelineTest, ServesClipboardSoundHistoryAndThePngForPastes)
{
    const Delivery delivery = deliverAndWait(solidImage());
    ASSERT_EQ(copied.size(), 1);
    EXPECT_EQ(copied.first().size(), QSize(64, 40));
    EXPECT_EQ(platform.player.played, 1);
    EXPECT_EQ(beeps, 0);
    // The pastes are served from the very bytes the history holds.
    ASSERT_EQ(offered.size(), 1);
    ASSERT_TRUE(delivery.historyItem);
    EXPECT_EQ(offered.first(), readFile(delivery.historyItem->filePath));
    ASSERT_EQ(history->items().size(), 1);
    EXPECT_EQ(history->items().first().fileName, "Zorv 2026-03-05 at 14.07.09.png");
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_FALSE(delivery.savedPath);
    EXPECT_FALSE(QFile::exists(settings().saveDirectoryPath())); // no automatic save by default
}

TEST_F(DeliveryPipelineTest, OptionsTurnStepsOffAndAMissingSoundBeeps)
{
    settings().copyToClipboard.set(false);
    settings().playSound.set(false);
    platform.player.available = false;
    deliverAndWait(solidImage());
    EXPECT_TRUE(copied.isEmpty());
    EXPECT_TRUE(offered.isEmpty());
    EXPECT_EQ(platform.player.played, 0);
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(history->items().size(), 1);
    settings().playSound.set(true);
    deliverAndWait(solidImage());
    EXPECT_EQ(beeps, 1);
}

TEST_F(DeliveryPipelineTest, AutomaticSaveFollowsTheFormatAndKeepsSameSecondCaptures)
{
    settings().imageFormat.set(ImageFormat::jpeg);
    settings().saveScreenshotsAutomatically.set(true);
    int finished = 0;
    pipeline->deliver(solidImage(), CaptureKind::screenshot, [&](const Delivery &) { ++finished; });
    pipeline->deliver(solidImage({30, 20}), CaptureKind::screenshot,
                      [&](const Delivery &) { ++finished; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished == 2; }, 5000));
    ASSERT_EQ(history->items().size(), 2);
    EXPECT_NE(history->items()[0].filePath, history->items()[1].filePath);
    EXPECT_TRUE(history->items()[0].fileName.endsWith(".jpg"));
    EXPECT_TRUE(offered.isEmpty()); // JPEG bytes are no PNG for the clipboard
    EXPECT_EQ(
        QDir(settings().saveDirectoryPath()).entryList(QDir::Files, QDir::Name),
        QStringList({"Zorv 2026-03-05 at 14.07.09 2.jpg", "Zorv 2026-03-05 at 14.07.09.jpg"}));
}

TEST_F(DeliveryPipelineTest, FailedAutomaticSaveIsToldButNothingElseIsLost)
{
    const QString blocker = temp.dir.filePath("not-a-folder");
    ASSERT_TRUE(writeFile(blocker, "x"));
    settings().saveDirectoryPath.set(blocker);
    settings().saveScreenshotsAutomatically.set(true);
    const Delivery delivery = deliverAndWait(solidImage());
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_TRUE(toasts.first().message.startsWith("Couldn't save: "));
    EXPECT_EQ(toasts.first().symbol, "exclamationmark.triangle.fill");
    EXPECT_FALSE(delivery.savedPath);
    EXPECT_EQ(copied.size(), 1);
    EXPECT_EQ(history->items().size(), 1);
}
