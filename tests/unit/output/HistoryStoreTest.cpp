#include "output/history/HistoryStore.h"
#include "OutputTestSupport.h"
#include "output/encoding/ImageEncoder.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zorv;

namespace
{

// An entry for a file, as an index written earlier would hold it.
HistoryItem entryFor(const QString &path, CaptureKind kind = CaptureKind::screenshot)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return {QUuid::createUuid(), QFileInfo(path).fileName(), kind, now, 10, 10, path, {}};
}

std::optional<HistoryItem> record(HistoryStore &store, const QString &name, QSize size = {64, 40})
{
    return store.recordImage(test::solidImage(size), std::nullopt, CaptureKind::screenshot, name);
}

// A history root with its settings, both in one temporary folder.
class HistoryStoreTest : public ::testing::Test
{
  protected:
    test::TemporarySettings temp;
    QString root = temp.dir.filePath("Zorv");

    std::unique_ptr<HistoryStore> open()
    {
        return std::make_unique<HistoryStore>(root, *temp.settings);
    }
    QString media() const { return root + "/History"; }
    QString index() const { return root + "/history.json"; }
    QJsonArray indexJson() const
    {
        return QJsonDocument::fromJson(test::readFile(index())).array();
    }

    // An index of `count` entries whose files exist in the media folder.
    void writeIndex(int count)
    {
        QDir().mkpath(media());
        QList<HistoryItem> items;
        for (int i = 0; i < count; ++i) {
            const QString path = media() + QStringLiteral("/old %1.png").arg(i);
            test::writeFile(path, "png");
            items.append(entryFor(path));
        }
        test::writeFile(index(), HistoryIndex::encode(items));
    }
};

std::optional<QImage> waitFor(QFuture<std::optional<QImage>> future)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 10000));
    return future.isFinished() ? future.result() : std::nullopt;
}

QSize sizeOf(const std::optional<QImage> &image)
{
    return image ? image->size() : QSize();
}

} // namespace

TEST(HistoryIndex, EncodesTheDocumentedMembers)
{
    const QUuid id = QUuid::fromString("6f1c2d9e-8a7b-4c3d-9e2f-0a1b2c3d4e5f");
    const QDateTime created = QDateTime(QDate(2001, 1, 1), QTime(0, 1, 40, 500), Qt::UTC);
    const HistoryItem plain{id, "a \"b\".png",    CaptureKind::gif, created, 3,
                            4,  "/x/a \"b\".png", std::nullopt};
    HistoryItem withText = plain;
    withText.ocrText = "line one\nline\ttwo \\ ü";

    const QByteArray json = HistoryIndex::encode({plain, withText});
    const QJsonArray array = QJsonDocument::fromJson(json).array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array[0].toObject();
    EXPECT_EQ(first["id"].toString(), "6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F");
    EXPECT_DOUBLE_EQ(first["createdAt"].toDouble(), 100.5);
    EXPECT_FALSE(first.contains("ocrText"));
    EXPECT_TRUE(json.contains("\n    \"pixelWidth\" : 3,\n")) << json.toStdString();
    EXPECT_EQ(HistoryIndex::decode(json), QList<HistoryItem>({plain, withText}));
}

TEST(HistoryIndex, RejectsAFileWithAnyBadEntry)
{
    const QByteArray good = R"({"id":"6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F","fileName":"a.png",
        "kind":"screenshot","createdAt":1.5,"pixelWidth":3,"pixelHeight":4,"filePath":"\/x\/a.png")";
    EXPECT_TRUE(HistoryIndex::decode("[" + good + "}]").has_value());
    EXPECT_EQ(HistoryIndex::decode("[" + good + "}]")->front().filePath, "/x/a.png");
    EXPECT_TRUE(HistoryIndex::decode("[" + good + R"(,"ocrText":null})" + "]").has_value());
    const QByteArray bad[] = {
        "[" + good + "}", // half-written
        "{}",
        "[" + good + R"(,"ocrText":7})" + "]",
        "[" + good + "}," + QByteArray(good).replace("\"pixelWidth\":3,", "") + "}]",
        "[" + QByteArray(good).replace("screenshot", "photo") + "}]",
        "[" + QByteArray(good).replace("\"pixelWidth\":3", "\"pixelWidth\":3.5") + "}]",
        "[" + QByteArray(good).replace("\"pixelWidth\":3", "\"pixelWidth\":\"3\"") + "}]",
        "[" + QByteArray(good).replace("6F1C2D9E", "nonsense") + "}]",
        "[" + QByteArray(good).replace("1.5", "\"1.5\"") + "}]",
    };
    for (const QByteArray &json : bad)
        EXPECT_FALSE(HistoryIndex::decode(json).has_value()) << json.toStdString();
}

