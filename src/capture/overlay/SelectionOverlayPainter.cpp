#include "capture/overlay/SelectionOverlayPainter.h"

#include "capture/overlay/SelectionOverlayGeometry.h"
#include "capture/overlay/SelectionOverlayView.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>

namespace zorv::SelectionOverlayPainter
{

namespace Geometry = SelectionOverlayGeometry;

namespace
{

QFont systemFont(int pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    return font;
}

QSizeF textSize(const QFont &font, const QString &text)
{
    const QFontMetricsF metrics(font);
    return QSizeF(metrics.horizontalAdvance(text), metrics.height());
}

QColor white(qreal alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

QColor black(qreal alpha)
{
    return QColor::fromRgbF(0, 0, 0, float(alpha));
}

QColor accent()
{
    return QGuiApplication::palette().color(QPalette::Highlight);
}

void fillRounded(QPainter &painter, const QRectF &rect, qreal radius, const QColor &color)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    painter.fillPath(path, color);
}

void drawLine(QPainter &painter, const QLineF &line, qreal width, const QColor &color)
{
    painter.setPen(QPen(color, width, Qt::SolidLine, Qt::FlatCap));
    painter.drawLine(line);
}

void drawDimming(QPainter &painter, const SelectionOverlayView &view, const QRectF &dirty)
{
    std::optional<QRectF> hole;
    if (view.isWindowMode()) {
        if (auto window = view.hoveredWindow())
            hole = Geometry::toView(window->frame, view.origin());
    } else {
        hole = view.selection();
    }
    const QColor dim = black(0.42);
    if (!hole || hole->width() <= 0 || hole->height() <= 0 || !hole->intersects(dirty)) {
        painter.fillRect(dirty, dim);
        return;
    }
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(dirty);
    path.addRect(*hole);
    painter.fillPath(path, dim);
}

void drawSizeLabel(QPainter &painter, const QRectF &selection, const QRectF &bounds)
{
    const QFont font = sizeLabelFont();
    const QString text = Geometry::sizeText(selection);
    const QSizeF size = textSize(font, text);
    const QRectF background = Geometry::sizeLabelRect(selection, size, bounds);
    fillRounded(painter, background, 6, black(0.72));
    painter.setFont(font);
    painter.setPen(Qt::white);
    const QRectF textRect(background.left() + 10, background.bottom() - 5 - size.height(),
                          size.width(), size.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop, text);
}

void drawSelection(QPainter &painter, const QRectF &selection, const QRectF &bounds)
{
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(selection.adjusted(0.5, 0.5, -0.5, -0.5));

    const QColor guide = white(0.25);
    for (qreal x : {selection.left(), selection.right()})
        drawLine(painter, QLineF(x, bounds.top(), x, bounds.bottom()), 0.5, guide);
    for (qreal y : {selection.top(), selection.bottom()})
        drawLine(painter, QLineF(bounds.left(), y, bounds.right(), y), 0.5, guide);

    drawSizeLabel(painter, selection, bounds);
}

void drawCrosshair(QPainter &painter, const QPointF &point, const QRectF &bounds)
{
    const QColor line = white(0.30);
    drawLine(painter, QLineF(point.x(), bounds.top(), point.x(), bounds.bottom()), 0.5, line);
    drawLine(painter, QLineF(bounds.left(), point.y(), bounds.right(), point.y()), 0.5, line);
}

void drawLoupe(QPainter &painter, const SelectionOverlayView &view, const QRectF &dirty)
{
    const auto pointer = view.mousePoint();
    const QImage &snapshot = view.snapshot();
    if (snapshot.isNull() || !pointer)
        return;
    const QRectF square = Geometry::loupeRect(*pointer, view.bounds());
    if (!square.intersects(dirty))
        return;

    fillRounded(painter, square, 8, Qt::black);
    const QRect source = Geometry::loupeSource(*pointer, snapshot.size(), view.bounds().size());
    if (!source.isEmpty()) {
        painter.save();
        QPainterPath clip;
        clip.addRoundedRect(square.adjusted(1, 1, -1, -1), 7, 7);
        painter.setClipPath(clip, Qt::IntersectClip);
        // Magnified pixels stay sharp: no smoothing.
        painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
        painter.drawImage(square, snapshot, QRectF(source));
        painter.restore();
    }
    painter.setPen(QPen(white(0.9), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(square.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);

    const QPointF centre = square.center();
    const QColor red = QColor::fromRgbF(1, 0, 0, 0.9f);
    drawLine(painter, QLineF(centre.x() - 6, centre.y(), centre.x() + 6, centre.y()), 1, red);
    drawLine(painter, QLineF(centre.x(), centre.y() - 6, centre.x(), centre.y() + 6), 1, red);
}

void drawWindowHighlight(QPainter &painter, const SelectionOverlayView &view, const QRectF &dirty)
{
    const auto window = view.hoveredWindow();
    if (!window)
        return;
    const QRectF rect = Geometry::toView(window->frame, view.origin());
    const QRectF label = windowLabelRect(*window, view.origin(), view.bounds());
    if (!Geometry::highlightRect(*window, view.origin()).intersects(dirty) &&
        !label.intersects(dirty))
        return;

    const QColor colour = accent();
    QColor fill = colour;
    fill.setAlphaF(0.12f);
    fillRounded(painter, rect, 6, fill);
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(rect.adjusted(1, 1, -1, -1), 5, 5);

    fillRounded(painter, label, 6, black(0.78));
    painter.save();
    const QRectF textBox = label.adjusted(10, 6, -10, -6);
    painter.setClipRect(textBox, Qt::IntersectClip);
    painter.setFont(windowLabelFont());
    painter.setPen(Qt::white);
    painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                     window->displayName());
    painter.restore();
}

void drawInstruction(QPainter &painter, const SelectionOverlayView &view, const QRectF &dirty)
{
    const QFont font = instructionFont();
    const QString text = Geometry::instructionText(view.mode(), view.isWindowMode());
    const QSizeF size = textSize(font, text);
    const QRectF background = Geometry::instructionRect(size, view.bounds());
    if (!background.intersects(dirty))
        return;
    fillRounded(painter, background, 12, black(0.60));
    painter.setFont(font);
    painter.setPen(white(0.92));
    const QRectF textRect(background.left() + 16, background.bottom() - 8 - size.height(),
                          size.width(), size.height());
    painter.drawText(textRect, Qt::AlignLeft | Qt::AlignTop, text);
}

} // namespace

QFont sizeLabelFont()
{
    return systemFont(12, QFont::DemiBold);
}

QFont windowLabelFont()
{
    return systemFont(12, QFont::DemiBold);
}

QFont instructionFont()
{
    return systemFont(13, QFont::Medium);
}

QRectF sizeLabelRect(const QRectF &selection, const QRectF &bounds)
{
    const QSizeF size = textSize(sizeLabelFont(), Geometry::sizeText(selection));
    return Geometry::sizeLabelRect(selection, size, bounds);
}

QRectF windowLabelRect(const WindowInfo &window, const QPointF &origin, const QRectF &bounds)
{
    const qreal width = QFontMetricsF(windowLabelFont()).horizontalAdvance(window.displayName());
    return Geometry::windowLabelRect(Geometry::toView(window.frame, origin), width, bounds);
}

void paint(QPainter &painter, const SelectionOverlayView &view, const QRectF &dirty,
           const Underlay &underlay)
{
    painter.save();
    painter.setClipRect(dirty, Qt::IntersectClip);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(dirty, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (underlay)
        underlay(painter, dirty);
    painter.setRenderHint(QPainter::Antialiasing, true);

    drawDimming(painter, view, dirty);
    if (view.isWindowMode()) {
        drawWindowHighlight(painter, view, dirty);
    } else {
        const auto selection = view.selection();
        if (selection && selection->width() > 0 && selection->height() > 0)
            drawSelection(painter, *selection, view.bounds());
        else if (auto pointer = view.mousePoint())
            drawCrosshair(painter, *pointer, view.bounds());
        drawLoupe(painter, view, dirty);
    }
    drawInstruction(painter, view, dirty);
    painter.restore();
}

} // namespace zorv::SelectionOverlayPainter
