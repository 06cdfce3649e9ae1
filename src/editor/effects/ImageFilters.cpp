#include "editor/effects/ImageFilters.h"

#include "editor/effects/BoxPass.h"
#include "editor/effects/PixelLanes.h"

#include <QColorSpace>
#include <QList>
#include <QThread>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace zorv::imageFilters
{

namespace
{

// The widest box allowed; far beyond any useful radius, it keeps the 32-bit
// sums of the portable pass from overflowing.
constexpr int maxBoxWidth = 16383;

struct Range {
    int begin;
    int end;
};

// Splits [0, count) into pieces that are multiples of `unit`: a few per thread,
// so a thread that gets less processor time leaves its share to the others,
// but few enough that allocating each piece's scratch costs nothing.
QList<Range> split(int count, int unit, Threads threads)
{
    const int pieces =
        threads == Threads::single ? 1 : 4 * std::max(1, QThread::idealThreadCount());
    const int units = (count + unit - 1) / unit;
    const int unitsPerPiece = std::max(1, (units + pieces - 1) / pieces);
    QList<Range> ranges;
    for (int b = 0; b < count; b += unitsPerPiece * unit)
        ranges.append({b, std::min(count, b + unitsPerPiece * unit)});
    return ranges;
}

template <typename Work> void forEachRange(QList<Range> ranges, Work work)
{
    if (ranges.size() < 2) {
        for (const Range &range : ranges)
            work(range);
        return;
    }
    QtConcurrent::blockingMap(ranges, [&work](Range &range) { work(range); });
}

uint32_t *scanLine(QImage &image, int y)
{
    return reinterpret_cast<uint32_t *>(image.scanLine(y));
}

const uint32_t *scanLine(const QImage &image, int y)
{
    return reinterpret_cast<const uint32_t *>(image.constScanLine(y));
}

QImage premultiplied(const QImage &image)
{
    if (image.format() == QImage::Format_ARGB32_Premultiplied)
        return image;
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

// Scratch without zero-filling; every element is written before it is read.
std::unique_ptr<uint32_t[]> scratch(size_t count)
{
    return std::unique_ptr<uint32_t[]>(new uint32_t[count]);
}

// Rows are blurred as columns of a transposed block of `blockRows` rows, so
// the running sums advance over several rows at once instead of one pixel
// after another.
constexpr int blockRows = 8;

void blurRows(const QImage &source, QImage &result, Range range, const std::array<int, 3> &widths)
{
    const int w = source.width();
    const int h = source.height();
    auto a = scratch(size_t(w) * blockRows);
    auto b = scratch(size_t(w) * blockRows);
    for (int y0 = range.begin; y0 < range.end; y0 += blockRows) {
        // A short last block repeats its last row; the copies are not written back.
        const uint32_t *rows[blockRows];
        for (int k = 0; k < blockRows; ++k)
            rows[k] = scanLine(source, std::min(y0 + k, h - 1));
        for (int x = 0; x < w; ++x)
            for (int k = 0; k < blockRows; ++k)
                a[size_t(x) * blockRows + size_t(k)] = rows[k][x];
        boxPass(a.get(), blockRows, b.get(), blockRows, blockRows, w, widths[0]);
        boxPass(b.get(), blockRows, a.get(), blockRows, blockRows, w, widths[1]);
        boxPass(a.get(), blockRows, b.get(), blockRows, blockRows, w, widths[2]);
        const int count = std::min(blockRows, h - y0);
        for (int k = 0; k < count; ++k) {
            uint32_t *dst = scanLine(result, y0 + k);
            for (int x = 0; x < w; ++x)
                dst[x] = b[size_t(x) * blockRows + size_t(k)];
        }
    }
}

// Columns in strips narrow enough that two compact copies stay in the cache.
constexpr int stripColumns = 32;

void blurColumns(QImage &result, Range range, const std::array<int, 3> &widths)
{
    const int h = result.height();
    const qsizetype stride = result.bytesPerLine() / qsizetype(sizeof(uint32_t));
    auto a = scratch(size_t(stripColumns) * size_t(h));
    auto b = scratch(size_t(stripColumns) * size_t(h));
    for (int x0 = range.begin; x0 < range.end; x0 += stripColumns) {
        const int columns = std::min(stripColumns, range.end - x0);
        uint32_t *origin = scanLine(result, 0) + x0;
        boxPass(origin, stride, a.get(), columns, columns, h, widths[0]);
        boxPass(a.get(), columns, b.get(), columns, columns, h, widths[1]);
        boxPass(b.get(), columns, origin, stride, columns, h, widths[2]);
    }
}

} // namespace

std::array<int, 3> boxWidthsForGaussian(double sigma)
{
    // Three boxes of widths wl or wl + 2 whose variances, (w² − 1) / 12 each,
    // add up as closely as possible to sigma².
    constexpr int n = 3;
    const double variance = sigma * sigma;
    int lower = int(std::floor(std::sqrt(12.0 * variance / n + 1.0)));
    if (lower % 2 == 0)
        --lower;
    lower = std::clamp(lower, 1, maxBoxWidth - 2);
    const double wl = lower;
    const double ideal =
        (12.0 * variance - n * wl * wl - 4.0 * n * wl - 3.0 * n) / (-4.0 * wl - 4.0);
    const int lowerCount = std::clamp(int(std::lround(ideal)), 0, n);
    std::array<int, 3> widths{};
    for (int i = 0; i < n; ++i)
        widths[size_t(i)] = i < lowerCount ? lower : lower + 2;
    return widths;
}

QImage gaussianBlur(const QImage &image, double sigma, Threads threads)
{
    if (image.isNull())
        return {};
    const QImage source = premultiplied(image);
    QImage result(source.size(), QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    result.setColorSpace(source.colorSpace());
    const std::array<int, 3> widths = boxWidthsForGaussian(std::max(sigma, 0.0));

    forEachRange(split(source.height(), blockRows, threads),
                 [&](Range range) { blurRows(source, result, range, widths); });
    forEachRange(split(source.width(), stripColumns, threads),
                 [&](Range range) { blurColumns(result, range, widths); });
    return result;
}

QImage pixelate(const QImage &image, int cell, Threads threads)
{
    if (image.isNull())
        return {};
    // Cell sums of 255 × cell² must fit in 32 bits.
    cell = std::clamp(cell, 1, 4000);
    const QImage source = premultiplied(image);
    const int w = source.width();
    const int h = source.height();
    QImage result(QSize(w, h), QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    result.setColorSpace(source.colorSpace());
    const int cellRows = (h + cell - 1) / cell;

    forEachRange(split(cellRows, 1, threads), [&](Range range) {
        std::vector<PixelLanes> columnSums(static_cast<size_t>(w));
        std::vector<uint32_t> line(static_cast<size_t>(w));
        for (int cy = range.begin; cy < range.end; ++cy) {
            const int y0 = cy * cell;
            const int y1 = std::min(h, y0 + cell);
            std::fill(columnSums.begin(), columnSums.end(), PixelLanes{0, 0, 0, 0});
            for (int y = y0; y < y1; ++y) {
                const uint32_t *src = scanLine(source, y);
                for (int x = 0; x < w; ++x)
                    columnSums[size_t(x)] += widen(src[x]);
            }
            for (int x0 = 0; x0 < w; x0 += cell) {
                const int x1 = std::min(w, x0 + cell);
                PixelLanes sum = {0, 0, 0, 0};
                for (int x = x0; x < x1; ++x)
                    sum += columnSums[size_t(x)];
                const uint32_t count = uint32_t((x1 - x0) * (y1 - y0));
                const uint32_t pixel = narrow((sum + count / 2) / count);
                std::fill(line.begin() + x0, line.begin() + x1, pixel);
            }
            for (int y = y0; y < y1; ++y)
                std::memcpy(scanLine(result, y), line.data(), size_t(w) * sizeof(uint32_t));
        }
    });
    return result;
}

} // namespace zorv::imageFilters
