#include "output/history/HistoryStore.h"
#include "output/encoding/ImageEncoder.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QScopeGuard>
#include <QTest>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
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

bool setModified(const QString &path, const QDateTime &time)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite) &&
           file.setFileTime(time, QFileDevice::FileModificationTime);
}

FileResult<HistoryItem> record(HistoryStore &store, const QString &name, QSize size = {64, 40})
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

TEST(HistoryIndex, RoundTripsWithIdsAndDatesInTheirStoredForm)
{
    HistoryItem plain = entryFor("/x/a \"b\".png", CaptureKind::gif);
    plain.id = QUuid::fromString("6f1c2d9e-8a7b-4c3d-9e2f-0a1b2c3d4e5f");
    plain.createdAt = QDateTime(QDate(2001, 1, 1), QTime(0, 1, 40, 500), Qt::UTC);
    HistoryItem withText = plain;
    withText.ocrText = "line one\nline\ttwo \\ ü";
    const QByteArray json = HistoryIndex::encode({plain, withText});
    // Upper-case ids and seconds since 2001, as indexes written earlier hold them.
    const QJsonObject first = QJsonDocument::fromJson(json).array()[0].toObject();
    EXPECT_EQ(first["id"].toString(), "6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F");
    EXPECT_DOUBLE_EQ(first["createdAt"].toDouble(), 100.5);
    EXPECT_EQ(HistoryIndex::decode(json)->items, QList<HistoryItem>({plain, withText}));
}

TEST(HistoryIndex, DropsOnlyTheEntriesThatDoNotDecode)
{
    const QByteArray good = R"({"id":"6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F","fileName":"a.png",
        "kind":"screenshot","createdAt":1.5,"pixelWidth":3,"pixelHeight":4,"filePath":"\/x\/a.png")";
    const auto decode = [&](const QByteArray &entry) {
        return HistoryIndex::decode("[" + good + "}," + entry + "," + good +
                                    R"(,"ocrText":null}])");
    };
    const auto kept = decode(good + "}");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->items.size(), 3);
    EXPECT_EQ(kept->items.front().filePath, "/x/a.png");
    const QByteArray bad[] = {
        "7",
        good + R"(,"ocrText":7})",
        QByteArray(good).replace("\"pixelWidth\":3,", "") + "}",
        QByteArray(good).replace("screenshot", "photo") + "}",
        QByteArray(good).replace("\"pixelWidth\":3", "\"pixelWidth\":3.5") + "}",
        QByteArray(good).replace("\"pixelWidth\":3", "\"pixelWidth\":\"3\"") + "}",
        QByteArray(good).replace("6F1C2D9E", "nonsense") + "}",
        QByteArray(good).replace("1.5", "\"1.5\"") + "}",
    };
    for (const QByteArray &entry : bad) {
        SCOPED_TRACE(entry.toStdString());
        const auto decoded = decode(entry);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->items.size(), 2);
        EXPECT_EQ(decoded->dropped, 1);
    }
    for (const QByteArray &json : {"[" + good + "}", QByteArray("{}"), QByteArray()})
        EXPECT_FALSE(HistoryIndex::decode(json)) << json.toStdString();
}

