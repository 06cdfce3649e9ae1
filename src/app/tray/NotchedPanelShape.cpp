#include "app/tray/NotchedPanelShape.h"

#include <QTransform>
#include <algorithm>

namespace zorv
{

QPainterPath NotchedPanelShape::path(const QRectF &rect) const
{
    const qreal r = cornerRadius;
    const qreal h = notchHalfWidth;
    const qreal minX = rect.left(), maxX = rect.right();
    const qreal minY = rect.top(), maxY = rect.bottom();
    const qreal top = minY + notchHeight;
    const qreal apex = minY + 1;
    // Keep the notch clear of the rounded corners.
    const qreal cx = std::min(std::max(rect.left() + notchX, minX + r + h), maxX - r - h);
    const qreal left = cx - h, right = cx + h;

    QPainterPath p;
    p.moveTo(minX, top + r);
    p.arcTo(QRectF(minX, top, 2 * r, 2 * r), 180, -90);
    p.lineTo(left, top);
    p.cubicTo(left + 20, top, cx - 14, apex, cx, apex);
    p.cubicTo(cx + 14, apex, right - 20, top, right, top);
    p.lineTo(maxX - r, top);
    p.arcTo(QRectF(maxX - 2 * r, top, 2 * r, 2 * r), 90, -90);
    p.lineTo(maxX, maxY - r);
    p.arcTo(QRectF(maxX - 2 * r, maxY - 2 * r, 2 * r, 2 * r), 0, -90);
    p.lineTo(minX + r, maxY);
    p.arcTo(QRectF(minX, maxY - 2 * r, 2 * r, 2 * r), 270, -90);
    p.closeSubpath();
    if (!notchOnBottom)
        return p;
    // Mirror about the rectangle's horizontal centre line.
    return QTransform(1, 0, 0, -1, 0, minY + maxY).map(p);
}

} // namespace zorv
