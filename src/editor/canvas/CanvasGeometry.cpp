#include "editor/canvas/CanvasGeometry.h"

#include "editor/AnnotationRenderer.h"

#include <algorithm>
#include <cmath>

namespace zorv::canvasGeometry
{

namespace
{
constexpr double minimumSide = 4;

bool isStroke(AnnotationTool tool)
{
    return tool == AnnotationTool::freehand || tool == AnnotationTool::highlighter;
}

QRectF textBox(const Annotation &a, QSizeF imageSize)
{
    return QRectF(a.start, AnnotationRenderer::textBoxSize(a, imageSize));
}
} // namespace

QList<HandlePoint> handlePoints(const Annotation &a)
{
    switch (a.tool) {
    case AnnotationTool::arrow:
    case AnnotationTool::line:
        return {{Handle::start, a.start}, {Handle::end, a.end}};
    case AnnotationTool::text:
    case AnnotationTool::number:
    case AnnotationTool::select:
    case AnnotationTool::crop:
        return {};
    default:
        break;
    }
    const QRectF r = a.bounds();
    const double midX = r.center().x(), midY = r.center().y();
    return {{Handle::topLeft, {r.left(), r.top()}},         {Handle::top, {midX, r.top()}},
            {Handle::topRight, {r.right(), r.top()}},       {Handle::right, {r.right(), midY}},
            {Handle::bottomRight, {r.right(), r.bottom()}}, {Handle::bottom, {midX, r.bottom()}},
            {Handle::bottomLeft, {r.left(), r.bottom()}},   {Handle::left, {r.left(), midY}}};
}

bool isCornerHandle(Handle h)
{
    return h == Handle::topLeft || h == Handle::topRight || h == Handle::bottomRight ||
           h == Handle::bottomLeft;
}

QRectF resizedRect(const QRectF &r, Handle handle, QPointF p)
{
    double minX = r.left(), maxX = r.right(), minY = r.top(), maxY = r.bottom();
    switch (handle) {
    case Handle::topLeft:
        minX = p.x();
        minY = p.y();
        break;
    case Handle::top:
        minY = p.y();
        break;
    case Handle::topRight:
        maxX = p.x();
        minY = p.y();
        break;
    case Handle::right:
        maxX = p.x();
        break;
    case Handle::bottomRight:
        maxX = p.x();
        maxY = p.y();
        break;
    case Handle::bottom:
        maxY = p.y();
        break;
    case Handle::bottomLeft:
        minX = p.x();
        maxY = p.y();
        break;
    case Handle::left:
        minX = p.x();
        break;
    case Handle::start:
    case Handle::end:
        break;
    }
    if (std::abs(maxY - minY) < minimumSide)
        maxY = minY + minimumSide;
    if (std::abs(maxX - minX) < minimumSide)
        maxX = minX + minimumSide;
    return QRectF(std::min(minX, maxX), std::min(minY, maxY), std::abs(maxX - minX),
                  std::abs(maxY - minY));
}

Annotation resized(const Annotation &annotation, Handle handle, QPointF p)
{
    Annotation a = annotation;
    switch (a.tool) {
    case AnnotationTool::arrow:
    case AnnotationTool::line:
        if (handle == Handle::start)
            a.start = p;
        else if (handle == Handle::end)
            a.end = p;
        return a;
    case AnnotationTool::text:
    case AnnotationTool::number:
    case AnnotationTool::select:
    case AnnotationTool::crop:
        return a;
    case AnnotationTool::freehand:
    case AnnotationTool::highlighter: {
        const QRectF old = a.bounds();
        if (old.width() <= 1 || old.height() <= 1)
            return a;
        const QRectF r = resizedRect(old, handle, p);
        for (QPointF &q : a.points)
            q = QPointF(r.left() + (q.x() - old.left()) * r.width() / old.width(),
                        r.top() + (q.y() - old.top()) * r.height() / old.height());
        return a;
    }
    default: {
        const QRectF r = resizedRect(a.bounds(), handle, p);
        a.start = r.topLeft();
        a.end = r.bottomRight();
        return a;
    }
    }
}

bool keepsDraft(const Annotation &draft)
{
    if (isStroke(draft.tool))
        return draft.points.size() >= 2;
    const QRectF r = draft.bounds();
    if (r.width() < 3 && r.height() < 3)
        return false;
    if (draft.tool == AnnotationTool::arrow || draft.tool == AnnotationTool::line) {
        const QPointF d = draft.end - draft.start;
        return std::hypot(d.x(), d.y()) > 4;
    }
    return true;
}

QRectF paintBounds(const Annotation &a, QSizeF imageSize)
{
    const double w = std::max(a.lineWidth, 1.0);
    switch (a.tool) {
    case AnnotationTool::spotlight:
        return QRectF(QPointF(0, 0), imageSize).united(a.bounds());
    case AnnotationTool::text:
        return textBox(a, imageSize);
    case AnnotationTool::number: {
        const double r = AnnotationRenderer::numberBadgeDiameter(a.fontSize) / 2 + 1;
        return QRectF(a.start - QPointF(r, r), a.start + QPointF(r, r));
    }
    case AnnotationTool::arrow: {
        // The head's wings reach sideways from the tip; the miter a little further.
        const double m = AnnotationRenderer::arrowHead(a.start, a.end, w).length + 2 * w;
        return a.bounds().adjusted(-m, -m, m, m);
    }
    case AnnotationTool::highlighter: {
        const double m = 1.6 * w + 1;
        return a.bounds().adjusted(-m, -m, m, m);
    }
    case AnnotationTool::blur:
    case AnnotationTool::pixelate:
        return a.bounds().adjusted(-1, -1, 1, 1);
    default: {
        const double m = w / 2 + 1;
        return a.bounds().adjusted(-m, -m, m, m);
    }
    }
}

bool hits(const Annotation &a, QPointF p, double slack, QSizeF imageSize)
{
    if (a.tool == AnnotationTool::text && !a.text.isEmpty()) {
        const QRectF box = textBox(a, imageSize);
        if (geometry::containsHalfOpen(box.adjusted(-slack, -slack, slack, slack), p))
            return true;
    }
    return a.hitTest(p, slack);
}

} // namespace zorv::canvasGeometry
