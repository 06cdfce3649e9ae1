#pragma once

#include "editor/AnnotationTool.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QUuid>

namespace zorv
{

// One mark on a capture. Geometry is in image pixels, origin top-left, y down.
// Which fields matter depends on the tool; creators fill every field.
struct Annotation {
    QUuid id;
    AnnotationTool tool = AnnotationTool::arrow;
    // Area corner, tail of an arrow or line, top-left of a text box, centre of a badge.
    QPointF start;
    // Opposite area corner or arrow head; equals start for text and number.
    QPointF end;
    // Stroke of freehand and highlighter; empty otherwise.
    QList<QPointF> points;
    QString colorHex;
    double lineWidth = 0;
    QString text;
    double fontSize = 0;
    qint64 number = 0;
    double blurRadius = 0;
    double pixelScale = 0;

    bool operator==(const Annotation &other) const = default;

    // The area the annotation covers. Text and number give a zero-size rectangle
    // at start; strokes span their points grown by half the line width.
    QRectF bounds() const;
    // Whether a click at p selects this annotation; slack is the caller's tolerance
    // in image pixels.
    bool hitTest(QPointF p, double slack) const;

    // Moves every point of the annotation.
    void translate(QPointF delta);
};

namespace geometry
{
// Distance from p to the segment a–b (to a when the segment has no length).
double distanceToSegment(QPointF p, QPointF a, QPointF b);
// Containment that counts the minimum edges in and the maximum edges out.
bool containsHalfOpen(const QRectF &rect, QPointF p);
// Whether r (possibly of zero width or height) overlaps the half-open area
// `area`: a zero-size rectangle strictly inside counts as overlapping.
bool overlaps(const QRectF &r, const QRectF &area);
} // namespace geometry

} // namespace zorv
