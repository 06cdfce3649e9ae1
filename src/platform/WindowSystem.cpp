#include "platform/WindowSystem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>

namespace zorv
{

std::optional<QPointF> WindowSystem::pointerPosition()
{
    return QPointF(QCursor::pos());
}

QScreen *WindowSystem::pointerScreen()
{
    if (const std::optional<QPointF> pointer = pointerPosition()) {
        if (QScreen *screen = QGuiApplication::screenAt(pointer->toPoint()))
            return screen;
    }
    return QGuiApplication::primaryScreen();
}

QPointF WindowSystem::pointerOrScreenCentre()
{
    if (const std::optional<QPointF> pointer = pointerPosition())
        return *pointer;
    const QScreen *screen = pointerScreen();
    return screen ? QRectF(screen->geometry()).center() : QPointF();
}

} // namespace zorv
