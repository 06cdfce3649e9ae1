#include "output/pins/PinGeometry.h"

#include <algorithm>

namespace zorv::PinGeometry
{

namespace
{
constexpr qreal resizeZone = 20;
constexpr qreal resizeCursorZone = 10;

bool inCorner(const QPointF &point, const QSizeF &window, qreal side)
{
    return point.x() >= window.width() - side && point.x() <= window.width() &&
           point.y() >= window.height() - side && point.y() <= window.height();
}
} // namespace

double aspect(const QSize &imagePixels)
{
    return double(imagePixels.width()) / std::max(imagePixels.height(), 1);
}

QSizeF initialImageSize(const QSize &imagePixels)
{
    const qreal width = std::max(imagePixels.width(), 1);
    const qreal height = std::max(imagePixels.height(), 1);
    const qreal scale =
        std::min({largestInitialWidth / width, largestInitialHeight / height, qreal(1)});
    return QSizeF(scale * width, scale * height);
}

QSizeF windowSize(const QSizeF &imageSize)
{
    return QSizeF(std::clamp(imageSize.width(), smallestSide, largestSide),
                  std::clamp(imageSize.height(), smallestSide, largestSide));
}

QPointF initialTopLeft(const QRectF &visibleArea, const QSizeF &window)
{
    return QPointF(visibleArea.right() - rightInset - window.width(),
                   visibleArea.bottom() - bottomInset - window.height());
}

QRectF resizedFrame(const QPointF &topLeft, qreal startWidth, qreal startMouseX, qreal mouseX,
                    double aspect)
{
    const double ratio = std::max(aspect, 0.0001);
    qreal width =
        std::min(std::max(smallestResizeWidth, mouseX - startMouseX + startWidth), largestSide);
    qreal height = width / ratio;
    if (height > largestSide) {
        height = largestSide;
        width = height * ratio;
    }
    return QRectF(topLeft, windowSize(QSizeF(width, height)));
}

QRectF imageRect(const QSizeF &window, const QSize &imagePixels)
{
    if (imagePixels.isEmpty())
        return {};
    const QSizeF fitted = QSizeF(imagePixels).scaled(window, Qt::KeepAspectRatio);
    // Window sizes are whole points; a fraction of a point is not padding.
    if (window.width() - fitted.width() < 1 && window.height() - fitted.height() < 1)
        return QRectF(QPointF(0, 0), window);
    return QRectF(
        QPointF((window.width() - fitted.width()) / 2, (window.height() - fitted.height()) / 2),
        fitted);
}

QRectF closeButtonRect()
{
    return QRectF(8, 8, 22, 22);
}

QRectF gripRect(const QSizeF &window)
{
    return QRectF(window.width() - 18, window.height() - 18, 12, 12);
}

bool inResizeZone(const QPointF &point, const QSizeF &window)
{
    return inCorner(point, window, resizeZone);
}

bool inResizeCursorZone(const QPointF &point, const QSizeF &window)
{
    return inCorner(point, window, resizeCursorZone);
}

} // namespace zorv::PinGeometry
