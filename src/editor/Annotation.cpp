#include "editor/Annotation.h"

#include <algorithm>
#include <cmath>

namespace zorv
{

namespace geometry
{

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double lengthSquared = d.x() * d.x() + d.y() * d.y();
    QPointF foot = a;
    if (lengthSquared > 0) {
        const QPointF ap = p - a;
        const double t = std::clamp((ap.x() * d.x() + ap.y() * d.y()) / lengthSquared, 0.0, 1.0);
        foot = a + t * d;
    }
    return std::hypot(p.x() - foot.x(), p.y() - foot.y());
}

bool containsHalfOpen(const QRectF &rect, QPointF p)
{
    const QRectF r = rect.normalized();
    return p.x() >= r.left() && p.x() < r.right() && p.y() >= r.top() && p.y() < r.bottom();
}

namespace
{
// Interval [a0, a1] against the half-open [b0, b1); a point interval counts
// when it lies inside.
bool overlapsAxis(double a0, double a1, double b0, double b1)
{
    if (a0 == a1)
        return a0 >= b0 && a0 < b1;
    return a0 < b1 && a1 > b0;
}
} // namespace

bool overlaps(const QRectF &r, const QRectF &area)
{
    const QRectF a = r.normalized();
    const QRectF b = area.normalized();
    return overlapsAxis(a.left(), a.right(), b.left(), b.right()) &&
           overlapsAxis(a.top(), a.bottom(), b.top(), b.bottom());
}

} // namespace geometry

namespace
{
bool isStroke(AnnotationTool tool)
{
    return tool == AnnotationTool::freehand || tool == AnnotationTool::highlighter;
}
} // namespace

QRectF Annotation::bounds() const
{
    if (isStroke(tool) && !points.isEmpty()) {
        double minX = points.first().x(), maxX = minX;
        double minY = points.first().y(), maxY = minY;
        for (const QPointF &p : points) {
            minX = std::min(minX, p.x());
            maxX = std::max(maxX, p.x());
            minY = std::min(minY, p.y());
            maxY = std::max(maxY, p.y());
        }
        const double half = lineWidth / 2;
        return QRectF(QPointF(minX - half, minY - half), QPointF(maxX + half, maxY + half));
    }
    return QRectF(std::min(start.x(), end.x()), std::min(start.y(), end.y()),
                  std::abs(end.x() - start.x()), std::abs(end.y() - start.y()));
}

bool Annotation::hitTest(QPointF p, double slack) const
{
    const double margin = std::max(slack, lineWidth);
    switch (tool) {
    case AnnotationTool::arrow:
    case AnnotationTool::line:
        return geometry::distanceToSegment(p, start, end) <= std::max(slack, 1.5 * lineWidth);
    case AnnotationTool::freehand:
    case AnnotationTool::highlighter:
        for (qsizetype i = 1; i < points.size(); ++i) {
            if (geometry::distanceToSegment(p, points[i - 1], points[i]) <= margin)
                return true;
        }
        return false;
    case AnnotationTool::number:
        return std::hypot(p.x() - start.x(), p.y() - start.y()) <=
               slack + std::max(0.8 * fontSize, 14.0);
    case AnnotationTool::select:
    case AnnotationTool::rectangle:
    case AnnotationTool::ellipse:
    case AnnotationTool::text:
    case AnnotationTool::blur:
    case AnnotationTool::pixelate:
    case AnnotationTool::spotlight:
    case AnnotationTool::crop:
        break;
    }
    return geometry::containsHalfOpen(bounds().adjusted(-margin, -margin, margin, margin), p);
}

void Annotation::translate(QPointF delta)
{
    start += delta;
    end += delta;
    for (QPointF &p : points)
        p += delta;
}

} // namespace zorv
