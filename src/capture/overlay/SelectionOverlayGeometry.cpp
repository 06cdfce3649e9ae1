#include "capture/overlay/SelectionOverlayGeometry.h"

#include <algorithm>
#include <cmath>

namespace zorv::SelectionOverlayGeometry
{

namespace
{
constexpr qreal labelGap = 8.0;
constexpr qreal labelMargin = 4.0;
constexpr qreal loupeOffset = 22.0;
constexpr qreal loupeMargin = 8.0;
constexpr qreal windowLabelInset = 8.0;
constexpr qreal windowLabelHeight = 26.0;
constexpr qreal windowLabelMaxWidth = 360.0;
constexpr qreal instructionBottom = 64.0;
} // namespace

QPointF toView(const QPointF &global, const QPointF &origin)
{
    return global - origin;
}

QRectF toView(const QRectF &global, const QPointF &origin)
{
    return global.translated(-origin);
}

QRectF toGlobal(const QRectF &view, const QPointF &origin)
{
    return view.translated(origin);
}

QRectF dragRect(const QPointF &a, const QPointF &b, const QRectF &bounds)
{
    const QRectF spanned(QPointF(std::min(a.x(), b.x()), std::min(a.y(), b.y())),
                         QPointF(std::max(a.x(), b.x()), std::max(a.y(), b.y())));
    // QRectF::intersected treats zero-width rectangles as empty; keep a line
    // drag as a zero-area rectangle so that it is simply too small to deliver.
    const qreal left = std::clamp(spanned.left(), bounds.left(), bounds.right());
    const qreal right = std::clamp(spanned.right(), bounds.left(), bounds.right());
    const qreal top = std::clamp(spanned.top(), bounds.top(), bounds.bottom());
    const qreal bottom = std::clamp(spanned.bottom(), bounds.top(), bounds.bottom());
    return QRectF(QPointF(left, top), QPointF(right, bottom));
}

bool isDeliverable(const std::optional<QRectF> &selection)
{
    return selection && selection->width() >= minimumSide && selection->height() >= minimumSide;
}

QRectF nudged(const QRectF &selection, qreal dx, qreal dy, const QRectF &bounds)
{
    const QRectF moved = selection.translated(dx, dy);
    return dragRect(moved.topLeft(), moved.bottomRight(), bounds);
}

QString sizeText(const QRectF &selection)
{
    return QStringLiteral("%1 × %2")
        .arg(std::lround(selection.width()))
        .arg(std::lround(selection.height()));
}

QRectF sizeLabelRect(const QRectF &selection, const QSizeF &textSize, const QRectF &bounds)
{
    const qreal width = textSize.width() + 20;
    const qreal height = textSize.height() + 10;
    qreal y = selection.top() - labelGap - height;
    if (y < bounds.top() + labelMargin)
        y = selection.bottom() + labelGap;
    qreal x = selection.center().x() - width / 2;
    x = std::min(x, bounds.right() - labelMargin - width);
    x = std::max(x, bounds.left() + labelMargin);
    return QRectF(x, y, width, height);
}

QRectF loupeRect(const QPointF &pointer, const QRectF &bounds)
{
    qreal x = pointer.x() + loupeOffset;
    if (x + loupeSide > bounds.right() - loupeMargin)
        x = pointer.x() - loupeOffset - loupeSide;
    x = std::max(x, bounds.left() + loupeMargin);

    // Below the pointer unless it would reach the bottom margin, then above.
    qreal y = pointer.y() + loupeOffset;
    if (y + loupeSide > bounds.bottom() - loupeMargin)
        y = pointer.y() - loupeOffset - loupeSide;
    y = std::max(y, bounds.top() + loupeMargin);
    y = std::min(y, bounds.bottom() - loupeSide - loupeMargin);
    return QRectF(x, y, loupeSide, loupeSide);
}

QRect loupeSource(const QPointF &pointer, const QSize &snapshotPixels, const QSizeF &viewSize)
{
    if (snapshotPixels.isEmpty() || viewSize.isEmpty())
        return {};
    const qreal sx = snapshotPixels.width() / viewSize.width();
    const qreal sy = snapshotPixels.height() / viewSize.height();
    const QSizeF span(loupeSpan * sx, loupeSpan * sy);
    const QRectF source(
        QPointF(pointer.x() * sx - span.width() / 2, pointer.y() * sy - span.height() / 2), span);
    const QRectF pixels(QPointF(0, 0), QSizeF(snapshotPixels));
    const QRectF clipped = source.intersected(pixels);
    if (clipped.isEmpty())
        return {};
    const QRect whole(
        QPoint(int(std::floor(clipped.left())), int(std::floor(clipped.top()))),
        QPoint(int(std::ceil(clipped.right())) - 1, int(std::ceil(clipped.bottom())) - 1));
    return whole.intersected(QRect(QPoint(0, 0), snapshotPixels));
}

QList<QRectF> crosshairStrips(const QPointF &pointer, const QRectF &bounds)
{
    const qreal half = crosshairStripWidth / 2;
    return {QRectF(pointer.x() - half, bounds.top(), crosshairStripWidth, bounds.height()),
            QRectF(bounds.left(), pointer.y() - half, bounds.width(), crosshairStripWidth)};
}

QList<QRectF> guideStrips(const QRectF &selection, const QRectF &bounds)
{
    const qreal half = crosshairStripWidth / 2;
    QList<QRectF> strips;
    for (qreal x : {selection.left(), selection.right()})
        strips.append(QRectF(x - half, bounds.top(), crosshairStripWidth, bounds.height()));
    for (qreal y : {selection.top(), selection.bottom()})
        strips.append(QRectF(bounds.left(), y - half, bounds.width(), crosshairStripWidth));
    return strips;
}

std::optional<WindowInfo> windowAt(const QList<WindowInfo> &windows, const QPointF &point,
                                   const QPointF &origin)
{
    for (const WindowInfo &window : windows) {
        const QRectF frame = toView(window.frame, origin);
        if (point.x() >= frame.left() && point.x() < frame.right() && point.y() >= frame.top() &&
            point.y() < frame.bottom())
            return window;
    }
    return std::nullopt;
}

QRectF highlightRect(const WindowInfo &window, const QPointF &origin)
{
    return toView(window.frame, origin)
        .adjusted(-highlightGrowth, -highlightGrowth, highlightGrowth, highlightGrowth);
}

QRectF windowLabelRect(const QRectF &windowInView, qreal textWidth, const QRectF &bounds)
{
    const qreal width = std::min(textWidth + 20, windowLabelMaxWidth);
    qreal y = windowInView.top() + windowLabelInset;
    // Never closer than 4 points to the bottom of the view.
    y = std::min(y, bounds.bottom() - labelMargin - windowLabelHeight);
    return QRectF(windowInView.left() + windowLabelInset, y, width, windowLabelHeight);
}

QString instructionText(SelectionMode mode, bool windowMode)
{
    switch (mode) {
    case SelectionMode::screenshot:
        return windowMode
                   ? QStringLiteral("Click a window  ·  Space for area  ·  Esc to cancel")
                   : QStringLiteral("Drag to capture  ·  Space for window  ·  Esc to cancel");
    case SelectionMode::recording:
        return QStringLiteral("Drag to record  ·  Esc to cancel");
    case SelectionMode::scrolling:
        return QStringLiteral("Drag over the scrolling content  ·  Esc to cancel");
    }
    return {};
}

QRectF instructionRect(const QSizeF &textSize, const QRectF &bounds)
{
    const qreal width = textSize.width() + 32;
    const qreal height = textSize.height() + 16;
    return QRectF(bounds.center().x() - width / 2, bounds.top() + instructionBottom - height, width,
                  height);
}

} // namespace zorv::SelectionOverlayGeometry
