#pragma once

#include "capture/overlay/SelectionOverlayTypes.h"
#include "common/CaptureTypes.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <optional>

namespace zorv
{

// Placement rules of the selection overlay. Everything is in view coordinates:
// global logical coordinates shifted so that the covered area's top-left corner
// is (0, 0), y growing downwards. `bounds` is the whole view.
namespace SelectionOverlayGeometry
{

// Selections smaller than this (either side) are never delivered.
constexpr qreal minimumSide = 3.0;
constexpr qreal loupeSide = 128.0;
// Points of the desktop shown across the loupe (128 / 5: five times magnified).
constexpr qreal loupeSpan = 25.6;
constexpr qreal highlightGrowth = 4.0;
constexpr qreal crosshairStripWidth = 2.0;

QPointF toView(const QPointF &global, const QPointF &origin);
QRectF toView(const QRectF &global, const QPointF &origin);
QRectF toGlobal(const QRectF &view, const QPointF &origin);

// The rectangle spanned by two points, clipped to the view.
QRectF dragRect(const QPointF &a, const QPointF &b, const QRectF &bounds);
bool isDeliverable(const std::optional<QRectF> &selection);
// Moves the selection by (dx, dy) points; what leaves the view is cut off.
QRectF nudged(const QRectF &selection, qreal dx, qreal dy, const QRectF &bounds);

// "640 × 480": width and height rounded half away from zero.
QString sizeText(const QRectF &selection);
// The size label's background for text of the given size: centred above the
// selection, below it when there is no room above, kept 4 points from the sides.
QRectF sizeLabelRect(const QRectF &selection, const QSizeF &textSize, const QRectF &bounds);

// The loupe square beside the pointer, flipped and clamped near the edges.
QRectF loupeRect(const QPointF &pointer, const QRectF &bounds);
// The snapshot pixels the loupe magnifies; empty when the pointer is off the snapshot.
QRect loupeSource(const QPointF &pointer, const QSize &snapshotPixels, const QSizeF &viewSize);

// The two thin strips the crosshair lines occupy.
QList<QRectF> crosshairStrips(const QPointF &pointer, const QRectF &bounds);
// The four full-length strips the selection's guide lines occupy.
QList<QRectF> guideStrips(const QRectF &selection, const QRectF &bounds);

// The window under a point, front-most first; left and top edges belong to the
// window, right and bottom edges do not.
std::optional<WindowInfo> windowAt(const QList<WindowInfo> &windows, const QPointF &point,
                                   const QPointF &origin);
// What a window highlight may paint over.
QRectF highlightRect(const WindowInfo &window, const QPointF &origin);
// The name label inside a highlighted window's top-left corner.
QRectF windowLabelRect(const QRectF &windowInView, qreal textWidth, const QRectF &bounds);

QString instructionText(SelectionMode mode, bool windowMode);
// The instruction line's background: centred at the top of the whole view.
QRectF instructionRect(const QSizeF &textSize, const QRectF &bounds);

} // namespace SelectionOverlayGeometry
} // namespace zorv
