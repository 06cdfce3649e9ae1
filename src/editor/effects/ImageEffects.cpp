#include "editor/effects/ImageEffects.h"

#include "editor/effects/ImageFilters.h"

#include <algorithm>
#include <cmath>

namespace zorv
{

ImageEffects &ImageEffects::shared()
{
    static ImageEffects instance;
    return instance;
}

QString ImageEffects::cacheKey(const QString &kind, double value, const QImage &image)
{
    // cacheKey() names the image object: implicitly shared copies agree, any
    // modified or cropped image gets a new one.
    return QStringLiteral("%1-%2-%3-%4x%5")
        .arg(kind)
        .arg(qint64(std::llround(value)))
        .arg(image.cacheKey())
        .arg(image.width())
        .arg(image.height());
}

QImage ImageEffects::blurred(const QImage &image, double radius)
{
    if (image.isNull())
        return {};
    // The value is rounded for the key, so it is rounded for the work too: every
    // radius that shares a key gets the same picture whichever came first.
    // The radius is taken as the standard deviation of the Gaussian, as in the
    // CSS blur() filter; visible spread reaches about three radii.
    const double sigma = std::max(double(std::llround(radius)), 1.0);
    return cached(cacheKey(QStringLiteral("blur"), radius, image),
                  [&] { return imageFilters::gaussianBlur(image, sigma); });
}

QImage ImageEffects::pixelated(const QImage &image, double scale)
{
    if (image.isNull())
        return {};
    const int cell = int(std::max(std::llround(scale), 2LL));
    return cached(cacheKey(QStringLiteral("pixel"), scale, image),
                  [&] { return imageFilters::pixelate(image, cell); });
}

template <typename Make> QImage ImageEffects::cached(const QString &key, Make make)
{
    auto it = std::find_if(m_entries.begin(), m_entries.end(),
                           [&key](const Entry &entry) { return entry.key == key; });
    if (it != m_entries.end()) {
        const Entry entry = *it;
        m_entries.erase(it);
        m_entries.prepend(entry);
        return entry.image;
    }
    const QImage image = make();
    if (!image.isNull())
        insert(key, image);
    return image;
}

void ImageEffects::insert(const QString &key, const QImage &image)
{
    const qint64 cost = qint64(image.bytesPerLine()) * image.height();
    m_entries.prepend({key, image, cost});
    // Least recently used go first. The newest entry always stays, even when it
    // alone exceeds the budget: a tall scrolling capture would otherwise be
    // blurred again on every frame of a drag.
    while (m_entries.size() > 1 && (m_entries.size() > m_maxEntries || totalCost() > m_maxCost))
        m_entries.removeLast();
}

qint64 ImageEffects::totalCost() const
{
    qint64 total = 0;
    for (const Entry &entry : m_entries)
        total += entry.cost;
    return total;
}

bool ImageEffects::contains(const QString &key) const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&key](const Entry &entry) { return entry.key == key; });
}

} // namespace zorv
