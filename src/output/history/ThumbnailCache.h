#pragma once

#include <QHash>
#include <QImage>
#include <QString>
#include <list>
#include <optional>

namespace zorv
{

// Decoded thumbnails by key, bounded in count and in bytes; the least
// recently used entries go first when either bound is passed.
class ThumbnailCache
{
  public:
    ThumbnailCache(int maxCount, qint64 maxCost);

    std::optional<QImage> find(const QString &key);
    // An image costlier than the whole budget is not kept.
    void insert(const QString &key, const QImage &image);

    // Drops every entry whose key ends with `suffix`.
    void removeEndingWith(const QString &suffix);

    int count() const { return int(m_order.size()); }
    qint64 totalCost() const { return m_totalCost; }
    static qint64 cost(const QImage &image);

  private:
    struct Entry {
        QString key;
        QImage image;
        qint64 cost;
    };
    void evict();

    int m_maxCount;
    qint64 m_maxCost;
    qint64 m_totalCost = 0;
    std::list<Entry> m_order; // most recently used first
    QHash<QString, std::list<Entry>::iterator> m_index;
};

} // namespace zorv
