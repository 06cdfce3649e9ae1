#include "output/history/HistoryStore.h"

#include "common/Log.h"
#include "common/WhenReady.h"
#include "output/FileWriter.h"
#include "output/encoding/ImageEncoder.h"
#include "output/history/Thumbnailer.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPromise>
#include <QSet>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cerrno>
#include <map>
#include <sys/stat.h>
#include <utility>

namespace zorv
{

namespace
{

constexpr int minimumHistoryLimit = 10;
constexpr int thumbnailCountLimit = 200;
constexpr qint64 thumbnailCostLimit = 64 * 1024 * 1024;

// Thumbnails decode at low priority so they never compete with a capture.
QThreadPool &thumbnailPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(2);
        p->setThreadPriority(QThread::LowPriority);
        return p;
    }();
    return *pool;
}

// The kind of a capture file by its extension; nothing for files that are
// not captures.
std::optional<CaptureKind> kindOfFile(const QFileInfo &info)
{
    const QString ext = info.suffix().toLower();
    if (ext == QLatin1String("gif"))
        return CaptureKind::gif;
    if (ext == QLatin1String("mp4") || ext == QLatin1String("mov"))
        return CaptureKind::recording;
    for (const char *image : {"png", "jpg", "jpeg", "heic", "heif"}) {
        if (ext == QLatin1String(image))
            return CaptureKind::screenshot;
    }
    return std::nullopt;
}

// Tells whether any of a list of entries names a file, by whatever spelling:
// the same cleaned path, or the same canonical path (links, "..").
class NamedFiles
{
  public:
    explicit NamedFiles(const QList<HistoryItem> &items) : m_items(items)
    {
        for (const HistoryItem &item : items)
            m_paths.insert(QDir::cleanPath(item.filePath));
    }

    bool names(const QString &path)
    {
        if (m_paths.contains(QDir::cleanPath(path)))
            return true;
        const std::optional<Identity> identity = identityOf(path);
        if (!identity)
            return false;
        // One stat per entry finds the few that may name the file; only those
        // pay for resolving their whole path.
        if (!m_identities) {
            m_identities.emplace();
            for (qsizetype i = 0; i < m_items.size(); ++i) {
                if (const auto id = identityOf(m_items[i].filePath))
                    m_identities->emplace(*id, i);
            }
        }
        const QString canonical = QFileInfo(path).canonicalFilePath();
        const auto [first, last] = m_identities->equal_range(*identity);
        for (auto it = first; it != last; ++it) {
            if (QFileInfo(m_items[it->second].filePath).canonicalFilePath() == canonical)
                return true;
        }
        return false;
    }

  private:
    using Identity = std::pair<dev_t, ino_t>;
    static std::optional<Identity> identityOf(const QString &path)
    {
        struct stat status {
        };
        if (::stat(QFile::encodeName(path).constData(), &status) != 0)
            return std::nullopt;
        return Identity{status.st_dev, status.st_ino};
    }

    const QList<HistoryItem> &m_items;
    QSet<QString> m_paths;
    std::optional<std::multimap<Identity, qsizetype>> m_identities;
};

QString withPngExtension(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (info.suffix().compare(QLatin1String("png"), Qt::CaseInsensitive) == 0)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? fileName.left(dot) : fileName) + QStringLiteral(".png");
}

} // namespace

HistoryStore &HistoryStore::shared()
{
    static HistoryStore store(defaultRoot(), AppSettings::shared());
    return store;
}

HistoryStore::HistoryStore(const QString &root, AppSettings &settings, QObject *parent)
    : QObject(parent), m_root(root), m_settings(settings),
      m_thumbnails(thumbnailCountLimit, thumbnailCostLimit)
{
    QDir().mkpath(mediaDirectory());
    load();
}

QString HistoryStore::defaultRoot()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Zorv");
}

QString HistoryStore::indexPath() const
{
    return QDir(m_root).filePath(QStringLiteral("history.json"));
}

QString HistoryStore::mediaDirectory() const
{
    return QDir(m_root).filePath(QStringLiteral("History"));
}

void HistoryStore::load()
{
    FileWriter::removeStaleTemporaryFiles(mediaDirectory());
    bool rewrite = false;
    QFile file(indexPath());
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray bytes = file.readAll();
        file.close();
        const std::optional<HistoryIndex::Decoded> decoded = HistoryIndex::decode(bytes);
        bool keptAside = true;
        if (!decoded || decoded->dropped > 0) {
            keptAside = keepDamagedIndex(bytes, decoded ? decoded->dropped : -1);
            if (keptAside && !decoded)
                QFile::remove(indexPath());
            rewrite = keptAside && decoded;
        }
        if (decoded) {
            for (const HistoryItem &item : decoded->items) {
                if (QFileInfo(item.filePath).isFile())
                    m_items.append(item);
            }
        }
        // Without a copy of the damaged index, nothing at start may replace it.
        if (!keptAside)
            return;
    } else if (file.exists()) {
        return; // unreadable for now: neither replace it nor adopt its files
    }
    if (adoptUnlistedFiles() > 0 || rewrite)
        persist();
}