TEST_F(HistoryStoreTest, MovesACorruptIndexAsideReplacingAnOlderOne)
{
    QDir().mkpath(root);
    for (const QByteArray &damaged : {QByteArray("[{\"id\": \"6F1C"), QByteArray("[{}]")}) {
        ASSERT_TRUE(test::writeFile(index(), damaged));
        const auto store = open();
        EXPECT_TRUE(store->items().isEmpty());
        EXPECT_FALSE(QFile::exists(index()));
        EXPECT_EQ(test::readFile(index() + ".corrupt"), damaged);
    }
    const auto store = open();
    ASSERT_TRUE(record(*store, "a.png"));
    EXPECT_EQ(indexJson().size(), 1);
}

TEST_F(HistoryStoreTest, DropsEntriesWhoseFilesVanishedButKeepsTheIndexUntilTheNextChange)
{
    writeIndex(3);
    QFile::remove(media() + "/old 1.png");
    const QByteArray before = test::readFile(index());

    const auto store = open();
    ASSERT_EQ(store->items().size(), 2);
    EXPECT_EQ(store->items()[0].fileName, "old 0.png");
    EXPECT_EQ(store->items()[1].fileName, "old 2.png");
    EXPECT_EQ(test::readFile(index()), before);

    store->updateOCR(store->items()[0].id, "text");
    EXPECT_EQ(indexJson().size(), 2);
}

TEST_F(HistoryStoreTest, TheNextInsertPrunesToTheLimitButNeverBelowTen)
{
    const struct {
        int limit, stored, kept;
    } cases[] = {{0, 10, 10}, {5, 10, 10}, {50, 60, 50}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.limit);
        root = temp.dir.filePath(QStringLiteral("limit %1").arg(c.limit));
        writeIndex(c.stored);
        temp.settings->historyLimit.set(c.limit);
        const auto store = open();
        EXPECT_EQ(store->items().size(), c.stored); // a lowered limit waits for the next insert
        const std::optional<HistoryItem> added = record(*store, "new.png");
        ASSERT_TRUE(added);
        EXPECT_EQ(store->items().size(), c.kept);
        EXPECT_EQ(store->items().front().id, added->id);
        EXPECT_EQ(indexJson().size(), c.kept);
        EXPECT_EQ(test::folderEntries(media()).size(), c.kept);
        // The oldest go, file and all ("old 0" is the newest stored entry).
        const QString old = media() + "/old %1.png";
        EXPECT_FALSE(QFile::exists(old.arg(c.kept - 1)));
        EXPECT_TRUE(QFile::exists(old.arg(c.kept - 2)));
    }
}

