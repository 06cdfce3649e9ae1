#include "output/history/HistoryStore.h"
#include "output/encoding/ImageEncoder.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>
#include <gtest/gtest.h>

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

QString logOf(const std::function<void()> &action)
{
    testing::internal::CaptureStderr();
    action();
    return QString::fromStdString(testing::internal::GetCapturedStderr());
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
    qsizetype indexSize() const
    {
        return QJsonDocument::fromJson(test::readFile(index())).array().size();
    }
    FileResult<HistoryItem> record(HistoryStore &store, const QString &name, QSize size = {64, 40})
    {
        return store.recordImage(test::solidImage(size), std::nullopt, CaptureKind::screenshot,
                                 name);
    }
    // An index of `count` entries, "old 0" the newest, whose files exist.
    void writeIndex(int count)
    {
        QDir().mkpath(media());
        QList<HistoryItem> items;
        for (int i = 0; i < count; ++i) {
            items.append(entryFor(media() + QStringLiteral("/old %1.png").arg(i)));
            test::writeFile(items.last().filePath, "png");
        }
        test::writeFile(index(), HistoryIndex::encode(items));
    }
};

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
    EXPECT_TRUE(json.contains(R"("id" : "6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F",)") &&
                json.contains(R"("createdAt" : 100.5,)"));
    EXPECT_EQ(HistoryIndex::decode(json)->items, QList<HistoryItem>({plain, withText}));
}

TEST(HistoryIndex, DropsOnlyTheEntriesThatDoNotDecode)
{
    const QByteArray good = R"({"id":"6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F","fileName":"a.png",
        "kind":"screenshot","createdAt":1.5,"pixelWidth":3,"pixelHeight":4,"filePath":"\/x\/a.png"})";
    const auto decode = [&](const QByteArray &entry) {
        return HistoryIndex::decode("[" + good + "," + entry + "," +
                                    QByteArray(good).replace("}", R"(,"ocrText":null})") + "]");
    };
    const auto kept = decode(good);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->items.size(), 3);
    EXPECT_EQ(kept->items.front().filePath, "/x/a.png");
    // Each bad entry is the good one with one change: no object, a number for the text, a
    // missing member, an unknown kind, a fraction or a text for a whole number, a bad id, a
    // text for the date.
    const std::pair<QByteArray, QByteArray> changes[] = {
        {good, "7"},    {"}", R"(,"ocrText":7})"}, {R"("pixelWidth":3,)", ""}, {"shot", "pho"},
        {":3", ":3.5"}, {":3", R"(:"3")"},         {"6F1C2D9E", "nonse"},      {"1.5", R"("1.5")"}};
    for (const auto &[from, to] : changes) {
        const auto decoded = decode(QByteArray(good).replace(from, to));
        ASSERT_TRUE(decoded) << to.data();
        EXPECT_EQ(decoded->items.size(), 2) << to.data();
        EXPECT_EQ(decoded->dropped, 1) << to.data();
    }
    for (const QByteArray &json : {"[" + good, QByteArray("{}"), QByteArray()})
        EXPECT_FALSE(HistoryIndex::decode(json)) << json.toStdString();
}

TEST_F(HistoryStoreTest, ADamagedIndexCostsOnlyItsBadEntriesAndIsKeptAside)
{
    writeIndex(5);
    // The newest entry becomes unreadable; its file, made long ago, is taken up again as the
    // oldest capture.
    const QString orphan = media() + "/old 0.png";
    ASSERT_TRUE(setModified(orphan, QDateTime::currentDateTimeUtc().addSecs(-3600)));
    QByteArray damaged = test::readFile(index());
    damaged.insert(damaged.indexOf(": 10,") + 4, ".5");
    test::writeFile(index(), damaged);
    std::unique_ptr<HistoryStore> store;
    const QString log = logOf([&] { store = open(); });
    EXPECT_TRUE(log.startsWith("Zorv: history index: dropped 1 unreadable entry") &&
                log.count('\n') == 1)
        << log.toStdString();
    EXPECT_EQ(test::readFile(index() + ".corrupt"), damaged);
    ASSERT_EQ(store->items().size(), 5);
    EXPECT_EQ(store->items().back().filePath, orphan);
    // Mended once: the next start finds nothing to mend.
    EXPECT_EQ(logOf([&] { EXPECT_EQ(open()->items(), store->items()); }), "");

    // Every damaged index is kept, never over an earlier copy; the newest five stay.
    ASSERT_TRUE(test::writeFile(index() + ".corrupt.keep", "mine"));
    const auto unreadable = [](int n) { return "[{\"id\": " + QByteArray::number(n); };
    for (int n = 2; n <= 7; ++n) {
        ASSERT_TRUE(test::writeFile(index(), unreadable(n)));
        EXPECT_EQ(open()->items().size(), 5); // its captures are taken up again
    }
    QStringList expected = {"History", "history.json", "history.json.corrupt.keep"};
    for (int n = 3; n <= 7; ++n) {
        expected.append("history.json.corrupt." + QString::number(n));
        EXPECT_EQ(test::readFile(root + "/" + expected.back()), unreadable(n));
    }
    expected.sort();
    EXPECT_EQ(test::folderEntries(root), expected);

    // Where no copy can be made, the index stays as it is.
    const QByteArray big = damaged + QByteArray(8192, ' ');
    ASSERT_TRUE(test::writeFile(index(), big));
    const test::FileSizeLimit limit(4096);
    EXPECT_EQ(open()->items().size(), 4);
    EXPECT_EQ(test::readFile(index()), big);
}