bool HistoryStore::keepDamagedIndex(const QByteArray &bytes, int droppedEntries)
{
    // Copies are numbered history.json.corrupt, history.json.corrupt.2, … in
    // the order they were made; the newest few are kept.
    constexpr int keptCopies = 5;
    const QString base = QFileInfo(indexPath()).fileName() + QStringLiteral(".corrupt");
    const QDir root(m_root);
    std::map<int, QString> copies;
    for (const QString &name : root.entryList(QDir::Files)) {
        if (!name.startsWith(base))
            continue;
        if (name == base) {
            copies[1] = name;
            continue;
        }
        // base + "." + a number of at most nine digits, without leading zeros
        const QString digits = name.mid(base.size() + 1);
        bool isNumber = name.at(base.size()) == QLatin1Char('.') && digits.size() <= 9 &&
                        !digits.startsWith(QLatin1Char('0'));
        for (const QChar c : digits)
            isNumber = isNumber && c.isDigit() && c.unicode() < 128;
        if (isNumber && digits.toInt() >= 2)
            copies[digits.toInt()] = name;
    }

    int number = copies.empty() ? 1 : copies.rbegin()->first + 1;
    for (;; ++number) {
        const QString name = number == 1 ? base : base + QLatin1Char('.') + QString::number(number);
        const FileResult<QString> written = FileWriter::writeNewFileAt(root.filePath(name), bytes);
        if (written) {
            copies[number] = name;
            if (droppedEntries > 0)
                logLine(QStringLiteral("history index: dropped %1 unreadable %2; the original is "
                                       "kept as %3")
                            .arg(droppedEntries)
                            .arg(droppedEntries == 1 ? QStringLiteral("entry")
                                                     : QStringLiteral("entries"))
                            .arg(name));
            else
                logLine(QStringLiteral("history index unreadable; kept as %1").arg(name));
            break;
        }
        if (written.error().errorNumber() != EEXIST || number > 1'000'000'000) {
            logLine(QStringLiteral("history index damaged, left in place: ") +
                    written.error().description());
            return false;
        }
    }
    while (copies.size() > keptCopies) {
        QFile::remove(root.filePath(copies.begin()->second));
        copies.erase(copies.begin());
    }
    return true;
}

int HistoryStore::adoptUnlistedFiles()
{
    const qsizetype room = limit() - m_items.size();
    if (room <= 0)
        return 0;
    NamedFiles listed(m_items);
    QFileInfoList files;
    const QDir media(mediaDirectory());
    for (const QString &name :
         media.entryList(QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDir::Unsorted)) {
        const QFileInfo info(media.filePath(name));
        if (kindOfFile(info) && !listed.names(info.filePath()))
            files.append(info);
    }
    std::sort(files.begin(), files.end(), [](const QFileInfo &a, const QFileInfo &b) {
        const QDateTime ta = a.lastModified(), tb = b.lastModified();
        return ta != tb ? ta > tb : a.fileName() < b.fileName();
    });
    if (files.size() > room)
        files.resize(room);

    QList<HistoryItem> adopted;
    for (const QFileInfo &info : std::as_const(files)) {
        const CaptureKind kind = *kindOfFile(info);
        const QString path = media.filePath(info.fileName());
        QSize size;
        if (kind != CaptureKind::recording)
            size = QImageReader(path).size();
        HistoryItem item =
            makeItem(path, kind, std::max(size.width(), 0), std::max(size.height(), 0));
        item.createdAt = info.lastModified().toUTC();
        adopted.append(item);
    }
    if (adopted.isEmpty())
        return 0;

    // Merge by date, keeping the order of the listed entries among themselves.
    QList<HistoryItem> merged;
    merged.reserve(m_items.size() + adopted.size());
    qsizetype next = 0;
    for (const HistoryItem &item : std::as_const(m_items)) {
        while (next < adopted.size() && adopted[next].createdAt > item.createdAt)
            merged.append(adopted[next++]);
        merged.append(item);
    }
    while (next < adopted.size())
        merged.append(adopted[next++]);
    m_items = std::move(merged);
    return int(adopted.size());
}

int HistoryStore::limit() const
{
    return std::max(m_settings.historyLimit(), minimumHistoryLimit);
}

void HistoryStore::insert(const HistoryItem &item)
{
    m_items.prepend(item);
    if (m_items.size() > limit()) {
        const QList<HistoryItem> gone = m_items.mid(limit());
        m_items.resize(limit());
        deleteStoredFiles(gone);
    }
    Q_EMIT itemsChanged();
    persist();
}

void HistoryStore::persist()
{
    if (const auto error = FileWriter::ensureDirectory(m_root)) {
        logLine(QStringLiteral("history persist failed: ") + error->description());
        return;
    }
    if (const auto error = FileWriter::replaceFile(indexPath(), HistoryIndex::encode(m_items)))
        logLine(QStringLiteral("history persist failed: ") + error->description());
}

HistoryItem HistoryStore::makeItem(const QString &path, CaptureKind kind, int width,
                                   int height) const
{
    return HistoryItem{QUuid::createUuid(),
                       QFileInfo(path).fileName(),
                       kind,
                       QDateTime::currentDateTimeUtc(),
                       width,
                       height,
                       path,
                       std::nullopt};
}

