#include "editor/LargeImage.h"

#include <sys/mman.h>

namespace zorv
{

namespace
{

constexpr size_t hugePage = size_t(2) << 20;
// Smaller images gain nothing worth a mapping of their own.
constexpr size_t threshold = size_t(4) << 20;

struct Mapping {
    void *address;
    size_t length;
};

void unmap(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    munmap(mapping->address, mapping->length);
    delete mapping;
}

} // namespace

QImage largeImage(QSize size, QImage::Format format)
{
    const int depth = QImage::toPixelFormat(format).bitsPerPixel();
    if (size.isEmpty() || depth == 0)
        return QImage(size, format);
    // Rows padded to 32 bits, as QImage lays them out itself.
    const qsizetype bytesPerLine = ((qsizetype(size.width()) * depth + 31) >> 5) << 2;
    const size_t bytes = size_t(bytesPerLine) * size_t(size.height());
    if (bytes < threshold)
        return QImage(size, format);

    // One spare huge page lets the pixels start on a huge-page boundary.
    const size_t length = bytes + hugePage;
    void *address =
        mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED)
        return QImage(size, format);
    const auto start = (reinterpret_cast<quintptr>(address) + hugePage - 1) & ~(hugePage - 1);
#ifdef MADV_HUGEPAGE
    madvise(reinterpret_cast<void *>(start), bytes, MADV_HUGEPAGE);
#endif
    auto *mapping = new Mapping{address, length};
    QImage image(reinterpret_cast<uchar *>(start), size.width(), size.height(), bytesPerLine,
                 format, unmap, mapping);
    if (image.isNull()) {
        unmap(mapping);
        return QImage(size, format);
    }
    return image;
}

} // namespace zorv
