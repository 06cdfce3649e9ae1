#include "editor/ImageFilters.h"

#include <QColorSpace>
#include <QList>
#include <QtConcurrent/QtConcurrentMap>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace zorv::imageFilters
{

namespace
{

// Four 8-bit channels of one premultiplied pixel widened to 32-bit lanes, so
// running sums of all channels advance together in one vector register.
using Lanes = uint32_t __attribute__((vector_size(16)));
using Bytes = uint8_t __attribute__((vector_size(4)));

inline Lanes widen(uint32_t pixel)
{
    Bytes b;
    std::memcpy(&b, &pixel, sizeof b);
    return __builtin_convertvector(b, Lanes);
}

inline uint32_t narrow(Lanes lanes)
{
    const Bytes b = __builtin_convertvector(lanes, Bytes);
    uint32_t pixel;
    std::memcpy(&pixel, &b, sizeof pixel);
    return pixel;
}

// Division of a box sum by the box width as a multiply and shift. Sums are at
// most 255 × width, so with 24 fractional bits the product stays in 32 bits
// for any width the blur produces.
struct Divider {
    uint32_t multiplier;
    static constexpr int shift = 24;
    explicit Divider(int width)
        : multiplier(uint32_t(std::lround(double(1u << shift) / double(width))))
    {
    }
    Lanes operator()(Lanes sum) const { return (sum * multiplier + (1u << (shift - 1))) >> shift; }
};

// The widest box allowed; far beyond any useful radius, it keeps the sums
// within 32 bits.
constexpr int maxBoxWidth = 16383;

// One box pass along a row of n pixels; `padded` is scratch of n + width + 1 pixels.
void boxRow(const uint32_t *in, uint32_t *out, int n, int width, uint32_t *padded)
{
    const int r = width / 2;
    std::fill(padded, padded + r + 1, in[0]);
    std::memcpy(padded + r + 1, in, size_t(n) * sizeof(uint32_t));
    std::fill(padded + r + 1 + n, padded + n + 2 * r + 2, in[n - 1]);
    // padded[i + r + 1] = in[i]; the box of pixel x spans padded[x + 1 .. x + 2r + 1].
    Lanes sum = {0, 0, 0, 0};
    for (int i = 1; i <= width; ++i)
        sum += widen(padded[i]);
    const Divider divide(width);
    for (int x = 0; x < n; ++x) {
        out[x] = narrow(divide(sum));
        sum += widen(padded[x + width + 1]) - widen(padded[x + 1]);
    }
}

// One box pass down `columns` adjacent columns. Rows are addressed through
// strides so the same code reads the image and the compact strip buffers.
void boxColumns(const uint32_t *in, qsizetype inStride, uint32_t *out, qsizetype outStride,
                int columns, int rows, int width, std::vector<Lanes> &sums)
{
    const int r = width / 2;
    auto row = [&](int y) { return in + qsizetype(std::clamp(y, 0, rows - 1)) * inStride; };
    sums.assign(size_t(columns), Lanes{0, 0, 0, 0});
    for (int y = -r; y <= r; ++y) {
        const uint32_t *src = row(y);
        for (int x = 0; x < columns; ++x)
            sums[size_t(x)] += widen(src[x]);
    }
    const Divider divide(width);
    for (int y = 0; y < rows; ++y) {
        uint32_t *dst = out + qsizetype(y) * outStride;
        const uint32_t *entering = row(y + r + 1);
        const uint32_t *leaving = row(y - r);
        for (int x = 0; x < columns; ++x) {
            Lanes &sum = sums[size_t(x)];
            dst[x] = narrow(divide(sum));
            sum += widen(entering[x]) - widen(leaving[x]);
        }
    }
}

struct Range {
    int begin;
    int end;
};

// Splits [0, count) into pieces of about `grain` for the pool.
QList<Range> split(int count, int grain)
{
    QList<Range> ranges;
    for (int b = 0; b < count; b += grain)
        ranges.append({b, std::min(count, b + grain)});
    return ranges;
}

template <typename Work> void forEachRange(const QList<Range> &ranges, Threads threads, Work work)
{
    if (threads == Threads::single || ranges.size() < 2) {
        for (const Range &range : ranges)
            work(range);
        return;
    }
    QList<Range> pieces = ranges;
    QtConcurrent::blockingMap(pieces, [&work](Range &range) { work(range); });
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
    const int w = source.width();
    const int h = source.height();
    QImage result(w, h, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    result.setColorSpace(source.colorSpace());
    const std::array<int, 3> widths = boxWidthsForGaussian(std::max(sigma, 0.0));

    // Rows: all three passes on one row while it sits in the cache.
    forEachRange(split(h, 64), threads, [&](Range range) {
        const int maxWidth = *std::max_element(widths.begin(), widths.end());
        const auto width = static_cast<size_t>(w);
        std::vector<uint32_t> padded(width + size_t(maxWidth) + 1), a(width), b(width);
        for (int y = range.begin; y < range.end; ++y) {
            boxRow(scanLine(source, y), a.data(), w, widths[0], padded.data());
            boxRow(a.data(), b.data(), w, widths[1], padded.data());
            boxRow(b.data(), scanLine(result, y), w, widths[2], padded.data());
        }
    });

    // Columns: strips narrow enough that two compact copies stay in the cache.
    constexpr int stripWidth = 32;
    const qsizetype stride = result.bytesPerLine() / qsizetype(sizeof(uint32_t));
    forEachRange(split(w, stripWidth), threads, [&](Range range) {
        const int columns = range.end - range.begin;
        std::vector<uint32_t> a(static_cast<size_t>(columns) * static_cast<size_t>(h));
        std::vector<uint32_t> b(a.size());
        std::vector<Lanes> sums;
        uint32_t *origin = scanLine(result, 0) + range.begin;
        boxColumns(origin, stride, a.data(), columns, columns, h, widths[0], sums);
        boxColumns(a.data(), columns, b.data(), columns, columns, h, widths[1], sums);
        boxColumns(b.data(), columns, origin, stride, columns, h, widths[2], sums);
    });
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
    QImage result(w, h, QImage::Format_ARGB32_Premultiplied);
    if (result.isNull())
        return {};
    result.setColorSpace(source.colorSpace());
    const int cellRows = (h + cell - 1) / cell;

    forEachRange(split(cellRows, 4), threads, [&](Range range) {
        std::vector<Lanes> columnSums(static_cast<size_t>(w));
        std::vector<uint32_t> line(static_cast<size_t>(w));
        for (int cy = range.begin; cy < range.end; ++cy) {
            const int y0 = cy * cell;
            const int y1 = std::min(h, y0 + cell);
            std::fill(columnSums.begin(), columnSums.end(), Lanes{0, 0, 0, 0});
            for (int y = y0; y < y1; ++y) {
                const uint32_t *src = scanLine(source, y);
                for (int x = 0; x < w; ++x)
                    columnSums[size_t(x)] += widen(src[x]);
            }
            for (int x0 = 0; x0 < w; x0 += cell) {
                const int x1 = std::min(w, x0 + cell);
                Lanes sum = {0, 0, 0, 0};
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
