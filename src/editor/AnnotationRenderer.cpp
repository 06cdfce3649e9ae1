#include "editor/AnnotationRenderer.h"

#include "editor/ColorHex.h"

#include <QFontDatabase>
#include <QPaintDevice>
#include <QPainter>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace zorv::AnnotationRenderer
{

namespace
{

constexpr double inchesPerMeter = 1.0 / 0.0254;

// Text is shaped for this device so that sizes come out in image pixels on any
// target: a widget, a 96-dpi image or a printer.
const QPaintDevice *referenceDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(int(std::lround(72 * inchesPerMeter)));
        image.setDotsPerMeterY(int(std::lround(72 * inchesPerMeter)));
        return image;
    }();
    return &device;
}

QFont systemFont(double pixelSize, QFont::Weight weight)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(std::max(pixelSize, 0.5));
    font.setWeight(weight);
    return font;
}

// Wide enough for any label, small enough for the layout's fixed-point units.
constexpr double unboundedWidth = 1e6;

QString layoutText(const QString &text)
{
    // QTextLayout breaks lines only at the Unicode line separator.
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\n'), QChar::LineSeparator);
    result.replace(QLatin1Char('\r'), QChar::LineSeparator);
    return result;
}

// Lays text out in lines no wider than `width`; the result is measured and
// drawn as it is, so the drawing always matches the measurement.
struct LaidOutText {
    std::unique_ptr<QTextLayout> layout;
    QSizeF size;
};

LaidOutText layOut(const QString &text, const QFont &font, const QTextOption &option, double width)
{
    LaidOutText result;
    result.layout = std::make_unique<QTextLayout>(layoutText(text), font, referenceDevice());
    QTextLayout &layout = *result.layout;
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    double y = 0;
    double widest = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        widest = std::max(widest, line.naturalTextWidth());
    }
    layout.endLayout();
    result.size = QSizeF(widest, y);
    return result;
}

LaidOutText layOutAnnotationText(const Annotation &a, QSizeF imageSize)
{
    const TextAttributes attributes = textAttributes(a);
    return layOut(a.text, attributes.font, attributes.option, textWrapWidth(a, imageSize));
}