TEST_F(HistoryStoreTest, ADamagedIndexCostsOnlyItsBadEntriesAndIsKeptAside)
{
    writeIndex(5);
    // The bad entry's file becomes an orphan, taken up again as the oldest capture.
    const QString orphan = media() + "/orphan.png";
    ASSERT_TRUE(test::writeFile(orphan, "png"));
    ASSERT_TRUE(setModified(orphan, QDateTime::currentDateTimeUtc().addSecs(-3600)));
    const QByteArray badEntry = HistoryIndex::encode({entryFor(orphan)})
                                    .mid(1)
                                    .replace("\"pixelWidth\" : 10,", "\"pixelWidth\" : 10.5,");
    QList<QByteArray> damaged = {test::readFile(index()).replace("\n]", ",\n" + badEntry)};
    test::writeFile(index(), damaged[0]);
    testing::internal::CaptureStderr();
    const auto store = open();
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(log.startsWith("Zorv: history index: dropped 1 unreadable entry"))
        << log.toStdString();
    EXPECT_EQ(log.count('\n'), 1);
    EXPECT_EQ(test::readFile(index() + ".corrupt"), damaged[0]);
    ASSERT_EQ(store->items().size(), 6);
    EXPECT_EQ(store->items().back().filePath, orphan);
    // Mended once: the next start finds nothing to mend.
    testing::internal::CaptureStderr();
    EXPECT_EQ(open()->items(), store->items());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

    // Every damaged index is kept, never over an earlier copy; the newest five stay.
    ASSERT_TRUE(test::writeFile(index() + ".corrupt.keep", "mine"));
    for (int i = 1; i < 7; ++i) {
        damaged.append("[{\"id\": " + QByteArray::number(i)); // unreadable as a whole
        ASSERT_TRUE(test::writeFile(index(), damaged.back()));
        EXPECT_EQ(open()->items().size(), 6); // its captures are taken up again
    }
    QStringList expected = {"History", "history.json", "history.json.corrupt.keep"};
    for (int n = 3; n <= 7; ++n) {
        expected.append("history.json.corrupt." + QString::number(n));
        EXPECT_EQ(test::readFile(root + "/" + expected.back()), damaged[n - 1]);
    }
    expected.sort();
    EXPECT_EQ(test::folderEntries(root), expected);

    // Where no copy can be made (writes past 4 KiB fail), the index stays as it is.
    const QByteArray big = damaged[0] + QByteArray(8192, ' ');
    ASSERT_TRUE(test::writeFile(index(), big));
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit limit{4096, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &old); });
    EXPECT_EQ(open()->items().size(), 5);
    EXPECT_EQ(test::readFile(index()), big);
}

TEST_F(HistoryStoreTest, DropsEntriesWhoseFilesVanishedButKeepsTheIndexUntilTheNextChange)
{
    writeIndex(3);
    QFile::remove(media() + "/old 1.png");
    const QByteArray before = test::readFile(index());
    const auto store = open();
    ASSERT_EQ(store->items().size(), 2);
    EXPECT_EQ(store->items()[1].fileName, "old 2.png");
    // Text for an entry that is not there changes nothing.
    store->updateOCR(QUuid::createUuid(), "nothing");
    EXPECT_EQ(test::readFile(index()), before);
    store->updateOCR(store->items()[0].id, "text");
    EXPECT_EQ(open()->items()[0].ocrText, "text");
    EXPECT_EQ(indexJson().size(), 2);
}

TEST_F(HistoryStoreTest, TakesUpUnlistedCapturesNewestFirstWithinTheLimit)
{
    // Newest first; the first was written just before a crash, before its entry.
    const std::pair<QString, CaptureKind> orphans[] = {{"crashed.png", CaptureKind::screenshot},
                                                       {"b.gif", CaptureKind::gif},
                                                       {"c.mp4", CaptureKind::recording},
                                                       {"d.jpg", CaptureKind::screenshot},
                                                       {"e.MOV", CaptureKind::recording}};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto modified = [&](int i) { return now.addSecs(3600 - 7200 * i); };
    for (const int limit : {0, 50}) {
        root = temp.dir.filePath(QStringLiteral("limit %1").arg(limit));
        temp.settings->historyLimit.set(limit);
        writeIndex(8);
        for (int i = 0; i < 5; ++i) {
            const QString path = media() + "/" + orphans[i].first;
            ASSERT_TRUE(i == 0 ? test::solidImage({30, 20}).save(path)
                               : test::writeFile(path, "data"));
            ASSERT_TRUE(setModified(path, modified(i)));
        }
        // No captures: never taken up.
        ASSERT_TRUE(test::writeFile(media() + "/notes.txt", "x"));
        ASSERT_TRUE(test::writeFile(media() + "/x.png.part", "x"));
        ASSERT_TRUE(QDir(media()).mkdir("folder.png"));
        ASSERT_TRUE(QFile::link(temp.dir.filePath("settings.ini"), media() + "/link.png"));
        const QStringList before = test::folderEntries(media());
        ASSERT_TRUE(test::writeFile(media() + "/.zorv-0123456789abcdef.tmp", "half"));

        const auto store = open();
        const QList<HistoryItem> &items = store->items();
        const int adopted = limit == 0 ? 2 : 5;
        ASSERT_EQ(items.size(), 8 + adopted);
        EXPECT_EQ(indexJson().size(), items.size());
        // By date among the listed entries, which were made just now.
        EXPECT_EQ(items[0].fileName, "crashed.png");
        EXPECT_EQ(QSize(items[0].pixelWidth, items[0].pixelHeight), QSize(30, 20));
        EXPECT_EQ(items[1].fileName, "old 0.png");
        for (int i = 1; i < adopted; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(items[8 + i].filePath, media() + "/" + orphans[i].first);
            EXPECT_EQ(items[8 + i].kind, orphans[i].second);
            EXPECT_EQ(items[8 + i].createdAt.toSecsSinceEpoch(), modified(i).toSecsSinceEpoch());
        }
        // Files beyond the limit stay; the stale temporary file goes.
        EXPECT_EQ(test::folderEntries(media()), before);
    }
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
        const FileResult<HistoryItem> added = record(*store, "new.png");
        ASSERT_TRUE(added);
        EXPECT_EQ(store->items().size(), c.kept);
        EXPECT_EQ(store->items().front().id, added.value().id);
        EXPECT_EQ(indexJson().size(), c.kept);
        EXPECT_EQ(test::folderEntries(media()).size(), c.kept);
        // The oldest go, file and all ("old 0" is the newest stored entry).
        const QString old = media() + "/old %1.png";
        EXPECT_FALSE(QFile::exists(old.arg(c.kept - 1)));
        EXPECT_TRUE(QFile::exists(old.arg(c.kept - 2)));
    }
}

