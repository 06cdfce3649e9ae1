#pragma once

#include <QtGlobal>
#include <cstdint>

namespace zorv::imageFilters
{

// One box blur of odd `width` down the columns of a block of premultiplied
// 32-bit pixels: every output pixel is the mean of the `width` pixels centred
// on it in its column, rows beyond the first and last repeating them. Rows
// hold `columns` pixels and lie `inStride` / `outStride` pixels apart. The
// cost per pixel does not depend on the width (running sums).
void boxPass(const uint32_t *in, qsizetype inStride, uint32_t *out, qsizetype outStride,
             int columns, int rows, int width);

} // namespace zorv::imageFilters