TEST_F(HistoryStoreTest, DeletesItsOwnFilesButNeverFilesOutsideTheMediaFolder)
{
    QDir().mkpath(media());
    const QString outside = temp.dir.filePath("precious.txt");
    const QString outsideTarget = temp.dir.filePath("linked.txt");
    ASSERT_TRUE(test::writeFile(outside, "keep"));
    ASSERT_TRUE(test::writeFile(outsideTarget, "keep"));
    const QString link = media() + "/link.png";
    ASSERT_TRUE(QFile::link(outsideTarget, link));
    const QString sneaky = media() + "/../../precious.txt";
    const QString inside = media() + "/inside.png";

    QList<HistoryItem> items;
    for (const QString &path : {outside, link, sneaky, inside})
        items.append(entryFor(path));
    const auto run = [&](auto action) {
        ASSERT_TRUE(test::writeFile(inside, "png"));
        test::writeFile(index(), HistoryIndex::encode(items));
        const auto store = open();
        ASSERT_EQ(store->items().size(), 4);
        action(*store);
        EXPECT_EQ(test::readFile(outside), QByteArray("keep"));
        EXPECT_EQ(test::readFile(outsideTarget), QByteArray("keep"));
        EXPECT_FALSE(QFile::exists(inside));
    };
    run([&](HistoryStore &store) {
        store.removeAll();
        EXPECT_TRUE(indexJson().isEmpty());
    });
    run([&](HistoryStore &store) {
        for (const HistoryItem &item : items)
            store.remove(item);
        EXPECT_TRUE(store.items().isEmpty());
    });
    temp.settings->historyLimit.set(0);
    run([](HistoryStore &store) {
        for (int i = 0; i < 10; ++i)
            record(store, "s.png");
        EXPECT_EQ(store.items().size(), 10);
    });
}

TEST_F(HistoryStoreTest, NamesTheFileAfterWhatIsWritten)
{
    const auto store = open();
    const QImage image = test::solidImage({33, 21});
    // The caller's JPEG encoder failed: the store falls back to PNG and says so.
    const auto fallback =
        store->recordImage(image, std::nullopt, CaptureKind::screenshot, "cap.jpg");
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->fileName, "cap.png");
    EXPECT_EQ(QImage::fromData(test::readFile(fallback->filePath), "png").size(), QSize(33, 21));
    EXPECT_EQ(QSize(fallback->pixelWidth, fallback->pixelHeight), QSize(33, 21));

    const auto given =
        store->recordImage(image, QByteArray("jpeg bytes"), CaptureKind::scrolling, "cap.jpg");
    ASSERT_TRUE(given);
    EXPECT_EQ(given->fileName, "cap.jpg");
    EXPECT_EQ(test::readFile(given->filePath), QByteArray("jpeg bytes"));
}

TEST_F(HistoryStoreTest, CollidingNamesGetUniqueFilesAndNothingIsLost)
{
    const auto store = open();
    QDir().mkpath(temp.dir.filePath("tmp"));
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const QString source = temp.dir.filePath(QStringLiteral("tmp/zorv-%1.mp4").arg(i));
        ASSERT_TRUE(test::writeFile(source, QByteArray::number(i)));
        const auto item =
            store->recordFile(source, CaptureKind::recording, "clip.mp4", QSizeF(1280.9, 720.2));
        ASSERT_TRUE(item);
        EXPECT_FALSE(QFile::exists(source));
        EXPECT_EQ(test::readFile(item->filePath), QByteArray::number(i));
        EXPECT_EQ(QSize(item->pixelWidth, item->pixelHeight), QSize(1280, 720));
        names.append(item->fileName);
    }
    EXPECT_EQ(names, QStringList({"clip.mp4", "clip 2.mp4", "clip 3.mp4"}));
    EXPECT_EQ(indexJson().size(), 3);
}