TEST_F(HistoryStoreTest, DropsEntriesWhoseFilesVanishedButKeepsTheIndexUntilTheNextChange)
{
    writeIndex(3);
    QFile::remove(media() + "/old 1.png");
    const QByteArray before = test::readFile(index());
    const auto store = open();
    ASSERT_EQ(store->items().size(), 2);
    store->updateOCR(QUuid::createUuid(), "nothing"); // no such entry: no change
    EXPECT_EQ(test::readFile(index()), before);
    store->updateOCR(store->items()[0].id, "text");
    EXPECT_EQ(open()->items()[0].ocrText, "text");
    EXPECT_EQ(indexSize(), 2);
}

TEST_F(HistoryStoreTest, TakesUpUnlistedCapturesNewestFirstWithinTheLimit)
{
    // Newest first; the first was written just before a crash, before its entry.
    using enum CaptureKind;
    const std::pair<QString, CaptureKind> orphans[] = {
        {"crashed.png", screenshot}, {"b.gif", gif},       {"c.mp4", recording},
        {"d.jpg", screenshot},       {"e.MOV", recording}, {"f.heic", screenshot}};
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto modified = [&](int i) { return now.addSecs(3600 - 7200 * i).toSecsSinceEpoch(); };
    for (const int limit : {0, 50}) {
        root = temp.dir.filePath(QStringLiteral("limit %1").arg(limit));
        temp.settings->historyLimit.set(limit);
        writeIndex(8);
        for (int i = 0; i < 6; ++i) {
            const QString path = media() + "/" + orphans[i].first;
            ASSERT_TRUE(i == 0 ? test::solidImage({30, 20}).save(path)
                               : test::writeFile(path, "data"));
            ASSERT_TRUE(setModified(path, QDateTime::fromSecsSinceEpoch(modified(i))));
        }
        // No captures: never taken up.
        ASSERT_TRUE(test::writeFile(media() + "/notes.txt", "x") &&
                    test::writeFile(media() + "/x.png.part", "x") &&
                    QDir(media()).mkdir("folder.png") &&
                    QFile::link(temp.dir.filePath("settings.ini"), media() + "/link.png"));
        const QStringList before = test::folderEntries(media());

        const auto store = open();
        const QList<HistoryItem> &items = store->items();
        const int adopted = limit == 0 ? 2 : 6;
        ASSERT_EQ(items.size(), 8 + adopted);
        EXPECT_EQ(indexSize(), items.size());
        // By date among the listed entries, which were made just now.
        EXPECT_EQ(items[0].fileName, "crashed.png");
        EXPECT_EQ(QSize(items[0].pixelWidth, items[0].pixelHeight), QSize(30, 20));
        EXPECT_EQ(items[1].fileName, "old 0.png");
        for (int i = 1; i < adopted; ++i) {
            const HistoryItem &item = items[8 + i];
            EXPECT_EQ(std::tuple(item.filePath, item.kind, item.createdAt.toSecsSinceEpoch()),
                      std::tuple(media() + "/" + orphans[i].first, orphans[i].second, modified(i)));
        }
        EXPECT_EQ(test::folderEntries(media()), before); // files beyond the limit stay
    }
}

