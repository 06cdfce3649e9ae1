#include "editor/effects/BoxPass.h"

#include "editor/effects/PixelLanes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZORV_HAVE_AVX2_PATH 1
#endif

namespace zorv::imageFilters
{

namespace
{

const uint32_t *clampedRow(const uint32_t *in, qsizetype stride, int rows, int y)
{
    return in + qsizetype(std::clamp(y, 0, rows - 1)) * stride;
}

void boxPassPortable(const uint32_t *in, qsizetype inStride, uint32_t *out, qsizetype outStride,
                     int columns, int rows, int width)
{
    const int r = width / 2;
    // Sums reach 255 × width; with 24 fractional bits the product stays within
    // 32 bits for widths up to 16383.
    constexpr int shift = 24;
    const uint32_t multiplier = uint32_t(std::lround(double(1u << shift) / width));
    std::vector<PixelLanes> sums(size_t(columns), PixelLanes{0, 0, 0, 0});
    for (int y = -r; y <= r; ++y) {
        const uint32_t *src = clampedRow(in, inStride, rows, y);
        for (int x = 0; x < columns; ++x)
            sums[size_t(x)] += widen(src[x]);
    }
    for (int y = 0; y < rows; ++y) {
        uint32_t *dst = out + qsizetype(y) * outStride;
        const uint32_t *entering = clampedRow(in, inStride, rows, y + r + 1);
        const uint32_t *leaving = clampedRow(in, inStride, rows, y - r);
        for (int x = 0; x < columns; ++x) {
            PixelLanes &sum = sums[size_t(x)];
            dst[x] = narrow((sum * multiplier + (1u << (shift - 1))) >> shift);
            sum += widen(entering[x]) - widen(leaving[x]);
        }
    }
}

#ifdef ZORV_HAVE_AVX2_PATH
// Widths up to this keep sums (255 × width) within a signed 16-bit lane, and a
// rounded multiply-high then divides exactly enough that flat areas stay flat.
constexpr int maxNarrowWidth = 127;

__attribute__((target("avx2"))) inline __m256i load(const uint32_t *fourPixels)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(fourPixels)));
}

// Four pixels (sixteen channels) per step in 16-bit lanes.
__attribute__((target("avx2"))) void boxPassAvx2(const uint32_t *in, qsizetype inStride,
                                                 uint32_t *out, qsizetype outStride, int columns,
                                                 int rows, int width)
{
    const int r = width / 2;
    const int quads = columns / 4;
    // mulhrs computes (s × m + 2^14) >> 15: s / width rounded.
    const __m256i reciprocal = _mm256_set1_epi16(short(std::lround(32768.0 / width)));
    std::vector<int16_t> sumLanes(size_t(quads) * 16, 0);
    auto *sums = reinterpret_cast<__m256i *>(sumLanes.data());
    for (int y = -r; y <= r; ++y) {
        const uint32_t *src = clampedRow(in, inStride, rows, y);
        for (int q = 0; q < quads; ++q) {
            const __m256i sum = _mm256_loadu_si256(sums + q);
            _mm256_storeu_si256(sums + q, _mm256_add_epi16(sum, load(src + 4 * q)));
        }
    }
    for (int y = 0; y < rows; ++y) {
        uint32_t *dst = out + qsizetype(y) * outStride;
        const uint32_t *entering = clampedRow(in, inStride, rows, y + r + 1);
        const uint32_t *leaving = clampedRow(in, inStride, rows, y - r);
        for (int q = 0; q < quads; ++q) {
            const __m256i sum = _mm256_loadu_si256(sums + q);
            const __m256i mean = _mm256_mulhrs_epi16(sum, reciprocal);
            const __m128i bytes =
                _mm_packus_epi16(_mm256_castsi256_si128(mean), _mm256_extracti128_si256(mean, 1));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(dst + 4 * q), bytes);
            _mm256_storeu_si256(sums + q,
                                _mm256_sub_epi16(_mm256_add_epi16(sum, load(entering + 4 * q)),
                                                 load(leaving + 4 * q)));
        }
    }
    const int done = quads * 4;
    if (done < columns)
        boxPassPortable(in + done, inStride, out + done, outStride, columns - done, rows, width);
}

bool hasAvx2()
{
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
}
#endif

} // namespace

void boxPass(const uint32_t *in, qsizetype inStride, uint32_t *out, qsizetype outStride,
             int columns, int rows, int width)
{
    if (columns <= 0 || rows <= 0)
        return;
    if (width <= 1) {
        for (int y = 0; y < rows; ++y)
            std::memcpy(out + qsizetype(y) * outStride, in + qsizetype(y) * inStride,
                        size_t(columns) * sizeof(uint32_t));
        return;
    }
#ifdef ZORV_HAVE_AVX2_PATH
    if (width <= maxNarrowWidth && hasAvx2()) {
        boxPassAvx2(in, inStride, out, outStride, columns, rows, width);
        return;
    }
#endif
    boxPassPortable(in, inStride, out, outStride, columns, rows, width);
}

} // namespace zorv::imageFilters
