#pragma once

#include <QImage>
#include <QList>

namespace zorv
{

// Large images kept for later screen reads to write into. Fresh memory is
// faulted in page by page, which varies widely: 4 to 90 ms for a 4K screen on
// a virtual machine whose host reclaims memory left free for two seconds. Two
// images serve an area selection (the frozen screen, then the area) and a
// press that comes before the last capture was delivered.
class ImagePool
{
  public:
    // Takes out a kept image of `size` that nobody else holds any more, so
    // that writing to it copies nothing; null when there is none.
    QImage take(QSize size);
    // Keeps `image` for a later take; the least recently kept goes beyond two.
    // Small images are not kept: fresh memory costs them little, and they
    // would push out a screen's.
    void keep(const QImage &image);
    void clear() { m_images.clear(); }
    bool isEmpty() const { return m_images.isEmpty(); }

  private:
    QList<QImage> m_images; // most recently kept first
};

} // namespace zorv
