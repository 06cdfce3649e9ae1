#include "output/history/HistoryStore.h"

#include "common/Log.h"
#include "output/FileWriter.h"
#include "output/encoding/ImageEncoder.h"
#include "output/history/Thumbnailer.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

#include <cstdio>

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
    QFile file(indexPath());
    if (!file.open(QIODevice::ReadOnly))
        return;
    const std::optional<QList<HistoryItem>> decoded = HistoryIndex::decode(file.readAll());
    file.close();
    if (!decoded) {
        // Keep the damaged index for inspection; the next change writes a fresh one.
        const QString aside = indexPath() + QStringLiteral(".corrupt");
        std::rename(QFile::encodeName(indexPath()).constData(),
                    QFile::encodeName(aside).constData());
        return;
    }
    for (const HistoryItem &item : *decoded) {
        if (QFileInfo(item.filePath).isFile())
            m_items.append(item);
    }
}

void HistoryStore::insert(const HistoryItem &item)
{
    m_items.prepend(item);
    const int limit = std::max(m_settings.historyLimit(), minimumHistoryLimit);
    if (m_items.size() > limit) {
        for (qsizetype i = limit; i < m_items.size(); ++i)
            deleteStoredFile(m_items[i].filePath);
        m_items.resize(limit);
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

std::optional<HistoryItem> HistoryStore::recordFile(const QString &path, CaptureKind kind,
                                                    const QString &fileName, QSizeF pixelSize)
{
    const FileResult<QString> moved = FileWriter::moveNewFile(path, mediaDirectory(), fileName);
    if (!moved) {
        logLine(QStringLiteral("history move failed: ") + moved.error().description());
        return std::nullopt;
    }
    const HistoryItem item =
        makeItem(moved.value(), kind, int(pixelSize.width()), int(pixelSize.height()));
    insert(item);
    return item;
}

std::optional<HistoryItem> HistoryStore::recordImage(const QImage &image,
                                                     const std::optional<QByteArray> &data,
                                                     CaptureKind kind, const QString &fileName)
{
    const std::optional<QByteArray> bytes = data ? data : ImageEncoder::pngData(image);
    if (!bytes)
        return std::nullopt;
    // The name tells what the file holds, also when the caller's encoder failed.
    const QString name = data ? fileName : withPngExtension(fileName);
    const FileResult<QString> written = FileWriter::writeNewFile(mediaDirectory(), name, *bytes);
    if (!written) {
        logLine(QStringLiteral("history write failed: ") + written.error().description());
        return std::nullopt;
    }
    const HistoryItem item = makeItem(written.value(), kind, image.width(), image.height());
    insert(item);
    return item;
}

void HistoryStore::remove(const HistoryItem &item)
{
    m_items.removeIf([&](const HistoryItem &entry) { return entry.id == item.id; });
    deleteStoredFile(item.filePath);
    Q_EMIT itemsChanged();
    persist();
}

void HistoryStore::removeAll()
{
    for (const HistoryItem &item : std::as_const(m_items))
        deleteStoredFile(item.filePath);
    m_items.clear();
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

void HistoryStore::deleteStoredFile(const QString &path) const
{
    const QString media = QFileInfo(mediaDirectory()).canonicalFilePath();
    const QFileInfo target(QFileInfo(path).canonicalFilePath());
    if (media.isEmpty() || !target.exists() || !target.isFile())
        return;
    if (target.absolutePath() != media)
        return;
    QFile::remove(target.absoluteFilePath());
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