TEST_F(HistoryStoreTest, MovesFilesAcrossFileSystems)
{
    struct stat shm {
    }, tmp{};
    if (stat("/dev/shm", &shm) != 0 || stat(QFile::encodeName(temp.dir.path()), &tmp) != 0 ||
        shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    QTemporaryDir other("/dev/shm/zorv-test-XXXXXX");
    const QString source = other.filePath("zorv-1.gif");
    ASSERT_TRUE(test::writeFile(source, "GIF89a"));
    const auto store = open();
    const auto item = store->recordFile(source, CaptureKind::gif, "anim.gif", {8, 8});
    ASSERT_TRUE(item);
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(test::readFile(item->filePath), QByteArray("GIF89a"));
    EXPECT_EQ(test::folderEntries(media()), QStringList({"anim.gif"}));
}

TEST_F(HistoryStoreTest, FailuresAreLoggedAndAddNothing)
{
    const auto store = open();
    const QString missing = temp.dir.filePath("missing.mp4");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(store->recordFile(missing, CaptureKind::recording, "m.mp4", {1, 1}));
    EXPECT_FALSE(store->recordImage(QImage(), std::nullopt, CaptureKind::screenshot, "n.png"));
    // An index that cannot be replaced keeps the change in memory.
    QDir().mkpath(index());
    EXPECT_TRUE(record(*store, "p.png"));
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(
        log.startsWith("Zorv: history move failed: The file “" + missing + "” couldn't be read"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("\nZorv: history persist failed: ")) << log.toStdString();
    EXPECT_EQ(log.count(QLatin1Char('\n')), 2);
    EXPECT_EQ(store->items().size(), 1);
    EXPECT_EQ(test::folderEntries(media()), QStringList({"p.png"}));
    EXPECT_EQ(test::folderEntries(root), QStringList({"History", "history.json"}));
}

TEST_F(HistoryStoreTest, UpdateOCRWritesOnlyForAKnownEntry)
{
    const auto store = open();
    const HistoryItem item = *record(*store, "a.png");
    QFile::remove(index());
    store->updateOCR(QUuid::createUuid(), "nothing");
    EXPECT_FALSE(QFile::exists(index()));
    store->updateOCR(item.id, "Hello");
    EXPECT_EQ(open()->items().front().ocrText, "Hello");
}

TEST_F(HistoryStoreTest, ThumbnailsAreBoundedAndCachedPerSize)
{
    const auto store = open();
    const HistoryItem wide = *record(*store, "w.png", {1000, 500});
    EXPECT_EQ(sizeOf(waitFor(store->thumbnail(wide, 200))), QSize(200, 100));
    // The second request at that size never reaches the file.
    QFile::remove(wide.filePath);
    QFuture<std::optional<QImage>> again = store->thumbnail(wide, 200);
    ASSERT_TRUE(again.isFinished());
    EXPECT_EQ(sizeOf(again.result()), QSize(200, 100));
    EXPECT_FALSE(waitFor(store->thumbnail(wide, 480)));

    const HistoryItem tall = *record(*store, "t.png", {30, 90});
    EXPECT_EQ(sizeOf(waitFor(store->thumbnail(tall, 200))), QSize(30, 90));
    EXPECT_EQ(sizeOf(waitFor(store->thumbnail(tall, 45))), QSize(15, 45));
    EXPECT_EQ(store->cachedThumbnailCount(), 3);
}

TEST_F(HistoryStoreTest, ThumbnailsOfOtherKinds)
{
    QDir().mkpath(media());
    // Two 40 × 20 frames: blue, then red.
    const QByteArray twoFrameGif = QByteArray::fromHex(
        "47494638396128001400f000000000ff00000021f904000000000021ff0b4e45545343415045322e"
        "3003010000002c000000002800140000021a848fa9cbed0fa39cb4da8bb3debcfb0f86e24896e689"
        "a6ea8a150021f90400000000002c000000002800140080ff0000000000021a848fa9cbed0fa39cb4"
        "da8bb3debcfb0f86e24896e689a6ea8a15003b");
    const QString gifPath = media() + "/a.gif";
    ASSERT_TRUE(test::writeFile(gifPath, twoFrameGif));
    const QString heicPath = media() + "/b.heic";
    test::writeFile(heicPath, *ImageEncoder::heicData(test::solidImage({80, 40}, Qt::green), 0.8));

    const auto store = open();
    const auto thumb = [&](const QString &path, CaptureKind kind) {
        return waitFor(store->thumbnail(entryFor(path, kind), 20));
    };
    const auto gif = thumb(gifPath, CaptureKind::gif);
    ASSERT_EQ(sizeOf(gif), QSize(20, 10));
    EXPECT_GT(qBlue(gif->pixel(10, 5)), 200);
    EXPECT_LT(qRed(gif->pixel(10, 5)), 50);
    const auto heic = thumb(heicPath, CaptureKind::screenshot);
    ASSERT_EQ(sizeOf(heic), QSize(20, 10));
    EXPECT_GT(qGreen(heic->pixel(10, 5)), 200);
    EXPECT_FALSE(thumb(media() + "/none.png", CaptureKind::screenshot));
    EXPECT_EQ(store->cachedThumbnailCount(), 2);
}
