#pragma once

#include "platform/RecordingSources.h"
#include "platform/x11/ScreenMapping.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <xcb/xcb.h>

namespace zorv
{

// Where a recorded area lies in X pixels. X11 has one pixel space, so the
// frames are the screen's own pixels; only when the caller asks for another
// scale than the display's are they resampled.
struct DeviceArea {
    QRect device; // X pixels read for each frame (may reach past the root)
    QSize output; // the frame's size

    static DeviceArea of(const ScreenArea &screen, const RecordingArea &area);
    bool scaled() const { return device.size() != output; }
    // A root pixel as a frame pixel.
    QPoint toOutput(QPoint root) const;
    double factorX() const { return double(output.width()) / device.width(); }
    double factorY() const { return double(output.height()) / device.height(); }
};

// A connection of a source's own, on the display Qt uses; closes with it.
class OwnConnection
{
  public:
    OwnConnection();
    ~OwnConnection();
    OwnConnection(const OwnConnection &) = delete;
    OwnConnection &operator=(const OwnConnection &) = delete;
    bool ok() const { return m_screen && !xcb_connection_has_error(m_connection); }
    xcb_connection_t *get() const { return m_connection; }
    xcb_screen_t *screen() const { return m_screen; }
    xcb_window_t root() const { return m_screen ? m_screen->root : xcb_window_t(XCB_WINDOW_NONE); }

  private:
    xcb_connection_t *m_connection = nullptr;
    xcb_screen_t *m_screen = nullptr;
};

} // namespace zorv
