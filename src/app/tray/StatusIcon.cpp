#include "app/tray/StatusIcon.h"

#include "theme/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace zorv::StatusIcon
{

namespace
{

constexpr int traySizes[] = {16, 22, 24, 32, 44, 48, 64};

QPainterPath viewfinderPath(qreal size)
{
    // Proportions of the 18-point glyph, scaled to the square.
    const qreal unit = size / 18.0;
    const QRectF box =
        QRectF(0, 0, size, size).adjusted(2.5 * unit, 2.5 * unit, -2.5 * unit, -2.5 * unit);
    const qreal arm = 0.34 * box.width();
    QPainterPath path;
    const QPointF corners[] = {box.topLeft(), box.topRight(), box.bottomRight(), box.bottomLeft()};
    for (const QPointF &corner : corners) {
        const qreal dx = corner.x() < box.center().x() ? arm : -arm;
        const qreal dy = corner.y() < box.center().y() ? arm : -arm;
        path.moveTo(corner + QPointF(dx, 0));
        path.lineTo(corner);
        path.lineTo(corner + QPointF(0, dy));
    }
    return path;
}

void drawViewfinder(QPainter &painter, qreal size, const QColor &color, qreal extraWidth)
{
    const qreal unit = size / 18.0;
    QPen pen(color, 1.7 * unit + extraWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(viewfinderPath(size));
    painter.setPen(extraWidth > 0 ? QPen(color, extraWidth) : Qt::NoPen);
    painter.setBrush(color);
    const qreal radius = 0.11 * size;
    painter.drawEllipse(QPointF(size / 2, size / 2), radius, radius);
}

QPixmap canvas(int size, qreal devicePixelRatio)
{
    QPixmap pixmap(qRound(size * devicePixelRatio), qRound(size * devicePixelRatio));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

} // namespace

QPixmap viewfinder(int size, const QColor &color, qreal devicePixelRatio)
{
    QPixmap pixmap = canvas(size, devicePixelRatio);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawViewfinder(painter, size, color, 0);
    return pixmap;
}

QIcon trayIcon()
{
    QIcon icon;
    for (int size : traySizes) {
        QPixmap pixmap = canvas(size, 1);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        drawViewfinder(painter, size, QColor(0, 0, 0, 190), std::max(2.0, size / 10.0));
        drawViewfinder(painter, size, QColor(250, 250, 252), 0);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QIcon recordingIcon()
{
    QIcon icon;
    for (int size : traySizes) {
        QPixmap pixmap = canvas(size, 1);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre(size / 2.0, size / 2.0);
        const qreal outer = size * 0.40;
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::recordingRed());
        painter.drawEllipse(centre, outer, outer);
        painter.setBrush(Qt::white);
        painter.drawEllipse(centre, outer * 0.45, outer * 0.45);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace zorv::StatusIcon
