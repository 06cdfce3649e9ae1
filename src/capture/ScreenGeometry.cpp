#include "capture/ScreenGeometry.h"

#include "platform/Platform.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace zorv
{
namespace ScreenGeometry
{

QRectF unionFrame()
{
    QRectF result(0, 0, 0, 0);
    for (const QScreen *screen : QGuiApplication::screens())
        result = result.united(QRectF(screen->geometry()));
    return result;
}

QScreen *screenContaining(const QPointF &point)
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

QScreen *screenUnderMouse()
{
    if (QScreen *screen = screenContaining(QCursor::pos()))
        return screen;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

uint32_t displayID(const QScreen *screen)
{
    ScreenBackend &backend = Platform::shared().screens();
    if (screen) {
        if (const std::optional<uint32_t> id = backend.displayID(screen))
            return *id;
    }
    return backend.displayID(QGuiApplication::primaryScreen()).value_or(0);
}

QScreen *screenForDisplayID(uint32_t id)
{
    for (QScreen *screen : QGuiApplication::screens()) {
        if (displayID(screen) == id)
            return screen;
    }
    return nullptr;
}

} // namespace ScreenGeometry
} // namespace zorv
