#pragma once

#include "platform/Platform.h"

namespace zorv
{

class DesktopCast;

// Displays as Qt's outputs; pixels from the pictures the desktop cast took when the capture
// was prepared.
class WaylandScreenBackend : public ScreenBackend
{
  public:
    explicit WaylandScreenBackend(DesktopCast &cast) : m_cast(cast) {}
    CaptureExpected<QList<DisplayInfo>> displays() override;
    std::optional<uint32_t> displayID(const QScreen *screen) override;
    // Other clients' windows are not listed on Wayland.
    CaptureExpected<QList<PlatformWindow>> windows() override { return QList<PlatformWindow>{}; }
    QList<uint32_t> stackingOrder() override { return {}; }
    CaptureResult grabDisplayRegion(uint32_t displayID, const QRectF &rect, double scale) override;
    CaptureResult grabWindow(uint32_t windowID, double scale, bool includeShadow) override;
    CaptureResult grabArea(const QRectF &rect) override;

  private:
    DesktopCast &m_cast;
};

} // namespace zorv
