#include "output/HistoryStore.h"
#include "OutputTestSupport.h"
#include "output/ImageEncoder.h"

#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace zorv;

namespace
{

QImage solidImage(QSize size = {64, 40}, QColor colour = QColor(200, 40, 40))
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// A history root with its settings, both in one temporary folder.
struct HistoryFixture {
    test::TemporarySettings settings;
    QString root = settings.dir.filePath(QStringLiteral("Zorv"));

    std::unique_ptr<HistoryStore> open()
    {
        return std::make_unique<HistoryStore>(root, *settings.settings);
    }
    QString media() const { return root + QStringLiteral("/History"); }
    QString index() const { return root + QStringLiteral("/history.json"); }
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
            items.append({QUuid::createUuid(), QFileInfo(path).fileName(), CaptureKind::screenshot,
                          QDateTime::currentDateTimeUtc(), 10, 10, path, std::nullopt});
        }
        test::writeFile(index(), HistoryIndex::encode(items));
    }
};

std::optional<QImage> waitFor(QFuture<std::optional<QImage>> future)
{
    EXPECT_TRUE(QTest::qWaitFor([&] { return future.isFinished(); }, 10000));
    return future.isFinished() ? future.result() : std::nullopt;
}

} // namespace

TEST(HistoryIndex, EncodesTheDocumentedMembers)
{
    const QUuid id = QUuid::fromString(QStringLiteral("6f1c2d9e-8a7b-4c3d-9e2f-0a1b2c3d4e5f"));
    const QDateTime created = QDateTime(QDate(2001, 1, 1), QTime(0, 1, 40, 500), Qt::UTC);
    const HistoryItem plain{id, QStringLiteral("a \"b\".png"),    CaptureKind::gif, created, 3,
                            4,  QStringLiteral("/x/a \"b\".png"), std::nullopt};
    HistoryItem withText = plain;
    withText.ocrText = QStringLiteral("line one\nline\ttwo \\ ü");

    const QByteArray json = HistoryIndex::encode({plain, withText});
    const QJsonArray array = QJsonDocument::fromJson(json).array();
    ASSERT_EQ(array.size(), 2);
    const QJsonObject first = array[0].toObject();
    EXPECT_EQ(first[QStringLiteral("id")].toString(),
              QStringLiteral("6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F"));
    EXPECT_EQ(first[QStringLiteral("kind")].toString(), QStringLiteral("gif"));
    EXPECT_DOUBLE_EQ(first[QStringLiteral("createdAt")].toDouble(), 100.5);
    EXPECT_FALSE(first.contains(QStringLiteral("ocrText")));
    EXPECT_EQ(array[1].toObject()[QStringLiteral("ocrText")].toString(), *withText.ocrText);
    EXPECT_TRUE(json.contains("\n    \"pixelWidth\" : 3,\n")) << json.toStdString();
    EXPECT_EQ(HistoryIndex::decode(json), QList<HistoryItem>({plain, withText}));
}

TEST(HistoryIndex, RejectsAFileWithAnyBadEntry)
{
    const QByteArray good = R"({"id":"6F1C2D9E-8A7B-4C3D-9E2F-0A1B2C3D4E5F","fileName":"a.png",
        "kind":"screenshot","createdAt":1.5,"pixelWidth":3,"pixelHeight":4,"filePath":"\/x\/a.png")";
    EXPECT_TRUE(HistoryIndex::decode("[" + good + "}]").has_value());
    EXPECT_EQ(HistoryIndex::decode("[" + good + "}]")->front().filePath,
              QStringLiteral("/x/a.png"));
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

