#pragma once

#include "editor/Annotation.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

namespace zorv
{

// The grips of a selected annotation, in the order they are hit-tested.
enum class Handle {
    topLeft,
    top,
    topRight,
    right,
    bottomRight,
    bottom,
    bottomLeft,
    left,
    start,
    end
};

// Geometry of editing annotations by hand, in image pixels.
namespace canvasGeometry
{

struct HandlePoint {
    Handle handle;
    QPointF point;
};

// Arrows and lines have their two ends; text and number badges none (they
// are not resized, and grips on their anchor would stop them being moved);
// every other tool the corners and edge midpoints of its bounds.
QList<HandlePoint> handlePoints(const Annotation &annotation);
bool isCornerHandle(Handle handle);

// r with the edges that the handle moves set to p. Dragging past the opposite
// edge flips the rectangle; no side gets shorter than 4 pixels.
QRectF resizedRect(const QRectF &r, Handle handle, QPointF p);
// The annotation with that handle dragged to p.
Annotation resized(const Annotation &annotation, Handle handle, QPointF p);

// Whether a draft is worth keeping when the drag ends (tiny drags are clicks).
bool keepsDraft(const Annotation &draft);

// The area whose look depends on the annotation: its bounds grown by what
// strokes, arrow heads, badges and text add; a spotlight darkens everything.
QRectF paintBounds(const Annotation &annotation, QSizeF imageSize);
// What a click selects: a text by its whole box, others as their hit test says.
bool hits(const Annotation &annotation, QPointF p, double slack, QSizeF imageSize);

} // namespace canvasGeometry
} // namespace zorv
