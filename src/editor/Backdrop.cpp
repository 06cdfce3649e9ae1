#include "editor/Backdrop.h"

#include "editor/ColorHex.h"
#include "editor/effects/ImageFilters.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace zorv
{

const QList<BackdropPreset> &Backdrop::presets()
{
    static const QList<BackdropPreset> list = {
        {QStringLiteral("Indigo"),
         {QStringLiteral("#4C5BFF"), QStringLiteral("#A24BE0"), QStringLiteral("#FF7A59")}},
        {QStringLiteral("Ocean"), {QStringLiteral("#0A84FF"), QStringLiteral("#40C8E0")}},
        {QStringLiteral("Sunset"), {QStringLiteral("#FF9F0A"), QStringLiteral("#FF375F")}},
        {QStringLiteral("Mint"), {QStringLiteral("#30D158"), QStringLiteral("#0FB5AE")}},
        {QStringLiteral("Midnight"), {QStringLiteral("#1A1C2A"), QStringLiteral("#3A2F6B")}},
        {QStringLiteral("Graphite"), {QStringLiteral("#2C2C34"), QStringLiteral("#3A3A44")}},
        {QStringLiteral("Paper"), {QStringLiteral("#F2F0EB"), QStringLiteral("#E6E2D8")}},
    };
    return list;
}

const BackdropPreset &Backdrop::preset() const
{
    const int last = int(presets().size()) - 1;
    return presets()[std::clamp(presetIndex, 0, last)];
}

void Backdrop::drawBackground(QPainter &painter, const QRectF &canvas, const QRectF &imageRect,
                              double radius) const
{
    QList<QColor> colors;
    for (const QString &text : preset().colors) {
        if (auto color = colorHex::parse(text))
            colors.append(*color);
    }

    painter.save();
    painter.setClipRect(canvas, Qt::IntersectClip);
    if (!colors.isEmpty()) {
        QLinearGradient gradient(canvas.topLeft(), canvas.bottomRight());
        const qsizetype count = colors.size();
        for (qsizetype i = 0; i < count; ++i)
            gradient.setColorAt(count == 1 ? 0.0 : double(i) / double(count - 1), colors[i]);
        gradient.setSpread(QGradient::PadSpread);
        painter.fillRect(canvas, gradient);
    }
    if (shadow > 0)
        drawShadow(painter, imageRect, radius);
    painter.restore();
}

void Backdrop::drawShadow(QPainter &painter, const QRectF &imageRect, double radius) const
{
    const double blur = shadow * std::max(imageRect.width(), imageRect.height()) * 0.035;
    // A shadow's blur value spreads about twice the standard deviation.
    const double sigma = blur / 2;
    const double alpha = std::min(shadow * 0.55, 1.0);
    // y runs downwards here, so "below the image" is a positive offset.
    const QRectF shape = imageRect.translated(0, 0.45 * blur);
    if (sigma < 0.5) {
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(shape, radius, radius);
        painter.fillPath(path, QColor(0, 0, 0, int(std::lround(alpha * 255))));
        return;
    }

    // The shadow is smooth, so it is blurred at a resolution of a few pixels per
    // sigma and scaled up; a 4K image's shadow then costs a small mask.
    const double scale = std::min(1.0, 4.0 / sigma);
    const double margin = std::ceil(3 * sigma) + 1;
    const QRectF area = shape.adjusted(-margin, -margin, margin, margin);
    const QSize maskSize(std::max(1, int(std::ceil(area.width() * scale))),
                         std::max(1, int(std::ceil(area.height() * scale))));
    QImage mask(maskSize, QImage::Format_ARGB32_Premultiplied);
    if (mask.isNull())
        return;
    mask.fill(Qt::transparent);
    {
        QPainter maskPainter(&mask);
        maskPainter.setRenderHint(QPainter::Antialiasing);
        maskPainter.scale(scale, scale);
        maskPainter.translate(-area.topLeft());
        QPainterPath path;
        path.addRoundedRect(shape, radius, radius);
        maskPainter.fillPath(path, Qt::black);
    }
    mask = imageFilters::gaussianBlur(mask, sigma * scale, imageFilters::Threads::single);

    painter.setOpacity(painter.opacity() * alpha);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QRectF target(area.topLeft(),
                        QSizeF(maskSize.width() / scale, maskSize.height() / scale));
    painter.drawImage(target, mask);
}

} // namespace zorv
