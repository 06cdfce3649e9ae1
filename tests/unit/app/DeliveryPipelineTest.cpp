#include "unit/app/AppTestSupport.h"

using namespace zorv;
using namespace zorv::test;

namespace
{
using DeliveryPipelineTest = CaptureWorld;
} // namespace

TEST_F(DeliveryPipelineTest, ServesClipboardSoundAndHistoryUnlessTurnedOffAndBeepsWithoutSound)
{
    const Delivery delivery = deliverAndWait(solidImage());
    EXPECT_EQ(std::pair(platform.player.played, beeps), std::pair(1, 0));
    // The pastes are served from the very bytes the history holds.
    EXPECT_EQ(offered, QList<QByteArray>{readFile(delivery.historyItem.value().filePath)});
    EXPECT_TRUE(toasts.isEmpty());
    EXPECT_FALSE(delivery.savedPath || QFile::exists(settings().saveDirectoryPath()));

    settings().copyToClipboard.set(false);
    settings().playSound.set(false);
    platform.player.available = false;
    deliverAndWait(solidImage());
    EXPECT_EQ(std::tuple(copied.size(), offered.size(), platform.player.played, beeps),
              std::tuple(1, 1, 1, 0));
    EXPECT_EQ(history->items().size(), 2);
    settings().playSound.set(true);
    deliverAndWait(solidImage());
    EXPECT_EQ(beeps, 1);
}

TEST_F(DeliveryPipelineTest, AutomaticSaveFollowsTheFormatKeepsSameSecondCapturesAndToldFailures)
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

    // A failed save is told, and nothing else is lost.
    const QString blocker = temp.dir.filePath("not-a-folder");
    ASSERT_TRUE(writeFile(blocker, "x"));
    settings().saveDirectoryPath.set(blocker);
    const Delivery delivery = deliverAndWait(solidImage());
    ASSERT_EQ(toasts.size(), 1);
    EXPECT_TRUE(toasts[0].startsWith("Couldn't save: "));
    EXPECT_FALSE(delivery.savedPath);
    EXPECT_EQ(copied.size(), 3);
    EXPECT_EQ(history->items().size(), 3);
}
