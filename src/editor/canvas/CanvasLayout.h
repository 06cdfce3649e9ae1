#pragma once

#include "editor/Backdrop.h"

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

namespace zorv
{

// Where the capture sits in the canvas: the image with its backdrop scaled to
// fit the view inside a fixed margin, small images enlarged. View coordinates
// are widget points, image coordinates image pixels; both have y down.
struct CanvasLayout {
    static constexpr double inset = 26;

    // Backdrop and image; empty when the view is too small to show anything.
    QRectF outer;
    QRectF image;
    // View points per image pixel.
    double imageScale = 1;
    QSize imagePixels;

    static CanvasLayout compute(QSizeF viewSize, QSize imagePixels, const Backdrop &backdrop);
    // Backdrop padding in image pixels, as the flattened image has it.
    static int padding(QSize imagePixels, const Backdrop &backdrop);

    // Clamped to the image, so a pointer far outside gives an edge point.
    QPointF toImage(QPointF view) const;
    // Unclamped, for hit tests of chrome that reaches past the image.
    QPointF toImageUnclamped(QPointF view) const;
    QPointF toView(QPointF image) const;
    QRectF toView(const QRectF &image) const;
    bool isEmpty() const { return image.isEmpty(); }
};

} // namespace zorv
