#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace zorv
{

// Blurred and pixelated copies of a whole base image for the blur and pixelate
// annotations. They are computed once per (kind, rounded value, image object,
// size) and kept in a small cache, so dragging or resizing an area only moves
// its clip. Main thread only.
class ImageEffects
{
  public:
    static ImageEffects &shared();

    static constexpr int defaultMaxEntries = 4;
    static constexpr qint64 defaultMaxCost = 96LL * 1024 * 1024;

    // Cost is bytes per row × height of the cached images.
    explicit ImageEffects(int maxEntries = defaultMaxEntries, qint64 maxCost = defaultMaxCost)
        : m_maxEntries(maxEntries), m_maxCost(maxCost)
    {
    }
    ImageEffects(const ImageEffects &) = delete;
    ImageEffects &operator=(const ImageEffects &) = delete;

    // Same size as `image`; null when `image` is null or memory ran out.
    QImage blurred(const QImage &image, double radius);
    QImage pixelated(const QImage &image, double scale);

    // "blur-14-<image identity>-1920x1080".
    static QString cacheKey(const QString &kind, double value, const QImage &image);

    int entryCount() const { return int(m_entries.size()); }
    qint64 totalCost() const;
    bool contains(const QString &key) const;
    void clear() { m_entries.clear(); }

  private:
    struct Entry {
        QString key;
        QImage image;
        qint64 cost;
    };

    template <typename Make> QImage cached(const QString &key, Make make);
    void insert(const QString &key, const QImage &image);

    int m_maxEntries;
    qint64 m_maxCost;
    // Most recently used first.
    QList<Entry> m_entries;
};

} // namespace zorv
