#pragma once

#include <QRectF>
#include <cmath>

namespace zorv
{

// Whether a coordinate, or every edge of a rectangle, lies on a whole pixel (within rounding
// noise): such regions are copied, not resampled.
inline bool isWhole(double v)
{
    return std::abs(v - std::round(v)) < 1e-6;
}

inline bool isWhole(const QRectF &r)
{
    return isWhole(r.x()) && isWhole(r.y()) && isWhole(r.width()) && isWhole(r.height());
}

} // namespace zorv
