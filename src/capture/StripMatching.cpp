#include "capture/StripMatching.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorv::stripMatching
{

namespace
{

// Offsets closer than this to the lowest strip position are not tried, so that
// every match reveals at least this many new rows.
constexpr int bottomMargin = 8;
constexpr int coarseStep = 2;
constexpr int refinementRadius = 2;
// A mean grey difference at or above this is no match.
constexpr double matchThreshold = 14.0;

// Rec. 601 luma in 8-bit fixed point; the weights sum to 256.
inline uint8_t luma(uint32_t pixel)
{
    const uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
    return uint8_t((77 * r + 150 * g + 29 * b + 128) >> 8);
}

} // namespace

std::optional<SampledGrey> sampledGrey(const QImage &frame)
{
    if (frame.isNull() || frame.width() <= 0 || frame.height() <= 0)
        return std::nullopt;
    if (frame.format() != QImage::Format_ARGB32_Premultiplied &&
        frame.format() != QImage::Format_RGB32)
        return std::nullopt;
    SampledGrey grey;
    grey.columns = (frame.width() + columnStep - 1) / columnStep;
    grey.rows = frame.height();
    grey.samples.resize(size_t(grey.columns) * size_t(grey.rows));
    for (int y = 0; y < grey.rows; ++y) {
        const auto *line = reinterpret_cast<const uint32_t *>(frame.constScanLine(y));
        uint8_t *out = grey.samples.data() + size_t(y) * size_t(grey.columns);
        for (int c = 0; c < grey.columns; ++c)
            out[c] = luma(line[c * columnStep]);
    }
    return grey;
}

uint64_t sumOfAbsoluteDifferences(const uint8_t *a, const uint8_t *b, int n)
{
    uint64_t sum = 0;
    int i = 0;
#if defined(__SSE2__)
    // Each psadbw leaves two 16-bit partial sums in 64-bit lanes.
    __m128i acc = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i *>(a + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i *>(b + i));
        acc = _mm_add_epi64(acc, _mm_sad_epu8(x, y));
    }
    sum = uint64_t(_mm_cvtsi128_si64(acc)) +
          uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(acc, acc)));
#endif
    for (; i < n; ++i)
        sum += uint64_t(std::abs(int(a[i]) - int(b[i])));
    return sum;
}

std::optional<double> difference(const uint8_t *strip, const uint8_t *frameRows, int columns,
                                 int stripRows)
{
    if (columns <= 0 || stripRows <= 0)
        return std::nullopt;
    uint64_t sum = 0;
    uint64_t count = 0;
    const size_t stride = size_t(columns) * rowStep;
    for (int r = 0; r < stripRows; r += rowStep) {
        sum += sumOfAbsoluteDifferences(strip, frameRows, columns);
        count += uint64_t(columns);
        strip += stride;
        frameRows += stride;
    }
    return double(sum) / double(count);
}

int stripHeight(int height)
{
    return height >= 96 ? height / 4 : 24;
}

std::optional<int> findOverlap(const SampledGrey &reference, int stripRows,
                               const SampledGrey &frame)
{
    if (reference.columns != frame.columns || reference.rows != frame.rows)
        return std::nullopt;
    const int rows = frame.rows;
    const int range = rows - stripRows;
    if (range <= bottomMargin)
        return std::nullopt;
    const int last = range - bottomMargin;
    const uint8_t *strip = reference.row(rows - stripRows);

    double best = std::numeric_limits<double>::max();
    int bestOffset = 0;
    auto tryOffset = [&](int y) {
        const std::optional<double> d = difference(strip, frame.row(y), frame.columns, stripRows);
        // Only a strictly smaller difference wins, so ties keep the smaller offset.
        if (d && *d < best) {
            best = *d;
            bestOffset = y;
        }
    };
    for (int y = 0; y <= last; y += coarseStep)
        tryOffset(y);
    const int from = std::max(bestOffset, refinementRadius) - refinementRadius;
    const int to = std::min(bestOffset + refinementRadius, last);
    for (int y = from; y <= to; ++y)
        tryOffset(y);
    if (best < matchThreshold)
        return bestOffset;
    return std::nullopt;
}

bool barelyMoved(const SampledGrey &reference, int stripRows, const SampledGrey &frame)
{
    if (reference.columns != frame.columns || reference.rows != frame.rows)
        return false;
    const int range = frame.rows - stripRows;
    if (range < 0)
        return false; // the strip is taller than the frame: nothing to compare
    const uint8_t *strip = reference.row(range);
    for (int y = std::max(range - bottomMargin + 1, 0); y <= range; ++y) {
        const std::optional<double> d = difference(strip, frame.row(y), frame.columns, stripRows);
        if (d && *d < matchThreshold)
            return true;
    }
    return false;
}

} // namespace zorv::stripMatching
