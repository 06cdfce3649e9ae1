#pragma once

#include <QPointF>
#include <QRectF>
#include <cstdint>

class QScreen;

namespace zorv
{

// Relations between Qt's screens and the platform's displays, in Qt's global
// logical coordinates. Reads the current screen list on every call.
namespace ScreenGeometry
{

// Bounding box of all screens (the zero rectangle with none).
QRectF unionFrame();
// The first screen whose geometry holds the point (right and bottom edges
// belong to the next screen); else the primary screen, which may be null.
QScreen *screenContaining(const QPointF &point);
// The screen under the pointer; falls back to the primary, then the first screen.
QScreen *screenUnderMouse();
// The platform's display id for a screen (the primary display's when unknown).
uint32_t displayID(const QScreen *screen);
// The screen that shows a display, or null.
QScreen *screenForDisplayID(uint32_t id);

} // namespace ScreenGeometry
} // namespace zorv
