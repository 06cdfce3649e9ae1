#pragma once

#include "capture/ScreenGeometry.h"
#include "common/CaptureTypes.h"
#include "platform/Platform.h"

#include <QList>

class QScreen;

namespace zorv
{

// The one place that asks the platform for displays, windows and pixels.
// Holds nothing but its backend; every call reads fresh state.
class ScreenCaptureService
{
  public:
    explicit ScreenCaptureService(ScreenBackend &backend) : m_backend(backend), m_geometry(backend)
    {
    }

    const ScreenGeometry &geometry() const { return m_geometry; }

    // Capturable windows, front-most first.
    CaptureExpected<QList<WindowInfo>> windowInfos(bool excludingOwn);
    CaptureExpected<QList<DisplayInfo>> displayInfos();

    // An arbitrary global rectangle (may span displays).
    CaptureResult capture(const QRectF &rect);
    // A rectangle lying on one display, at `scale` pixels per logical unit.
    CaptureResult capture(uint32_t displayID, const QRectF &rectInDisplaySpace, double scale);
    // A whole display.
    CaptureResult capture(uint32_t displayID, double scale);
    // One window, by id.
    CaptureResult captureWindow(uint32_t windowID, double scale, bool includeShadow);

    // How commands capture, with the region and the scale chosen here:
    // an area is one display's region at that screen's scale when a single
    // display holds all of it, else the spanning area capture;
    CaptureResult captureArea(const QRectF &rect);
    // a window at the scale of the screen holding its centre, without shadow;
    CaptureResult captureWindow(const WindowInfo &window);
    // a whole screen at its own scale.
    CaptureResult captureScreen(const QScreen *screen);

    // The listing rules, apart from the backend so they can be tested on their own:
    // drops off-screen windows, non-zero layers, windows under 60 × 40, own windows
    // (when asked) and windows with neither title nor application name; sorts by
    // `order` (front-most first), unknown windows last in their original order.
    static QList<WindowInfo> listWindows(const QList<PlatformWindow> &windows,
                                         const QList<uint32_t> &order, int32_t ownPid,
                                         bool excludingOwn);

  private:
    std::optional<DisplayInfo> findDisplay(uint32_t displayID, std::optional<CaptureError> &error);

    ScreenBackend &m_backend;
    ScreenGeometry m_geometry;
};

} // namespace zorv
