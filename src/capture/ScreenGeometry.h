#pragma once

#include <QPointF>
#include <QRectF>
#include <cstdint>

class QScreen;

namespace zorv
{

class ScreenBackend;

// Relations between Qt's screens and the platform's displays, in Qt's global
// logical coordinates. Reads the current screen list on every call.
class ScreenGeometry
{
  public:
    explicit ScreenGeometry(ScreenBackend &backend) : m_backend(backend) {}

    // Bounding box of all screens (the zero rectangle with none).
    static QRectF unionFrame();
    // The first screen whose geometry holds the point (right and bottom edges
    // belong to the next screen); else the primary screen, which may be null.
    static QScreen *screenContaining(const QPointF &point);
    // The screen under the pointer; falls back to the primary, then the first screen.
    static QScreen *screenUnderMouse();
    // Pixels per logical unit of the screen that holds the rectangle's centre
    // (the primary screen's when none does; 1 without screens).
    static double scale(const QRectF &rect);

    // The platform's display id for a screen (the primary display's when unknown).
    uint32_t displayID(const QScreen *screen) const;
    // The screen that shows a display, or null.
    QScreen *screenForDisplayID(uint32_t id) const;

  private:
    ScreenBackend &m_backend;
};

} // namespace zorv
