#pragma once

#include "common/CaptureTypes.h"

#include <QFont>
#include <QRectF>
#include <functional>

class QPainter;

namespace zorv
{

class SelectionOverlayView;

// Draws the overlay: dimming with its hole, the selection with outline, guides
// and size label, or the crosshair, the loupe, the window highlight and the
// instruction line. Works in view coordinates on whatever part is dirty.
namespace SelectionOverlayPainter
{

// `underlay` paints what lies under the dimming where the desktop cannot be
// seen through the window (no compositing manager).
using Underlay = std::function<void(QPainter &, const QRectF &)>;
void paint(QPainter &painter, const SelectionOverlayView &view, const QRectF &dirty,
           const Underlay &underlay = {});

QFont sizeLabelFont();
QFont windowLabelFont();
QFont instructionFont();

// Label backgrounds as drawn, measured with the fonts above.
QRectF sizeLabelRect(const QRectF &selection, const QRectF &bounds);
QRectF windowLabelRect(const WindowInfo &window, const QPointF &origin, const QRectF &bounds);

} // namespace SelectionOverlayPainter
} // namespace zorv
