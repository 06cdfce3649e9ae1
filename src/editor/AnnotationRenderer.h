#pragma once

#include "editor/Annotation.h"
#include "editor/effects/ImageEffects.h"

#include <QColor>
#include <QFont>
#include <QImage>
#include <QList>
#include <QPainterPath>
#include <QSizeF>
#include <QTextOption>

class QPainter;
class QPaintDevice;

namespace zorv
{

// Draws annotations in image coordinates (image pixels, origin top-left, y
// down) on any painter; the caller sets up the transform. The live canvas and
// the exported image both use it, so what is seen is what is saved.
namespace AnnotationRenderer
{

struct TextAttributes {
    // The system font, semibold. Its point size is the annotation's fontSize:
    // text is laid out for a 72-dpi reference device, where one point is one
    // image pixel, whatever device it is finally drawn on.
    QFont font;
    QColor color;
    // Word wrapping (breaking inside a word only when it fills a line), left aligned.
    QTextOption option;

    // The same font sized for a widget on `device` whose painter scales image
    // pixels by `scale` (for an in-place text editor).
    QFont fontFor(const QPaintDevice &device, double scale) const;
};

TextAttributes textAttributes(const Annotation &annotation);

// Width at which a text annotation wraps: it may run to 24 pixels short of the
// image's right edge, but never gets narrower than 40.
double textWrapWidth(const Annotation &annotation, QSizeF imageSize);
// The box a text annotation occupies, top-left at its start: the measured text
// plus 4 pixels of width (at least 24), at least one font size tall.
QSizeF textBoxSize(const Annotation &annotation, QSizeF imageSize);

// A Catmull-Rom curve through the points as cubic Bézier segments.
QPainterPath smoothedPath(const QList<QPointF> &points);

// The two ends of an arrow's open head.
struct ArrowHead {
    QPointF wing1;
    QPointF wing2;
    double length;
};
ArrowHead arrowHead(QPointF start, QPointF end, double strokeWidth);

double rectangleCornerRadius(const QRectF &bounds);
double effectCornerRadius(const QRectF &bounds);
double spotlightCornerRadius(const QRectF &bounds);
double numberBadgeDiameter(double fontSize);

// Draws the annotations in list order over an already drawn base image. Blur
// and pixelate areas show effects computed from `base`, never from other
// annotations.
void render(QPainter &painter, const QList<Annotation> &annotations, const QImage &base,
            QSizeF imageSize, ImageEffects &effects = ImageEffects::shared());

} // namespace AnnotationRenderer
} // namespace zorv
