#include "platform/wayland/WaylandScreenBackend.h"

#include <QGuiApplication>
#include <QScreen>

namespace zorv
{

CaptureExpected<QList<DisplayInfo>> WaylandScreenBackend::displays()
{
    QList<DisplayInfo> result;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (qsizetype i = 0; i < screens.size(); ++i)
        result.append({uint32_t(i + 1), QRectF(screens[i]->geometry())});
    return result;
}

std::optional<uint32_t> WaylandScreenBackend::displayID(const QScreen *screen)
{
    const qsizetype i = QGuiApplication::screens().indexOf(const_cast<QScreen *>(screen));
    if (i < 0)
        return std::nullopt;
    return uint32_t(i + 1);
}

CaptureResult WaylandScreenBackend::grabDisplayRegion(uint32_t, const QRectF &, double)
{
    return CaptureError(CaptureError::Code::platform, QStringLiteral("not yet"));
}

CaptureResult WaylandScreenBackend::grabWindow(uint32_t, double, bool)
{
    return CaptureError(CaptureError::Code::noWindow);
}

CaptureResult WaylandScreenBackend::grabArea(const QRectF &)
{
    return CaptureError(CaptureError::Code::platform, QStringLiteral("not yet"));
}

} // namespace zorv
