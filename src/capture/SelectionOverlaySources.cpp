#include "capture/ScreenCaptureService.h"
#include "capture/ScreenGeometry.h"
#include "capture/SelectionOverlayController.h"

#include <QPixmap>
#include <QScreen>

namespace zorv
{

namespace
{
SelectionOverlayController::Sources desktopSources()
{
    SelectionOverlayController::Sources sources;
    sources.unionFrame = [] { return ScreenGeometry::unionFrame(); };
    sources.snapshot = [](const QRectF &unionFrame) -> std::optional<QImage> {
        CaptureResult image = ScreenCaptureService::capture(unionFrame);
        if (!image)
            return std::nullopt;
        return image.value();
    };
    sources.windows = []() -> std::optional<QList<WindowInfo>> {
        auto windows = ScreenCaptureService::windowInfos(true);
        if (!windows)
            return std::nullopt;
        return windows.value();
    };
    sources.frozenScreen = [](QScreen *screen) {
        // What is on the screen right now, at its own pixel density.
        return screen->grabWindow(0).toImage();
    };
    return sources;
}
} // namespace

SelectionOverlayController &SelectionOverlayController::shared()
{
    static auto *controller = new SelectionOverlayController(desktopSources());
    return *controller;
}

} // namespace zorv
