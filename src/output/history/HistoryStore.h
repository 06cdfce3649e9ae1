#pragma once

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
    std::optional<HistoryItem> recordFile(const QString &path, CaptureKind kind,
                                          const QString &fileName, QSizeF pixelSize);
    // Stores an image capture: `data` when given, else the image as PNG (under
    // a .png name).
    std::optional<HistoryItem> recordImage(const QImage &image,
                                           const std::optional<QByteArray> &data, CaptureKind kind,
                                           const QString &fileName);
    void remove(const HistoryItem &item);
    void removeAll();
    void updateOCR(const QUuid &id, const QString &text);

    // A picture of the entry no larger than maxPixel on either side, decoded
    // off the main thread; the future resolves on the main thread.
    QFuture<std::optional<QImage>> thumbnail(const HistoryItem &item, int maxPixel);
    int cachedThumbnailCount() const { return m_thumbnails.count(); }

  Q_SIGNALS:
    void itemsChanged();

  private:
    void load();
    void insert(const HistoryItem &item);
    void persist();
    HistoryItem makeItem(const QString &path, CaptureKind kind, int width, int height) const;
    // Deletes a stored file, but only one that really lies in the media
    // directory: the index may have been edited to name any file.
    void deleteStoredFile(const QString &path) const;

    QString m_root;
    AppSettings &m_settings;
    QList<HistoryItem> m_items;
    ThumbnailCache m_thumbnails;
};

} // namespace zorv