TEST_F(HistoryStoreTest, TheNextInsertPrunesToTheLimitButNeverBelowTen)
{
    for (const auto &[limit, stored, kept] : {std::tuple{0, 10, 10}, {5, 10, 10}, {50, 60, 50}}) {
        SCOPED_TRACE(limit);
        root = temp.dir.filePath(QStringLiteral("limit %1").arg(limit));
        writeIndex(stored);
        temp.settings->historyLimit.set(limit);
        const auto store = open();
        EXPECT_EQ(store->items().size(), stored); // a lowered limit waits for the next insert
        EXPECT_EQ(store->items().front().id, record(*store, "new.png").value().id);
        // The oldest go, file and all.
        EXPECT_EQ(store->items().size(), kept);
        EXPECT_EQ(indexSize(), kept);
        EXPECT_EQ(test::folderEntries(media()).size(), kept);
        EXPECT_FALSE(QFile::exists(media() + QStringLiteral("/old %1.png").arg(kept - 1)));
    }
}

TEST_F(HistoryStoreTest, DeletesAFileNoEntryNamesAnyMoreButNeverOutsideTheMediaFolder)
{
    QDir().mkpath(media());
    const QString outside = temp.dir.filePath("precious.txt"), target = temp.dir.filePath("t.txt");
    const QString inside = media() + "/inside.png", shared = media() + "/shared.png";
    ASSERT_TRUE(test::writeFile(outside, "keep") && test::writeFile(target, "keep") &&
                QFile::link(target, media() + "/link.png") &&
                QFile::link(root, temp.dir.filePath("alias")));
    // The last two name one file, the older one through a link to the root.
    QList<HistoryItem> items;
    for (const QString &path : {outside, media() + "/link.png", media() + "/../../precious.txt",
                                inside, shared, temp.dir.filePath("alias/History/shared.png")})
        items.append(entryFor(path));
    for (const bool all : {true, false}) {
        ASSERT_TRUE(test::writeFile(inside, "png") && test::writeFile(shared, "png"));
        test::writeFile(index(), HistoryIndex::encode(items));
        const auto store = open();
        ASSERT_EQ(store->items().size(), items.size());
        if (all)
            store->removeAll();
        for (qsizetype k = 0; !all && k < items.size(); ++k) {
            store->remove(items[k]);
            EXPECT_EQ(QFile::exists(shared), k < 5) << k; // goes with the last entry naming it
        }
        EXPECT_EQ(indexSize(), 0);
        EXPECT_EQ(test::readFile(outside) + test::readFile(target), "keepkeep");
        EXPECT_FALSE(QFile::exists(inside) || QFile::exists(shared));
    }
}

TEST_F(HistoryStoreTest, FilesAreNamedAfterWhatIsWrittenAndMoveInUnderUniqueNames)
{
    const auto store = open();
    // The caller's JPEG encoder failed: the store falls back to PNG and says so.
    const HistoryItem fallback = record(*store, "c.jpg", {33, 21}).value();
    EXPECT_EQ(fallback.fileName, "c.png");
    EXPECT_EQ(QImage::fromData(test::readFile(fallback.filePath), "png").size(),
              QSize(fallback.pixelWidth, fallback.pixelHeight));
    const HistoryItem given =
        store->recordImage(test::solidImage(), QByteArray("jpeg"), CaptureKind::scrolling, "c.jpg")
            .value();
    EXPECT_EQ(given.fileName, "c.jpg");
    EXPECT_EQ(test::readFile(given.filePath), "jpeg");

    // From another file system, where one is at hand, the move becomes a copy;
    // the asynchronous path (odd rounds) gives the same entries.
    QStringList sources = {temp.dir.filePath("zorv-0.mp4"), temp.dir.filePath("zorv-1.mp4")};
    const QTemporaryDir other("/dev/shm/zorv-test-XXXXXX");
    if (other.isValid())
        sources << other.filePath("zorv-2.mp4") << other.filePath("zorv-3.mp4");
    for (qsizetype i = 0; i < sources.size(); ++i) {
        ASSERT_TRUE(test::writeFile(sources[i], QByteArray::number(i)));
        const auto recordFile = [&] {
            if (i % 2 == 0)
                return store
                    ->recordFile(sources[i], CaptureKind::recording, "clip.mp4", {1280.9, 720.2})
                    .value();
            auto future = store->recordFileAsync(sources[i], CaptureKind::recording, "clip.mp4",
                                                 {1280.9, 720.2});
            EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }));
            EXPECT_EQ(store->items().first(), future.result().value());
            return future.result().value();
        };
        const HistoryItem item = recordFile();
        EXPECT_FALSE(QFile::exists(sources[i]));
        EXPECT_EQ(test::readFile(item.filePath), QByteArray::number(i));
        EXPECT_EQ(QSize(item.pixelWidth, item.pixelHeight), QSize(1280, 720));
        EXPECT_EQ(item.fileName, i == 0 ? "clip.mp4" : QStringLiteral("clip %1.mp4").arg(i + 1));
    }
    EXPECT_EQ(indexSize(), sources.size() + 2);
}