TEST(HistoryStore, MovesACorruptIndexAsideReplacingAnOlderOne)
{
    HistoryFixture fixture;
    QDir().mkpath(fixture.root);
    for (const QByteArray &damaged : {QByteArray("[{\"id\": \"6F1C"), QByteArray("[{}]")}) {
        ASSERT_TRUE(test::writeFile(fixture.index(), damaged));
        const auto store = fixture.open();
        EXPECT_TRUE(store->items().isEmpty());
        EXPECT_FALSE(QFile::exists(fixture.index()));
        EXPECT_EQ(test::readFile(fixture.index() + QStringLiteral(".corrupt")), damaged);
    }
    const auto store = fixture.open();
    ASSERT_TRUE(store->recordImage(solidImage(), std::nullopt, CaptureKind::screenshot,
                                   QStringLiteral("a.png")));
    EXPECT_EQ(fixture.indexJson().size(), 1);
}

TEST(HistoryStore, DropsEntriesWhoseFilesVanishedButKeepsTheIndexUntilTheNextChange)
{
    HistoryFixture fixture;
    fixture.writeIndex(3);
    QFile::remove(fixture.media() + QStringLiteral("/old 1.png"));
    const QByteArray before = test::readFile(fixture.index());

    const auto store = fixture.open();
    ASSERT_EQ(store->items().size(), 2);
    EXPECT_EQ(store->items()[0].fileName, QStringLiteral("old 0.png"));
    EXPECT_EQ(store->items()[1].fileName, QStringLiteral("old 2.png"));
    EXPECT_EQ(test::readFile(fixture.index()), before);

    store->updateOCR(store->items()[0].id, QStringLiteral("text"));
    EXPECT_EQ(fixture.indexJson().size(), 2);
}

TEST(HistoryStore, PrunesToTheLimitButNeverBelowTen)
{
    for (const int limit : {0, 5}) {
        HistoryFixture fixture;
        fixture.settings.settings->setHistoryLimit(limit);
        const auto store = fixture.open();
        QList<HistoryItem> recorded;
        for (int i = 0; i < 11; ++i)
            recorded.append(*store->recordImage(solidImage(), std::nullopt, CaptureKind::screenshot,
                                                QStringLiteral("shot.png")));
        EXPECT_EQ(store->items().size(), 10);
        EXPECT_EQ(store->items().front().id, recorded.last().id);
        EXPECT_EQ(store->items().back().id, recorded[1].id);
        EXPECT_FALSE(QFile::exists(recorded.first().filePath));
        EXPECT_TRUE(QFile::exists(recorded[1].filePath));
        EXPECT_EQ(fixture.indexJson().size(), 10);
    }
}

TEST(HistoryStore, ALoweredLimitTakesEffectAtTheNextInsert)
{
    HistoryFixture fixture;
    fixture.writeIndex(60);
    fixture.settings.settings->setHistoryLimit(50);
    const auto store = fixture.open();
    EXPECT_EQ(store->items().size(), 60);
    EXPECT_EQ(test::folderEntries(fixture.media()).size(), 60);

    store->recordImage(solidImage(), std::nullopt, CaptureKind::screenshot,
                       QStringLiteral("new.png"));
    EXPECT_EQ(store->items().size(), 50);
    EXPECT_EQ(test::folderEntries(fixture.media()).size(), 50);
    EXPECT_FALSE(QFile::exists(fixture.media() + QStringLiteral("/old 49.png")));
    EXPECT_TRUE(QFile::exists(fixture.media() + QStringLiteral("/old 48.png")));
}

