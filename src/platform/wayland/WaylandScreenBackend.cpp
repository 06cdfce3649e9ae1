#include "platform/wayland/WaylandScreenBackend.h"

#include "platform/wayland/DesktopCast.h"

#include <QGuiApplication>
#include <QScreen>

namespace zorv
{

namespace
{
CaptureError noPicture()
{
    return CaptureError(CaptureError::Code::platform,
                        QStringLiteral("Zorv has no picture of this screen; capture again."));
}
} // namespace

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

CaptureResult WaylandScreenBackend::grabDisplayRegion(uint32_t displayID, const QRectF &rect,
                                                      double scale)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (displayID < 1 || displayID > uint32_t(screens.size()))
        return CaptureError(CaptureError::Code::noDisplay);
    const std::optional<HeldFrame> frame = m_cast.frame(screens[displayID - 1]);
    if (!frame)
        return noPicture();
    return composeFrames({*frame}, rect, scale);
}

CaptureResult WaylandScreenBackend::grabWindow(uint32_t, double, bool)
{
    return CaptureError(CaptureError::Code::noWindow);
}

CaptureResult WaylandScreenBackend::grabArea(const QRectF &rect)
{
    const QList<HeldFrame> frames = m_cast.frames();
    if (frames.isEmpty())
        return noPicture();
    return composeFrames(frames, rect, largestFrameScale(frames, rect));
}

} // namespace zorv