FileResult<HistoryItem> HistoryStore::recordFile(const QString &path, CaptureKind kind,
                                                 const QString &fileName, QSizeF pixelSize)
{
    const FileResult<QString> moved = FileWriter::moveNewFile(path, mediaDirectory(), fileName);
    if (!moved) {
        logLine(QStringLiteral("history move failed: ") + moved.error().description());
        return moved.error();
    }
    const HistoryItem item =
        makeItem(moved.value(), kind, int(pixelSize.width()), int(pixelSize.height()));
    insert(item);
    return item;
}

QFuture<std::optional<HistoryItem>> HistoryStore::recordFileAsync(const QString &path,
                                                                  CaptureKind kind,
                                                                  const QString &fileName,
                                                                  QSizeF pixelSize)
{
    struct Moved {
        QString path;
        QString error;
    };
    auto promise = std::make_shared<QPromise<std::optional<HistoryItem>>>();
    QFuture<std::optional<HistoryItem>> result = promise->future();
    promise->start();
    auto moved = QtConcurrent::run([path, media = mediaDirectory(), fileName] {
        const FileResult<QString> done = FileWriter::moveNewFile(path, media, fileName);
        return done ? Moved{done.value(), {}} : Moved{{}, done.error().description()};
    });
    // A store gone meanwhile leaves the future without a result; the moved
    // file is taken up from the media folder at the next start.
    whenReady(moved, this, [this, promise, kind, pixelSize](const Moved &moved) {
        if (moved.path.isEmpty()) {
            logLine(QStringLiteral("history move failed: ") + moved.error);
            promise->addResult(std::optional<HistoryItem>());
        } else {
            const HistoryItem item =
                makeItem(moved.path, kind, int(pixelSize.width()), int(pixelSize.height()));
            insert(item);
            promise->addResult(item);
        }
        promise->finish();
    });
    return result;
}

FileResult<HistoryItem> HistoryStore::recordImage(const QImage &image,
                                                  const std::optional<QByteArray> &data,
                                                  CaptureKind kind, const QString &fileName)
{
    // The name tells what the file holds, also when the caller's encoder failed.
    const QString name = data ? fileName : withPngExtension(fileName);
    const std::optional<QByteArray> bytes = data ? data : ImageEncoder::pngData(image);
    if (!bytes)
        return FileError(FileError::Reason::encodingFailed, QDir(mediaDirectory()).filePath(name));
    const FileResult<QString> written = FileWriter::writeNewFile(mediaDirectory(), name, *bytes);
    if (!written) {
        logLine(QStringLiteral("history write failed: ") + written.error().description());
        return written.error();
    }
    const HistoryItem item = makeItem(written.value(), kind, image.width(), image.height());
    insert(item);
    return item;
}

void HistoryStore::remove(const HistoryItem &item)
{
    QList<HistoryItem> gone{item};
    m_items.removeIf([&](const HistoryItem &entry) {
        if (entry.id != item.id)
            return false;
        gone.append(entry);
        return true;
    });
    deleteStoredFiles(gone);
    Q_EMIT itemsChanged();
    persist();
}

void HistoryStore::removeAll()
{
    const QList<HistoryItem> gone = std::exchange(m_items, {});
    deleteStoredFiles(gone);
    Q_EMIT itemsChanged();
    persist();
}

void HistoryStore::updateOCR(const QUuid &id, const QString &text)
{
    for (HistoryItem &item : m_items) {
        if (item.id == id) {
            item.ocrText = text;
            Q_EMIT itemsChanged();
            persist();
            return;
        }
    }
}

void HistoryStore::deleteStoredFiles(const QList<HistoryItem> &gone) const
{
    const QString media = QFileInfo(mediaDirectory()).canonicalFilePath();
    if (media.isEmpty() || gone.isEmpty())
        return;
    NamedFiles remaining(m_items);
    for (const HistoryItem &item : gone) {
        const QFileInfo target(QFileInfo(item.filePath).canonicalFilePath());
        if (!target.exists() || !target.isFile() || target.absolutePath() != media ||
            remaining.names(target.absoluteFilePath()))
            continue;
        QFile::remove(target.absoluteFilePath());
    }
}

void HistoryStore::dropThumbnails(int maxPixel)
{
    m_thumbnails.removeEndingWith(QLatin1Char('-') + QString::number(maxPixel));
}

QFuture<std::optional<QImage>> HistoryStore::thumbnail(const HistoryItem &item, int maxPixel)
{
    const QString key = item.id.toString(QUuid::WithoutBraces).toUpper() + QLatin1Char('-') +
                        QString::number(maxPixel);
    if (std::optional<QImage> cached = m_thumbnails.find(key))
        return QtFuture::makeReadyFuture(std::move(cached));
    return QtConcurrent::run(&thumbnailPool(), makeThumbnail, item, maxPixel)
        .then(this, [this, key](std::optional<QImage> image) {
            if (image)
                m_thumbnails.insert(key, *image);
            return image;
        });
}

} // namespace zorv
