#include "capture/ScreenGeometry.h"

#include "platform/Platform.h"

#include <QGuiApplication>
#include <QScreen>

namespace zorv
{

QRectF ScreenGeometry::unionFrame()
{
    QRectF result(0, 0, 0, 0);
    for (const QScreen *screen : QGuiApplication::screens())
        result = result.united(QRectF(screen->geometry()));
    return result;
}

QScreen *ScreenGeometry::screenContaining(const QPointF &point)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRectF frame(screen->geometry());
        // Half-open: the right and bottom edges belong to the neighbour.
        if (point.x() >= frame.left() && point.x() < frame.left() + frame.width() &&
            point.y() >= frame.top() && point.y() < frame.top() + frame.height())
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

QScreen *ScreenGeometry::screenUnderMouse()
{
    if (QScreen *screen = Platform::shared().windowSystem().pointerScreen())
        return screen;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

double ScreenGeometry::scale(const QRectF &rect)
{
    const QScreen *screen = screenContaining(rect.center());
    return screen ? screen->devicePixelRatio() : 1.0;
}

uint32_t ScreenGeometry::displayID(const QScreen *screen) const
{
    if (screen) {
        if (const std::optional<uint32_t> id = m_backend.displayID(screen))
            return *id;
    }
    return m_backend.displayID(QGuiApplication::primaryScreen()).value_or(0);
}

QScreen *ScreenGeometry::screenForDisplayID(uint32_t id) const
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (displayID(screen) == id)
            return screen;
    }
    return nullptr;
}

} // namespace zorv
