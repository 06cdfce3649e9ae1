#include "editor/canvas/CanvasLayout.h"

#include <algorithm>
#include <cmath>

namespace zorv
{

int CanvasLayout::padding(QSize imagePixels, const Backdrop &backdrop)
{
    if (!backdrop.isOn)
        return 0;
    const double longSide = std::max({imagePixels.width(), imagePixels.height(), 1});
    // Same rounding as the flattened image, so the preview frames it as saved.
    return int(std::trunc(longSide * std::max(backdrop.padding, 0.0)));
}

CanvasLayout CanvasLayout::compute(QSizeF viewSize, QSize imagePixels, const Backdrop &backdrop)
{
    CanvasLayout layout;
    layout.imagePixels = imagePixels;
    const QRectF area = QRectF(QPointF(0, 0), viewSize).adjusted(inset, inset, -inset, -inset);
    const double w = std::max(imagePixels.width(), 1);
    const double h = std::max(imagePixels.height(), 1);
    if (area.width() > 2 && area.height() > 2) {
        const double pad = padding(imagePixels, backdrop);
        const double outerW = w + 2 * pad;
        const double outerH = h + 2 * pad;
        const double s = std::min(area.width() / outerW, area.height() / outerH);
        const QSizeF size(outerW * s, outerH * s);
        layout.outer = QRectF(area.center() - QPointF(size.width() / 2, size.height() / 2), size);
        layout.image = layout.outer.adjusted(pad * s, pad * s, -pad * s, -pad * s);
    }
    layout.imageScale = imagePixels.width() > 0 ? layout.image.width() / imagePixels.width() : 1.0;
    return layout;
}

QPointF CanvasLayout::toImageUnclamped(QPointF view) const
{
    const double s = std::max(imageScale, 0.0001);
    return QPointF((view.x() - image.left()) / s, (view.y() - image.top()) / s);
}

QPointF CanvasLayout::toImage(QPointF view) const
{
    const QPointF p = toImageUnclamped(view);
    return QPointF(std::clamp(p.x(), 0.0, double(imagePixels.width())),
                   std::clamp(p.y(), 0.0, double(imagePixels.height())));
}

QPointF CanvasLayout::toView(QPointF p) const
{
    return image.topLeft() + p * imageScale;
}

QRectF CanvasLayout::toView(const QRectF &r) const
{
    return QRectF(toView(r.topLeft()), r.size() * imageScale);
}

} // namespace zorv
