#pragma once

#include <QImage>
#include <array>

namespace zorv::imageFilters
{

// Whether a filter may spread its work over the global thread pool. The
// calling thread always takes part, so a busy pool never stalls it.
enum class Threads { single, pool };

// Box widths (odd) of three successive box blurs whose combined variance comes
// closest to sigma².
std::array<int, 3> boxWidthsForGaussian(double sigma);

// Gaussian blur with standard deviation `sigma`, approximated by three box
// blurs per axis with running sums, so the cost does not grow with sigma.
// Pixels beyond the edges repeat the edge pixels. The result is
// ARGB32_Premultiplied and the size of the input; null for a null input.
QImage gaussianBlur(const QImage &image, double sigma, Threads threads = Threads::pool);

// Square cells of `cell` pixels, aligned to the top-left corner, each filled
// with the mean of the image's pixels under it (cells cut by the right or
// bottom edge average what lies inside). ARGB32_Premultiplied.
QImage pixelate(const QImage &image, int cell, Threads threads = Threads::pool);

} // namespace zorv::imageFilters
