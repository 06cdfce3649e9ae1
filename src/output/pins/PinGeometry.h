#pragma once

#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QSizeF>

namespace zorv
{

// Sizes and hit zones of a pinned screenshot window, in points, y down,
// origin at the window's top-left corner.
namespace PinGeometry
{

constexpr qreal largestInitialWidth = 900;
constexpr qreal largestInitialHeight = 700;
constexpr qreal rightInset = 40;
constexpr qreal bottomInset = 60;
constexpr qreal cornerRadius = 10;
constexpr qreal smallestResizeWidth = 80;
// Small enough for any image, large enough to keep the close button and the
// grip apart and usable.
constexpr qreal smallestSide = 48;
// Keeps a pin of an extremely narrow image within what a window can be.
constexpr qreal largestSide = 16384;

// Image width ÷ height in pixels (height at least 1).
double aspect(const QSize &imagePixels);
// The image's pixel size, scaled down to fit 900 × 700 (never up).
QSizeF initialImageSize(const QSize &imagePixels);
// A window holding an image of that size: at least 48 × 48.
QSizeF windowSize(const QSizeF &imageSize);
// Top-left corner of a new pin on a screen's visible area: 40 points from its
// right edge and 60 points above its bottom edge.
QPointF initialTopLeft(const QRectF &visibleArea, const QSizeF &window);
// The window frame while resizing from the bottom-right corner: the top-left
// corner stays, the width follows the pointer (at least 80) and the height
// keeps the aspect ratio.
QRectF resizedFrame(const QPointF &topLeft, qreal startWidth, qreal startMouseX, qreal mouseX,
                    double aspect);
// Where the image is drawn in a window of that size: scaled to fit, centred.
QRectF imageRect(const QSizeF &window, const QSize &imagePixels);

QRectF closeButtonRect();
QRectF gripRect(const QSizeF &window);
bool inResizeZone(const QPointF &point, const QSizeF &window);
bool inResizeCursorZone(const QPointF &point, const QSizeF &window);

} // namespace PinGeometry
} // namespace zorv
