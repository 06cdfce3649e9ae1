#include "capture/ScreenCaptureService.h"

#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <limits>

namespace zorv
{
namespace ScreenCaptureService
{

namespace
{
ScreenBackend &backend()
{
    return Platform::shared().screens();
}

// A backend that answers with neither image nor error has not captured anything.
CaptureResult checked(CaptureResult result)
{
    if (result.hasValue() && result.value().isNull())
        return CaptureError(CaptureError::Code::imageUnavailable);
    return result;
}
} // namespace

QList<WindowInfo> listWindows(const QList<PlatformWindow> &windows, const QList<uint32_t> &order,
                              int32_t ownPid, bool excludingOwn)
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

CaptureExpected<QList<WindowInfo>> windowInfos(bool excludingOwn)
{
    CaptureExpected<QList<PlatformWindow>> windows = backend().windows();
    if (!windows)
        return windows.error();
    return listWindows(windows.value(), backend().stackingOrder(),
                       int32_t(QCoreApplication::applicationPid()), excludingOwn);
}

CaptureExpected<QList<DisplayInfo>> displayInfos()
{
    return backend().displays();
}

CaptureResult capture(const QRectF &rect)
{
    if (!(rect.width() >= 1 && rect.height() >= 1))
        return CaptureError(CaptureError::Code::imageUnavailable);
    return checked(backend().grabArea(rect));
}

namespace
{
std::optional<DisplayInfo> findDisplay(uint32_t displayID, std::optional<CaptureError> &error)
{
    CaptureExpected<QList<DisplayInfo>> displays = backend().displays();
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
} // namespace

CaptureResult capture(uint32_t displayID, const QRectF &rectInDisplaySpace, double scale)
{
    std::optional<CaptureError> error;
    if (!findDisplay(displayID, error))
        return *error;
    return checked(backend().grabDisplayRegion(displayID, rectInDisplaySpace, scale));
}

CaptureResult capture(uint32_t displayID, double scale)
{
    std::optional<CaptureError> error;
    const std::optional<DisplayInfo> display = findDisplay(displayID, error);
    if (!display)
        return *error;
    return capture(displayID, display->frame, scale);
}

CaptureResult captureWindow(uint32_t windowID, double scale, bool includeShadow)
{
    CaptureExpected<QList<PlatformWindow>> windows = backend().windows();
    if (!windows)
        return windows.error();
    const bool known =
        std::any_of(windows.value().cbegin(), windows.value().cend(),
                    [windowID](const PlatformWindow &w) { return w.id == windowID; });
    if (!known)
        return CaptureError(CaptureError::Code::noWindow);
    return checked(backend().grabWindow(windowID, scale, includeShadow));
}

} // namespace ScreenCaptureService
} // namespace zorv