TEST_F(HistoryStoreTest, FailuresAreLoggedAndAddNothing)
{
    using Reason = FileError::Reason;
    const auto store = open();
    const QString missing = temp.dir.filePath("missing.mp4");
    const QString log = logOf([&] {
        // The caller learns the cause; encoding failures are the caller's to report.
        EXPECT_EQ(
            store->recordFile(missing, CaptureKind::recording, "m.mp4", {1, 1}).error().reason(),
            Reason::sourceUnreadable);
        // Asynchronously: no entry, and the source stays where it was.
        const QString source = temp.dir.filePath("zorv-a.mp4");
        ASSERT_TRUE(test::writeFile(source, "video"));
        auto failed = store->recordFileAsync(source, CaptureKind::recording,
                                             QString(300, 'v') + ".mp4", {1, 1});
        ASSERT_TRUE(QTest::qWaitFor([&] { return failed.isFinished(); }));
        EXPECT_EQ(failed.result(), std::nullopt);
        EXPECT_EQ(test::readFile(source), "video");
        EXPECT_EQ(record(*store, "n", QSize()).error().reason(), Reason::encodingFailed);
        EXPECT_EQ(record(*store, QString(300, 'w') + ".png").error().reason(), Reason::nameTooLong);
        // An index that cannot be replaced keeps the change in memory.
        QDir().mkpath(index());
        EXPECT_TRUE(record(*store, "p.png"));
    });
    QStringList causes;
    for (const QString &line : log.split('\n', Qt::SkipEmptyParts))
        causes.append(line.section(':', 0, 1));
    EXPECT_EQ(causes, QStringList({"Zorv: history move failed", "Zorv: history move failed",
                                   "Zorv: history write failed", "Zorv: history persist failed"}));
    EXPECT_TRUE(log.contains(missing) && log.contains("too long"));
    EXPECT_EQ(store->items().size(), 1);
    EXPECT_EQ(test::folderEntries(media()), QStringList({"p.png"}));
    EXPECT_EQ(test::folderEntries(root), QStringList({"History", "history.json"}));
}

TEST_F(HistoryStoreTest, ThumbnailsAreBoundedCachedAndMadeOfEveryKind)
{
    const auto store = open();
    const auto thumbnail = [&](const HistoryItem &item, int size) {
        auto future = store->thumbnail(item, size);
        EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 10000));
        return future.isFinished() ? future.result().value_or(QImage()) : QImage();
    };
    const HistoryItem wide = record(*store, "w.png", {1000, 500}).value();
    EXPECT_EQ(thumbnail(wide, 200).size(), QSize(200, 100));
    // The second request at that size never reaches the file.
    QFile::remove(wide.filePath);
    EXPECT_EQ(thumbnail(wide, 200).size(), QSize(200, 100));
    EXPECT_TRUE(thumbnail(wide, 480).isNull());
    const HistoryItem tall = record(*store, "t.png", {30, 90}).value();
    EXPECT_EQ(thumbnail(tall, 200).size(), QSize(30, 90));
    EXPECT_EQ(thumbnail(tall, 45).size(), QSize(15, 45));
    // Dropping one size keeps the others: the wide one at 200 still needs no file.
    store->dropThumbnails(45);
    QFile::remove(tall.filePath);
    EXPECT_TRUE(thumbnail(tall, 45).isNull());
    EXPECT_EQ(thumbnail(wide, 200).size(), QSize(200, 100));
    // Qt reads no HEIC: the store's own decoder makes these.
    const QString heic = media() + "/b.heic";
    test::writeFile(heic, *ImageEncoder::heicData(test::solidImage({80, 40}, Qt::green), 0.8));
    const QImage fromHeic = thumbnail(entryFor(heic), 20);
    ASSERT_EQ(fromHeic.size(), QSize(20, 10));
    EXPECT_GT(qGreen(fromHeic.pixel(10, 5)), 200);
}
