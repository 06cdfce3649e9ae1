#include "capture/ScreenCaptureService.h"

#include <QCoreApplication>
#include <QHash>
#include <QScreen>

#include <algorithm>
#include <limits>

namespace zorv
{

namespace
{
// A backend that answers with neither image nor error has not captured anything.
CaptureResult checked(CaptureResult result)
{
    if (result.hasValue() && result.value().isNull())
        return CaptureError(CaptureError::Code::imageUnavailable);
    return result;
}
} // namespace

QList<WindowInfo> ScreenCaptureService::listWindows(const QList<PlatformWindow> &windows,
                                                    const QList<uint32_t> &order, int32_t ownPid,
                                                    bool excludingOwn)
{
    QHash<uint32_t, qsizetype> rank;
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (!rank.contains(order[i])) // a repeated number keeps its front-most place
            rank.insert(order[i], i);
    }

    QList<WindowInfo> kept;
    for (const PlatformWindow &window : windows) {
        if (!window.onScreen || window.layer != 0)
            continue;
        if (window.frame.width() < 60 || window.frame.height() < 40)
            continue;
        if (excludingOwn && window.pid == ownPid)
            continue;
        if (window.title.isEmpty() && window.appName.isEmpty())
            continue;
        kept.append(
            {window.id, window.frame, window.title, window.appName, window.pid, window.layer});
    }
    const auto rankOf = [&rank](const WindowInfo &w) {
        return rank.value(w.id, std::numeric_limits<qsizetype>::max());
    };
    std::stable_sort(kept.begin(), kept.end(), [&](const WindowInfo &a, const WindowInfo &b) {
        return rankOf(a) < rankOf(b);
    });
    return kept;
}

CaptureExpected<QList<WindowInfo>> ScreenCaptureService::windowInfos(bool excludingOwn)
{
    CaptureExpected<QList<PlatformWindow>> windows = m_backend.windows();
    if (!windows)
        return windows.error();
    return listWindows(windows.value(), m_backend.stackingOrder(),
                       int32_t(QCoreApplication::applicationPid()), excludingOwn);
}

CaptureExpected<QList<DisplayInfo>> ScreenCaptureService::displayInfos()
{
    return m_backend.displays();
}

CaptureResult ScreenCaptureService::capture(const QRectF &rect)
{
    if (!(rect.width() >= 1 && rect.height() >= 1))
        return CaptureError(CaptureError::Code::imageUnavailable);
    return checked(m_backend.grabArea(rect));
}

std::optional<DisplayInfo> ScreenCaptureService::findDisplay(uint32_t displayID,
                                                             std::optional<CaptureError> &error)
{
    CaptureExpected<QList<DisplayInfo>> displays = m_backend.displays();
    if (!displays) {
        error = displays.error();
        return std::nullopt;
    }
    for (const DisplayInfo &display : displays.value()) {
        if (display.id == displayID)
            return display;
    }
    error = CaptureError(CaptureError::Code::noDisplay);
    return std::nullopt;
}

CaptureResult ScreenCaptureService::capture(uint32_t displayID, const QRectF &rectInDisplaySpace,
                                            double scale)
{
    std::optional<CaptureError> error;
    if (!findDisplay(displayID, error))
        return *error;
    return checked(m_backend.grabDisplayRegion(displayID, rectInDisplaySpace, scale));
}

CaptureResult ScreenCaptureService::capture(uint32_t displayID, double scale)
{
    std::optional<CaptureError> error;
    const std::optional<DisplayInfo> display = findDisplay(displayID, error);
    if (!display)
        return *error;
    return capture(displayID, display->frame, scale);
}

CaptureResult ScreenCaptureService::captureWindow(uint32_t windowID, double scale,
                                                  bool includeShadow)
{
    CaptureExpected<QList<PlatformWindow>> windows = m_backend.windows();
    if (!windows)
        return windows.error();
    const bool known =
        std::any_of(windows.value().cbegin(), windows.value().cend(),
                    [windowID](const PlatformWindow &w) { return w.id == windowID; });
    if (!known)
        return CaptureError(CaptureError::Code::noWindow);
    return checked(m_backend.grabWindow(windowID, scale, includeShadow));
}

CaptureResult ScreenCaptureService::captureArea(const QRectF &rect)
{
    const auto displays = displayInfos();
    for (const DisplayInfo &display : displays ? displays.value() : QList<DisplayInfo>()) {
        if (!display.frame.contains(rect))
            continue;
        if (QScreen *screen = m_geometry.screenForDisplayID(display.id))
            return capture(display.id, rect, screen->devicePixelRatio());
        break;
    }
    return capture(rect);
}

CaptureResult ScreenCaptureService::captureWindow(const WindowInfo &window)
{
    return captureWindow(window.id, ScreenGeometry::scale(window.frame), false);
}

CaptureResult ScreenCaptureService::captureScreen(const QScreen *screen)
{
    if (!screen)
        return CaptureError(CaptureError::Code::noDisplay);
    return capture(m_geometry.displayID(screen), screen->devicePixelRatio());
}

} // namespace zorv
