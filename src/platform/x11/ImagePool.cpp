#include "platform/x11/ImagePool.h"

#include <atomic>

namespace zorv
{

namespace
{
constexpr qsizetype keptImages = 2;
constexpr qsizetype smallestKeptBytes = 1024 * 1024;
} // namespace

QImage ImagePool::take(QSize size)
{
    for (qsizetype i = 0; i < m_images.size(); ++i) {
        if (m_images[i].size() == size && m_images[i].isDetached()) {
            // Whoever held it last, maybe on another thread, is done with its
            // pixels before they change.
            std::atomic_thread_fence(std::memory_order_acquire);
            return m_images.takeAt(i);
        }
    }
    return {};
}

void ImagePool::keep(const QImage &image)
{
    if (image.sizeInBytes() < smallestKeptBytes)
        return;
    m_images.removeIf(
        [&image](const QImage &kept) { return kept.constBits() == image.constBits(); });
    m_images.prepend(image);
    if (m_images.size() > keptImages)
        m_images.removeLast();
}

} // namespace zorv