TEST(HistoryStore, NeverDeletesFilesOutsideTheMediaFolder)
{
    HistoryFixture fixture;
    QDir().mkpath(fixture.media());
    const QString outside = fixture.settings.dir.filePath(QStringLiteral("precious.txt"));
    const QString outsideTarget = fixture.settings.dir.filePath(QStringLiteral("linked.txt"));
    ASSERT_TRUE(test::writeFile(outside, "keep"));
    ASSERT_TRUE(test::writeFile(outsideTarget, "keep"));
    const QString link = fixture.media() + QStringLiteral("/link.png");
    ASSERT_TRUE(QFile::link(outsideTarget, link));
    const QString sneaky = fixture.media() + QStringLiteral("/../../precious.txt");

    QList<HistoryItem> items;
    for (const QString &path : {outside, link, sneaky})
        items.append({QUuid::createUuid(), QFileInfo(path).fileName(), CaptureKind::screenshot,
                      QDateTime::currentDateTimeUtc(), 1, 1, path, std::nullopt});
    const auto run = [&](auto action) {
        test::writeFile(fixture.index(), HistoryIndex::encode(items));
        const auto store = fixture.open();
        ASSERT_EQ(store->items().size(), 3);
        action(*store);
        EXPECT_EQ(test::readFile(outside), QByteArray("keep"));
        EXPECT_EQ(test::readFile(outsideTarget), QByteArray("keep"));
    };
    run([](HistoryStore &store) { store.removeAll(); });
    run([&](HistoryStore &store) {
        for (const HistoryItem &item : items)
            store.remove(item);
        EXPECT_TRUE(store.items().isEmpty());
    });
    fixture.settings.settings->setHistoryLimit(0);
    run([](HistoryStore &store) {
        for (int i = 0; i < 10; ++i)
            store.recordImage(solidImage(), std::nullopt, CaptureKind::screenshot,
                              QStringLiteral("s.png"));
        EXPECT_EQ(store.items().size(), 10);
    });
}

TEST(HistoryStore, RemoveDeletesTheStoredFile)
{
    HistoryFixture fixture;
    const auto store = fixture.open();
    const HistoryItem a = *store->recordImage(solidImage(), std::nullopt, CaptureKind::screenshot,
                                              QStringLiteral("a.png"));
    const HistoryItem b = *store->recordImage(solidImage(), std::nullopt, CaptureKind::screenshot,
                                              QStringLiteral("b.png"));
    QSignalSpy changes(store.get(), &HistoryStore::itemsChanged);
    store->remove(a);
    EXPECT_FALSE(QFile::exists(a.filePath));
    EXPECT_EQ(store->items(), QList<HistoryItem>({b}));
    store->removeAll();
    EXPECT_FALSE(QFile::exists(b.filePath));
    EXPECT_TRUE(fixture.indexJson().isEmpty());
    EXPECT_EQ(changes.count(), 2);
}

TEST(HistoryStore, NamesTheFileAfterWhatIsWritten)
{
    HistoryFixture fixture;
    const auto store = fixture.open();
    const QImage image = solidImage({33, 21});
    // The caller's JPEG encoder failed: the store falls back to PNG and says so.
    const auto fallback =
        store->recordImage(image, std::nullopt, CaptureKind::screenshot, QStringLiteral("cap.jpg"));
    ASSERT_TRUE(fallback);
    EXPECT_EQ(fallback->fileName, QStringLiteral("cap.png"));
    EXPECT_EQ(QImage::fromData(test::readFile(fallback->filePath), "png").size(), QSize(33, 21));
    EXPECT_EQ(fallback->pixelWidth, 33);
    EXPECT_EQ(fallback->pixelHeight, 21);

    const auto given = store->recordImage(image, QByteArray("jpeg bytes"), CaptureKind::scrolling,
                                          QStringLiteral("cap.jpg"));
    ASSERT_TRUE(given);
    EXPECT_EQ(given->fileName, QStringLiteral("cap.jpg"));
    EXPECT_EQ(test::readFile(given->filePath), QByteArray("jpeg bytes"));
}

TEST(HistoryStore, CollidingNamesGetUniqueFilesAndNothingIsLost)
{
    HistoryFixture fixture;
    const auto store = fixture.open();
    QDir().mkpath(fixture.settings.dir.filePath(QStringLiteral("tmp")));
    QStringList names;
    for (int i = 0; i < 3; ++i) {
        const QString source =
            fixture.settings.dir.filePath(QStringLiteral("tmp/zorv-%1.mp4").arg(i));
        ASSERT_TRUE(test::writeFile(source, QByteArray::number(i)));
        const auto item = store->recordFile(source, CaptureKind::recording,
                                            QStringLiteral("clip.mp4"), QSizeF(1280.9, 720.2));
        ASSERT_TRUE(item);
        EXPECT_FALSE(QFile::exists(source));
        EXPECT_EQ(test::readFile(item->filePath), QByteArray::number(i));
        EXPECT_EQ(item->pixelWidth, 1280);
        EXPECT_EQ(item->pixelHeight, 720);
        names.append(item->fileName);
    }
    EXPECT_EQ(names, QStringList({"clip.mp4", "clip 2.mp4", "clip 3.mp4"}));
    EXPECT_EQ(fixture.indexJson().size(), 3);
}

