#pragma once

#include "capture/CaptureTypes.h"
#include "platform/Platform.h"

#include <QList>

namespace zorv
{

// The one place that asks the platform for displays, windows and pixels.
// Stateless; every call reads fresh state from the backend.
namespace ScreenCaptureService
{

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

// The listing rules, apart from the backend so they can be tested on their own:
// drops off-screen windows, non-zero layers, windows under 60 × 40, own windows
// (when asked) and windows with neither title nor application name; sorts by
// `order` (front-most first), unknown windows last in their original order.
QList<WindowInfo> listWindows(const QList<PlatformWindow> &windows, const QList<uint32_t> &order,
                              int32_t ownPid, bool excludingOwn);

} // namespace ScreenCaptureService
} // namespace zorv
