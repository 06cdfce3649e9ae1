#include "capture/ScreenCaptureService.h"
#include "capture/ScreenGeometry.h"
#include "capture/SelectionOverlayController.h"

#include <QScreen>

namespace zorv
{

SelectionOverlayController::Sources SelectionOverlayController::desktopSources()
{
    Sources sources;
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
        // The screen as it is, at its own pixel density.
        const qreal ratio = screen->devicePixelRatio();
        CaptureResult image = ScreenCaptureService::capture(ScreenGeometry::displayID(screen),
                                                            QRectF(screen->geometry()), ratio);
        if (!image)
            return QImage();
        QImage frozen = image.value();
        frozen.setDevicePixelRatio(ratio);
        return frozen;
    };
    return sources;
}

SelectionOverlayController &SelectionOverlayController::shared()
{
    static auto *controller = new SelectionOverlayController(desktopSources());
    return *controller;
}

} // namespace zorv
