#pragma once

#include "output/FileWriter.h"
#include "output/history/HistoryItem.h"
#include "output/history/ThumbnailCache.h"

#include <QFuture>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSizeF>
#include <QString>
#include <optional>

namespace zorv
{

class AppSettings;

// The persistent, newest-first list of captures. Every entry owns a copy of
// its file in the media directory. Lives on the main thread.
class HistoryStore : public QObject
{
    Q_OBJECT
  public:
    static HistoryStore &shared();
    // `root` holds history.json and the media folder "History".
    HistoryStore(const QString &root, AppSettings &settings, QObject *parent = nullptr);

    // $XDG_DATA_HOME/Zorv
    static QString defaultRoot();

    const QList<HistoryItem> &items() const { return m_items; }
    QString root() const { return m_root; }
    QString indexPath() const;
    QString mediaDirectory() const;

    // Moves a finished capture file into the media directory.
    FileResult<HistoryItem> recordFile(const QString &path, CaptureKind kind,
                                       const QString &fileName, QSizeF pixelSize);
    // The same with the move off the main thread: between file systems it is a
    // copy of a whole recording. The entry is inserted on the main thread and
    // then resolves the future; nothing on failure (logged, source untouched).
    QFuture<std::optional<HistoryItem>> recordFileAsync(const QString &path, CaptureKind kind,
                                                        const QString &fileName, QSizeF pixelSize);
    // Stores an image capture: `data` when given, else the image as PNG (under
    // a .png name).
    FileResult<HistoryItem> recordImage(const QImage &image, const std::optional<QByteArray> &data,
                                        CaptureKind kind, const QString &fileName);
    void remove(const HistoryItem &item);
    void removeAll();
    void updateOCR(const QUuid &id, const QString &text);

    // A picture of the entry no larger than maxPixel on either side, decoded
    // off the main thread; the future resolves on the main thread.
    QFuture<std::optional<QImage>> thumbnail(const HistoryItem &item, int maxPixel);
    int cachedThumbnailCount() const { return m_thumbnails.count(); }
    // Lets go of the cached thumbnails of one size (those of a window that
    // closed), keeping the others.
    void dropThumbnails(int maxPixel);

  Q_SIGNALS:
    void itemsChanged();

  private:
    void load();
    // Keeps the bytes of a damaged index beside it; false when that failed.
    bool keepDamagedIndex(const QByteArray &bytes, int droppedEntries);
    // Takes up capture files of the media directory that no entry names (left
    // by a damaged index or a crash before the index was written), newest
    // first, as far as the limit allows. Returns how many were taken up.
    int adoptUnlistedFiles();
    int limit() const;
    void insert(const HistoryItem &item);
    void persist();
    HistoryItem makeItem(const QString &path, CaptureKind kind, int width, int height) const;
    // Deletes the stored files of entries that left the list, but only files
    // that really lie in the media directory (the index may have been edited
    // to name any file) and that no remaining entry still names.
    void deleteStoredFiles(const QList<HistoryItem> &gone) const;

    QString m_root;
    AppSettings &m_settings;
    QList<HistoryItem> m_items;
    ThumbnailCache m_thumbnails;
};

} // namespace zorv
