#pragma once

#include <QPainterPath>
#include <QRectF>

namespace zorv
{

// The drop-down panel's outline: a rounded sheet with a small notch pointing
// at the tray icon. On a bottom panel the sheet opens upwards and the notch
// sits on its bottom edge (the same outline mirrored).
struct NotchedPanelShape {
    qreal notchX = 0; // from the rectangle's left edge
    qreal notchHeight = 12;
    qreal notchHalfWidth = 34;
    qreal cornerRadius = 26;
    bool notchOnBottom = false;

    QPainterPath path(const QRectF &rect) const;
};

} // namespace zorv
