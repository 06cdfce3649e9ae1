#include "capture/ScreenCaptureService.h"
#include "capture/ScreenGeometry.h"
#include "capture/overlay/SelectionOverlayController.h"
#include "common/KeptBuffers.h"
#include "platform/Platform.h"

#include <QScreen>

namespace zorv
{

SelectionOverlayController::Sources
SelectionOverlayController::desktopSources(ScreenCaptureService desktop)
{
    Sources sources;
    sources.unionFrame = [] { return ScreenGeometry::unionFrame(); };
    sources.snapshot = [desktop](const QRectF &unionFrame) mutable -> std::optional<QImage> {
        CaptureResult image = desktop.capture(unionFrame);
        if (!image)
            return std::nullopt;
        return image.value();
    };
    sources.windows = [desktop]() mutable -> std::optional<QList<WindowInfo>> {
        auto windows = desktop.windowInfos(true);
        if (!windows)
            return std::nullopt;
        return windows.value();
    };
    sources.frozenScreen = [desktop](QScreen *screen) mutable {
        // The screen as it is, in its own pixels. Left untouched: the grab's
        // buffer is reused by the next one once nobody holds it.
        CaptureResult image = desktop.captureScreen(screen);
        return image ? image.value() : QImage();
    };
    return sources;
}

SelectionOverlayController &SelectionOverlayController::shared()
{
    Platform &platform = Platform::shared();
    static auto *controller =
        new SelectionOverlayController(desktopSources(ScreenCaptureService(platform.screens())),
                                       platform.windowSystem(), keptBuffersMs());
    return *controller;
}

} // namespace zorv
