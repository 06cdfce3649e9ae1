#include "platform/x11/ScreenMapping.h"

#include "common/WholePixels.h"

#include <algorithm>
#include <cmath>

namespace zorv
{

bool CapturePiece::isDirectCopy() const
{
    return isWhole(source) && isWhole(target) && std::abs(source.width() - target.width()) < 1e-6 &&
           std::abs(source.height() - target.height()) < 1e-6;
}

namespace ScreenMapping
{

QSize pixelSize(const QSizeF &logical, double scale)
{
    // std::lround rounds halves away from zero.
    const long w = std::lround(std::abs(logical.width()) * scale);
    const long h = std::lround(std::abs(logical.height()) * scale);
    return QSize(int(std::max(1L, w)), int(std::max(1L, h)));
}

double largestScale(const QList<ScreenArea> &screens, const QRectF &rect)
{
    double scale = 0;
    for (const ScreenArea &screen : screens) {
        if (screen.logical.intersects(rect))
            scale = std::max(scale, screen.dpr);
    }
    return scale > 0 ? scale : 1.0;
}

CapturePlan plan(const QList<ScreenArea> &screens, const QRectF &rect, double scale)
{
    CapturePlan result;
    result.size = pixelSize(rect.size(), scale);
    if (rect.width() <= 0 || rect.height() <= 0)
        return result;
    // Output pixels per logical unit; equal to `scale` unless the size was rounded.
    const double sx = result.size.width() / rect.width();
    const double sy = result.size.height() / rect.height();
    double coveredArea = 0;
    for (int i = 0; i < screens.size(); ++i) {
        const ScreenArea &screen = screens[i];
        const QRectF part = rect.intersected(screen.logical);
        if (part.isEmpty())
            continue;
        const QPointF local = part.topLeft() - screen.logical.topLeft();
        CapturePiece piece;
        piece.screen = i;
        piece.source = QRectF(screen.device.x() + local.x() * screen.dpr,
                              screen.device.y() + local.y() * screen.dpr, part.width() * screen.dpr,
                              part.height() * screen.dpr);
        piece.target = QRectF((part.x() - rect.x()) * sx, (part.y() - rect.y()) * sy,
                              part.width() * sx, part.height() * sy);
        coveredArea += part.width() * part.height();
        result.pieces.append(piece);
    }
    // Screens do not overlap in practice, so the areas add up.
    result.coversOutput = coveredArea >= rect.width() * rect.height() * (1 - 1e-9);
    return result;
}

QRectF toDevice(const ScreenArea &screen, const QRectF &logical)
{
    const QPointF local = logical.topLeft() - screen.logical.topLeft();
    return QRectF(QPointF(screen.device.topLeft()) + local * screen.dpr,
                  logical.size() * screen.dpr);
}

int screenAtDevicePoint(const QList<ScreenArea> &screens, const QPointF &device)
{
    for (int i = 0; i < screens.size(); ++i) {
        const QRect &d = screens[i].device;
        if (device.x() >= d.x() && device.x() < d.x() + d.width() && device.y() >= d.y() &&
            device.y() < d.y() + d.height())
            return i;
    }
    return -1;
}

QRectF toLogical(const QList<ScreenArea> &screens, const QRect &device)
{
    const int index = screenAtDevicePoint(screens, QRectF(device).center());
    if (index < 0)
        return QRectF(device);
    const ScreenArea &screen = screens[index];
    const QPointF local = QPointF(device.topLeft() - screen.device.topLeft()) / screen.dpr;
    return QRectF(screen.logical.topLeft() + local, QSizeF(device.size()) / screen.dpr);
}

} // namespace ScreenMapping
} // namespace zorv