TEST_F(HistoryStoreTest, DeletesAFileNoEntryNamesAnyMoreButNeverOutsideTheMediaFolder)
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
    // Two entries name one file, the older one through a link to the root.
    const QString shared = media() + "/shared.png";
    ASSERT_TRUE(QFile::link(root, temp.dir.filePath("alias")));
    const QString sharedAgain = temp.dir.filePath("alias/History/shared.png");

    QList<HistoryItem> items;
    for (const QString &path : {outside, link, sneaky, inside, shared, sharedAgain})
        items.append(entryFor(path));
    const auto sharedFileFollowsItsEntries = [&](const HistoryStore &store) {
        const bool named =
            std::any_of(store.items().begin(), store.items().end(),
                        [](const HistoryItem &i) { return i.fileName == "shared.png"; });
        EXPECT_EQ(QFile::exists(shared), named);
    };
    const auto run = [&](auto action) {
        ASSERT_TRUE(test::writeFile(inside, "png"));
        ASSERT_TRUE(test::writeFile(shared, "png"));
        test::writeFile(index(), HistoryIndex::encode(items));
        const auto store = open();
        ASSERT_EQ(store->items().size(), items.size());
        action(*store);
        EXPECT_EQ(test::readFile(outside), QByteArray("keep"));
        EXPECT_EQ(test::readFile(outsideTarget), QByteArray("keep"));
        EXPECT_FALSE(QFile::exists(inside));
        EXPECT_FALSE(QFile::exists(shared));
    };
    run([&](HistoryStore &store) {
        store.removeAll();
        EXPECT_TRUE(indexJson().isEmpty());
    });
    run([&](HistoryStore &store) {
        for (const HistoryItem &item : items) {
            store.remove(item);
            sharedFileFollowsItsEntries(store);
        }
        EXPECT_TRUE(store.items().isEmpty());
    });
}

TEST_F(HistoryStoreTest, NamesTheFileAfterWhatIsWritten)
{
    const auto store = open();
    // The caller's JPEG encoder failed: the store falls back to PNG and says so.
    const auto fallback = store->recordImage(test::solidImage({33, 21}), std::nullopt,
                                             CaptureKind::screenshot, "c.jpg");
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback.value().fileName, "c.png");
    EXPECT_EQ(QImage::fromData(test::readFile(fallback.value().filePath), "png").size(),
              QSize(fallback.value().pixelWidth, fallback.value().pixelHeight));
    const auto given =
        store->recordImage(test::solidImage(), QByteArray("jpeg"), CaptureKind::scrolling, "c.jpg");
    ASSERT_TRUE(given);
    EXPECT_EQ(given.value().fileName, "c.jpg");
    EXPECT_EQ(test::readFile(given.value().filePath), QByteArray("jpeg"));
}