QPen roundPen(const QColor &color, double width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawArrow(QPainter &painter, const Annotation &a, const QColor &color, double w)
{
    const ArrowHead head = arrowHead(a.start, a.end, w);
    painter.setPen(roundPen(color, w));
    painter.drawLine(a.start, a.end);
    QPen headPen(color, w, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    // The tip's angle needs a miter of about 2.3 widths; Qt's default limit of
    // 2 would blunt it into a bevel.
    headPen.setMiterLimit(10);
    painter.setPen(headPen);
    const QPointF head3[] = {head.wing1, a.end, head.wing2};
    painter.drawPolyline(head3, 3);
}

void drawText(QPainter &painter, const Annotation &a, const QColor &color, QSizeF imageSize)
{
    if (a.text.isEmpty())
        return;
    const LaidOutText text = layOutAnnotationText(a, imageSize);
    painter.setPen(color);
    text.layout->draw(&painter, a.start);
}

void drawNumber(QPainter &painter, const Annotation &a, const QColor &color)
{
    const double d = numberBadgeDiameter(a.fontSize);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(a.start, d / 2, d / 2);
    painter.setBrush(Qt::NoBrush);

    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    const LaidOutText label = layOut(QString::number(a.number), systemFont(0.55 * d, QFont::Bold),
                                     option, unboundedWidth);
    painter.setPen(Qt::white);
    label.layout->draw(&painter,
                       a.start - QPointF(label.size.width() / 2, label.size.height() / 2));
}

void drawEffect(QPainter &painter, const Annotation &a, const QImage &effect, QSizeF imageSize)
{
    const QRectF area = a.bounds();
    if (effect.isNull() || area.width() <= 1 || area.height() <= 1)
        return;
    const double radius = effectCornerRadius(area);
    QPainterPath clip;
    clip.addRoundedRect(area, radius, radius);
    painter.save();
    painter.setClipPath(clip, Qt::IntersectClip);
    painter.drawImage(QRectF(QPointF(0, 0), imageSize), effect);
    painter.restore();
}

void drawSpotlight(QPainter &painter, const Annotation &a, QSizeF imageSize)
{
    const QRectF area = a.bounds();
    const double radius = spotlightCornerRadius(area);
    QPainterPath path;
    path.setFillRule(Qt::OddEvenFill);
    path.addRect(QRectF(QPointF(0, 0), imageSize));
    path.addRoundedRect(area, radius, radius);
    painter.fillPath(path, QColor::fromRgbF(0, 0, 0, 0.55f));
}

void renderOne(QPainter &painter, const Annotation &a, const QImage &base, QSizeF imageSize,
               ImageEffects &effects)
{
    const QColor color = colorHex::parseOrRed(a.colorHex);
    const double w = std::max(a.lineWidth, 1.0);
    painter.setBrush(Qt::NoBrush);
    switch (a.tool) {
    case AnnotationTool::select:
    case AnnotationTool::crop:
        return;
    case AnnotationTool::arrow:
        drawArrow(painter, a, color, w);
        return;
    case AnnotationTool::line:
        painter.setPen(roundPen(color, w));
        painter.drawLine(a.start, a.end);
        return;
    case AnnotationTool::rectangle: {
        const QRectF r = a.bounds();
        const double radius = rectangleCornerRadius(r);
        painter.setPen(roundPen(color, w));
        painter.drawRoundedRect(r, radius, radius);
        return;
    }
    case AnnotationTool::ellipse:
        painter.setPen(roundPen(color, w));
        painter.drawEllipse(a.bounds());
        return;
    case AnnotationTool::freehand:
        if (a.points.size() >= 2) {
            painter.setPen(roundPen(color, w));
            painter.drawPath(smoothedPath(a.points));
        }
        return;
    case AnnotationTool::highlighter:
        if (a.points.size() >= 2) {
            QColor translucent = color;
            translucent.setAlphaF(0.4f);
            painter.setPen(roundPen(translucent, 3.2 * w));
            painter.drawPath(smoothedPath(a.points));
        }
        return;
    case AnnotationTool::text:
        drawText(painter, a, color, imageSize);
        return;
    case AnnotationTool::number:
        drawNumber(painter, a, color);
        return;
    case AnnotationTool::blur:
        drawEffect(painter, a, effects.blurred(base, a.blurRadius), imageSize);
        return;
    case AnnotationTool::pixelate:
        drawEffect(painter, a, effects.pixelated(base, a.pixelScale), imageSize);
        return;
    case AnnotationTool::spotlight:
        drawSpotlight(painter, a, imageSize);
        return;
    }
}

} // namespace

QFont TextAttributes::fontFor(const QPaintDevice &device, double scale) const
{
    QFont sized = font;
    sized.setPointSizeF(std::max(font.pointSizeF() * scale * 72.0 / device.logicalDpiY(), 0.5));
    return sized;
}

TextAttributes textAttributes(const Annotation &annotation)
{
    TextAttributes attributes;
    attributes.font = systemFont(annotation.fontSize, QFont::DemiBold);
    attributes.color = colorHex::parseOrRed(annotation.colorHex);
    attributes.option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    attributes.option.setAlignment(Qt::AlignLeft);
    return attributes;
}

double textWrapWidth(const Annotation &annotation, QSizeF imageSize)
{
    return std::max(imageSize.width() - annotation.start.x() - 24, 40.0);
}

QSizeF textBoxSize(const Annotation &annotation, QSizeF imageSize)
{
    const QSizeF measured = layOutAnnotationText(annotation, imageSize).size;
    return QSizeF(std::max(24.0, measured.width() + 4),
                  std::max(annotation.fontSize, measured.height()));
}

QPainterPath smoothedPath(const QList<QPointF> &p)
{
    QPainterPath path;
    const qsizetype n = p.size();
    if (n == 0)
        return path;
    path.moveTo(p[0]);
    if (n == 1)
        return path;
    if (n == 2) {
        path.lineTo(p[1]);
        return path;
    }
    path.cubicTo(p[0] + (p[1] - p[0]) / 6, p[1] - (p[2] - p[0]) / 6, p[1]);
    for (qsizetype i = 2; i < n; ++i) {
        const QPointF &next = p[std::min(i + 1, n - 1)];
        path.cubicTo(p[i - 1] + (p[i] - p[i - 2]) / 6, p[i] - (next - p[i - 1]) / 6, p[i]);
    }
    return path;
}

ArrowHead arrowHead(QPointF start, QPointF end, double strokeWidth)
{
    const double angle = std::atan2(end.y() - start.y(), end.x() - start.x());
    const double length = std::max(3.4 * strokeWidth, 12.0);
    constexpr double halfAngle = std::numbers::pi / 7;
    auto wing = [&](double a) { return end - length * QPointF(std::cos(a), std::sin(a)); };
    return {wing(angle - halfAngle), wing(angle + halfAngle), length};
}

double rectangleCornerRadius(const QRectF &bounds)
{
    return std::min(0.2 * std::min(bounds.width(), bounds.height()), 8.0);
}

double effectCornerRadius(const QRectF &bounds)
{
    return std::min(0.15 * std::min(bounds.width(), bounds.height()), 8.0);
}

double spotlightCornerRadius(const QRectF &bounds)
{
    return std::min(0.15 * std::min(bounds.width(), bounds.height()), 10.0);
}

double numberBadgeDiameter(double fontSize)
{
    return std::max(1.5 * fontSize, 24.0);
}

void render(QPainter &painter, const QList<Annotation> &annotations, const QImage &base,
            QSizeF imageSize, ImageEffects &effects)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    for (const Annotation &annotation : annotations) {
        painter.save();
        renderOne(painter, annotation, base, imageSize, effects);
        painter.restore();
    }
    painter.restore();
}

} // namespace zorv::AnnotationRenderer
