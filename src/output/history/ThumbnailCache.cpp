#include "output/history/ThumbnailCache.h"

namespace zorv
{

ThumbnailCache::ThumbnailCache(int maxCount, qint64 maxCost)
    : m_maxCount(maxCount), m_maxCost(maxCost)
{
}

qint64 ThumbnailCache::cost(const QImage &image)
{
    return qint64(image.bytesPerLine()) * image.height();
}

std::optional<QImage> ThumbnailCache::find(const QString &key)
{
    const auto found = m_index.constFind(key);
    if (found == m_index.constEnd())
        return std::nullopt;
    m_order.splice(m_order.begin(), m_order, *found);
    return m_order.front().image;
}

void ThumbnailCache::insert(const QString &key, const QImage &image)
{
    const qint64 imageCost = cost(image);
    if (const auto found = m_index.constFind(key); found != m_index.constEnd()) {
        m_totalCost -= (*found)->cost;
        m_order.erase(*found);
        m_index.remove(key);
    }
    if (imageCost > m_maxCost)
        return;
    m_order.push_front({key, image, imageCost});
    m_index.insert(key, m_order.begin());
    m_totalCost += imageCost;
    evict();
}

void ThumbnailCache::removeEndingWith(const QString &suffix)
{
    for (auto entry = m_order.begin(); entry != m_order.end();) {
        if (!entry->key.endsWith(suffix)) {
            ++entry;
            continue;
        }
        m_totalCost -= entry->cost;
        m_index.remove(entry->key);
        entry = m_order.erase(entry);
    }
}

void ThumbnailCache::evict()
{
    while (!m_order.empty() && (count() > m_maxCount || m_totalCost > m_maxCost)) {
        m_totalCost -= m_order.back().cost;
        m_index.remove(m_order.back().key);
        m_order.pop_back();
    }
}

} // namespace zorv