TEST_F(HistoryStoreTest, RecordedFilesMoveInUnderUniqueNames)
{
    QStringList sources = {temp.dir.filePath("zorv-0.mp4"), temp.dir.filePath("zorv-1.mp4")};
    // Another file system, where one is at hand: the move becomes a copy.
    struct stat shm {
    }, tmp{};
    QTemporaryDir other("/dev/shm/zorv-test-XXXXXX");
    if (stat("/dev/shm", &shm) == 0 && stat(QFile::encodeName(temp.dir.path()), &tmp) == 0 &&
        shm.st_dev != tmp.st_dev)
        sources.append(other.filePath("zorv-2.mp4"));
    const auto store = open();
    for (qsizetype i = 0; i < sources.size(); ++i) {
        ASSERT_TRUE(test::writeFile(sources[i], QByteArray::number(i)));
        const auto item = store->recordFile(sources[i], CaptureKind::recording, "clip.mp4",
                                            QSizeF(1280.9, 720.2));
        ASSERT_TRUE(item);
        EXPECT_FALSE(QFile::exists(sources[i]));
        EXPECT_EQ(test::readFile(item.value().filePath), QByteArray::number(i));
        EXPECT_EQ(QSize(item.value().pixelWidth, item.value().pixelHeight), QSize(1280, 720));
        EXPECT_EQ(item.value().fileName,
                  i == 0 ? QString("clip.mp4") : QStringLiteral("clip %1.mp4").arg(i + 1));
    }
    EXPECT_EQ(indexJson().size(), sources.size());
}

TEST_F(HistoryStoreTest, FailuresAreLoggedAndAddNothing)
{
    const auto store = open();
    const QString missing = temp.dir.filePath("missing.mp4");
    testing::internal::CaptureStderr();
    // The caller learns the cause; encoding failures are the caller's to report.
    const auto moved = store->recordFile(missing, CaptureKind::recording, "m.mp4", {1, 1});
    ASSERT_FALSE(moved);
    EXPECT_EQ(moved.error().reason(), FileError::Reason::sourceUnreadable);
    const auto encoded = store->recordImage(QImage(), std::nullopt, CaptureKind::screenshot, "n");
    ASSERT_FALSE(encoded);
    EXPECT_EQ(encoded.error().reason(), FileError::Reason::encodingFailed);
    const auto written = record(*store, QString(300, 'w') + ".png");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().reason(), FileError::Reason::nameTooLong);
    // An index that cannot be replaced keeps the change in memory.
    QDir().mkpath(index());
    EXPECT_TRUE(record(*store, "p.png"));
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    QStringList causes;
    for (const QString &line : log.split('\n', Qt::SkipEmptyParts))
        causes.append(line.section(':', 0, 1));
    EXPECT_EQ(causes, QStringList({"Zorv: history move failed", "Zorv: history write failed",
                                   "Zorv: history persist failed"}));
    EXPECT_TRUE(log.contains(missing) && log.contains(written.error().description()));
    EXPECT_EQ(store->items().size(), 1);
    EXPECT_EQ(test::folderEntries(media()), QStringList({"p.png"}));
    EXPECT_EQ(test::folderEntries(root), QStringList({"History", "history.json"}));
}

TEST_F(HistoryStoreTest, ThumbnailsAreBoundedCachedAndMadeOfEveryKind)
{
    const auto store = open();
    const HistoryItem wide = record(*store, "w.png", {1000, 500}).value();
    EXPECT_EQ(sizeOf(waitFor(store->thumbnail(wide, 200))), QSize(200, 100));
    // The second request at that size never reaches the file.
    QFile::remove(wide.filePath);
    EXPECT_EQ(sizeOf(waitFor(store->thumbnail(wide, 200))), QSize(200, 100));
    EXPECT_FALSE(waitFor(store->thumbnail(wide, 480)));
    const HistoryItem tall = record(*store, "t.png", {30, 90}).value();
    EXPECT_EQ(sizeOf(waitFor(store->thumbnail(tall, 200))), QSize(30, 90));
    EXPECT_EQ(sizeOf(waitFor(store->thumbnail(tall, 45))), QSize(15, 45));

    // Qt reads no HEIC: the store's own decoder makes these.
    const QString heic = media() + "/b.heic";
    test::writeFile(heic, *ImageEncoder::heicData(test::solidImage({80, 40}, Qt::green), 0.8));
    const auto fromHeic = waitFor(store->thumbnail(entryFor(heic), 20));
    ASSERT_EQ(sizeOf(fromHeic), QSize(20, 10));
    EXPECT_GT(qGreen(fromHeic->pixel(10, 5)), 200);
}