TEST(HistoryStore, MovesFilesAcrossFileSystems)
{
    struct stat shm {
    }, tmp{};
    HistoryFixture fixture;
    if (stat("/dev/shm", &shm) != 0 ||
        stat(QFile::encodeName(fixture.settings.dir.path()), &tmp) != 0 || shm.st_dev == tmp.st_dev)
        GTEST_SKIP() << "no second file system at hand";
    QTemporaryDir other(QStringLiteral("/dev/shm/zorv-test-XXXXXX"));
    const QString source = other.filePath(QStringLiteral("zorv-1.gif"));
    ASSERT_TRUE(test::writeFile(source, "GIF89a"));
    const auto store = fixture.open();
    const auto item =
        store->recordFile(source, CaptureKind::gif, QStringLiteral("anim.gif"), {8, 8});
    ASSERT_TRUE(item);
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(test::readFile(item->filePath), QByteArray("GIF89a"));
    EXPECT_EQ(test::folderEntries(fixture.media()), QStringList({"anim.gif"}));
}

TEST(HistoryStore, FailuresAreLoggedAndAddNothing)
{
    HistoryFixture fixture;
    const auto store = fixture.open();
    const QString missing = fixture.settings.dir.filePath(QStringLiteral("missing.mp4"));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(
        store->recordFile(missing, CaptureKind::recording, QStringLiteral("m.mp4"), {1, 1}));
    EXPECT_FALSE(store->recordImage(QImage(), std::nullopt, CaptureKind::screenshot,
                                    QStringLiteral("n.png")));
    // An index that cannot be replaced keeps the change in memory.
    QDir().mkpath(fixture.index());
    EXPECT_TRUE(store->recordImage(solidImage(), std::nullopt, CaptureKind::screenshot,
                                   QStringLiteral("p.png")));
    const QString log = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_TRUE(log.startsWith(QStringLiteral("Zorv: history move failed: The file “") + missing +
                               QStringLiteral("” couldn't be read")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("\nZorv: history persist failed: ")))
        << log.toStdString();
    EXPECT_EQ(log.count(QLatin1Char('\n')), 2);
    EXPECT_EQ(store->items().size(), 1);
    EXPECT_EQ(test::folderEntries(fixture.media()), QStringList({"p.png"}));
    EXPECT_EQ(test::folderEntries(fixture.root), QStringList({"History", "history.json"}));
}

TEST(HistoryStore, UpdateOCRWritesOnlyForAKnownEntry)
{
    HistoryFixture fixture;
    const auto store = fixture.open();
    const HistoryItem item = *store->recordImage(solidImage(), std::nullopt,
                                                 CaptureKind::screenshot, QStringLiteral("a.png"));
    EXPECT_FALSE(fixture.indexJson()[0].toObject().contains(QStringLiteral("ocrText")));

    const QByteArray before = test::readFile(fixture.index());
    QFile::remove(fixture.index());
    QSignalSpy changes(store.get(), &HistoryStore::itemsChanged);
    store->updateOCR(QUuid::createUuid(), QStringLiteral("nothing"));
    EXPECT_FALSE(QFile::exists(fixture.index()));
    EXPECT_EQ(changes.count(), 0);

    test::writeFile(fixture.index(), before);
    store->updateOCR(item.id, QStringLiteral("Hello"));
    EXPECT_EQ(fixture.indexJson()[0].toObject()[QStringLiteral("ocrText")].toString(),
              QStringLiteral("Hello"));
    EXPECT_EQ(fixture.open()->items().front().ocrText, QStringLiteral("Hello"));
}

