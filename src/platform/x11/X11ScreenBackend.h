#pragma once

#include "platform/Platform.h"
#include "platform/x11/ScreenMapping.h"
#include "platform/x11/X11Atoms.h"
#include "platform/x11/X11Pixels.h"
#include "platform/x11/X11WindowList.h"

#include <QByteArray>
#include <xcb/xcb.h>

namespace zorv
{

// Displays are RandR monitors, windows are the window manager's clients, and
// pixels come from the X server composed without this program's own windows.
class X11ScreenBackend : public ScreenBackend
{
  public:
    X11ScreenBackend(xcb_connection_t *connection, int screenNumber);
    // On Qt's own X connection; null when the application does not run on X11.
    static std::unique_ptr<X11ScreenBackend> forApplication();

    bool composited() const { return m_pixels.composited(); }
    // How a display maps between logical coordinates and X pixels (GUI thread).
    std::optional<ScreenArea> displayArea(uint32_t displayID);

    CaptureExpected<QList<DisplayInfo>> displays() override;
    std::optional<uint32_t> displayID(const QScreen *screen) override;
    CaptureExpected<QList<PlatformWindow>> windows() override;
    QList<uint32_t> stackingOrder() override;
    CaptureResult grabDisplayRegion(uint32_t displayID, const QRectF &rect, double scale) override;
    CaptureResult grabWindow(uint32_t windowID, double scale, bool includeShadow) override;
    CaptureResult grabArea(const QRectF &rect) override;

  private:
    struct Monitor {
        uint32_t id = 0; // the atom of the monitor's name
        QByteArray name;
        QRect device;
        QScreen *screen = nullptr;
    };
    QList<Monitor> monitors();
    static ScreenArea areaOf(const Monitor &monitor);
    QList<ScreenArea> areas();
    QSet<xcb_window_t> ownTopLevels();
    QImage grabDevice(const QRect &rect);
    CaptureResult render(const CapturePlan &plan);

    xcb_connection_t *m_connection;
    xcb_screen_t *m_screen;
    X11Atoms m_atoms;
    X11WindowList m_windowList;
    X11Pixels m_pixels;
};

} // namespace zorv