TEST(HistoryStore, ThumbnailsAreBoundedAndCachedPerSize)
{
    HistoryFixture fixture;
    const auto store = fixture.open();
    const HistoryItem wide = *store->recordImage(solidImage({1000, 500}), std::nullopt,
                                                 CaptureKind::screenshot, QStringLiteral("w.png"));
    const std::optional<QImage> small = waitFor(store->thumbnail(wide, 200));
    ASSERT_TRUE(small);
    EXPECT_EQ(small->size(), QSize(200, 100));
    EXPECT_EQ(store->cachedThumbnailCount(), 1);

    // The second request at that size never reaches the file.
    QFile::remove(wide.filePath);
    QFuture<std::optional<QImage>> again = store->thumbnail(wide, 200);
    ASSERT_TRUE(again.isFinished());
    ASSERT_TRUE(again.result());
    EXPECT_EQ(again.result()->size(), QSize(200, 100));
    EXPECT_FALSE(waitFor(store->thumbnail(wide, 480)));
    EXPECT_EQ(store->cachedThumbnailCount(), 1);

    const HistoryItem tall = *store->recordImage(solidImage({30, 90}), std::nullopt,
                                                 CaptureKind::screenshot, QStringLiteral("t.png"));
    EXPECT_EQ(waitFor(store->thumbnail(tall, 200))->size(), QSize(30, 90));
    EXPECT_EQ(waitFor(store->thumbnail(tall, 45))->size(), QSize(15, 45));
    EXPECT_EQ(store->cachedThumbnailCount(), 3);
}

TEST(HistoryStore, ThumbnailsOfOtherKinds)
{
    HistoryFixture fixture;
    QDir().mkpath(fixture.media());
    // Two 40 × 20 frames: blue, then red.
    const QByteArray twoFrameGif = QByteArray::fromHex(
        "47494638396128001400f000000000ff00000021f904000000000021ff0b4e45545343415045322e"
        "3003010000002c000000002800140000021a848fa9cbed0fa39cb4da8bb3debcfb0f86e24896e689"
        "a6ea8a150021f90400000000002c000000002800140080ff0000000000021a848fa9cbed0fa39cb4"
        "da8bb3debcfb0f86e24896e689a6ea8a15003b");
    const QString gifPath = fixture.media() + QStringLiteral("/a.gif");
    ASSERT_TRUE(test::writeFile(gifPath, twoFrameGif));
    const QString heicPath = fixture.media() + QStringLiteral("/b.heic");
    test::writeFile(heicPath, *ImageEncoder::heicData(solidImage({80, 40}, Qt::green), 0.8));

    const auto store = fixture.open();
    const auto thumb = [&](const QString &path, CaptureKind kind) {
        const HistoryItem item{QUuid::createUuid(),
                               QFileInfo(path).fileName(),
                               kind,
                               QDateTime::currentDateTimeUtc(),
                               0,
                               0,
                               path,
                               std::nullopt};
        return waitFor(store->thumbnail(item, 20));
    };
    const auto gif = thumb(gifPath, CaptureKind::gif);
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->size(), QSize(20, 10));
    EXPECT_GT(qBlue(gif->pixel(10, 5)), 200);
    EXPECT_LT(qRed(gif->pixel(10, 5)), 50);
    const auto heic = thumb(heicPath, CaptureKind::screenshot);
    ASSERT_TRUE(heic);
    EXPECT_EQ(heic->size(), QSize(20, 10));
    EXPECT_GT(qGreen(heic->pixel(10, 5)), 200);
    EXPECT_FALSE(thumb(fixture.media() + QStringLiteral("/none.png"), CaptureKind::screenshot));
    EXPECT_EQ(store->cachedThumbnailCount(), 2);
}
