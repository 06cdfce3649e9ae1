#include "theme/GlassSurface.h"

#include "theme/Theme.h"

#include <QBitmap>
#include <QLinearGradient>
#include <QPainter>

namespace zorv
{

void GlassSurface::paint(QPainter &painter, bool translucent) const
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.fillPath(shape, Theme::glassBackdrop(translucent));
    painter.fillPath(shape, Theme::darkGlassFill());
    if (glossy)
        painter.fillPath(shape, Theme::glassTintIndigo());
    painter.restore();
    paintGlossSheen(painter, shape);
}

void paintGlossSheen(QPainter &painter, const QPainterPath &shape)
{
    const QRectF box = shape.boundingRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipPath(shape, Qt::IntersectClip);

    QLinearGradient fill(box.topLeft(), box.bottomLeft());
    fill.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.22f));
    fill.setColorAt(0.28, QColor::fromRgbF(1, 1, 1, 0.06f));
    fill.setColorAt(0.55, Qt::transparent);
    fill.setColorAt(1, Qt::transparent);
    painter.fillPath(shape, fill);

    QLinearGradient rim(box.topLeft(), box.bottomRight());
    rim.setColorAt(0, QColor::fromRgbF(1, 1, 1, 0.70f));
    rim.setColorAt(0.5, QColor::fromRgbF(1, 1, 1, 0.15f));
    rim.setColorAt(1, QColor::fromRgbF(1, 1, 1, 0.35f));
    // Twice the visible width: the clip keeps the inner half.
    painter.strokePath(shape, QPen(QBrush(rim), 3.0));
    painter.restore();
}

namespace
{

// One horizontal box-blur pass over the alpha of a black image, written
// transposed so that two calls blur both directions.
QImage blurAlphaTransposed(const QImage &source, int radius)
{
    QImage result(source.height(), source.width(), QImage::Format_ARGB32_Premultiplied);
    const int width = source.width();
    const int window = 2 * radius + 1;
    for (int y = 0; y < source.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(source.constScanLine(y));
        int sum = 0;
        for (int x = -radius - 1; x < radius; ++x)
            sum += x >= 0 && x < width ? qAlpha(in[x]) : 0;
        for (int x = 0; x < width; ++x) {
            const int enter = x + radius, leave = x - radius - 1;
            sum += enter < width ? qAlpha(in[enter]) : 0;
            sum -= leave >= 0 ? qAlpha(in[leave]) : 0;
            auto *out = reinterpret_cast<QRgb *>(result.scanLine(x));
            out[y] = qRgba(0, 0, 0, sum / window);
        }
    }
    return result;
}

} // namespace

QImage softShadow(const QPainterPath &shape, const QSize &size, qreal blurRadius,
                  const QColor &color)
{
    constexpr qreal scale = 0.25;
    const QSize small = (QSizeF(size) * scale).toSize().expandedTo(QSize(1, 1));
    QImage image(small, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        painter.fillPath(shape, Qt::black);
    }
    // Two box passes per direction come close to a Gaussian.
    const int radius = std::max(1, int(std::lround(blurRadius * scale / 2)));
    for (int pass = 0; pass < 2; ++pass)
        image = blurAlphaTransposed(blurAlphaTransposed(image, radius), radius);
    // Tint: the alpha carries the shape; colour it in one composition.
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    return image;
}

void ShapedGlassMask::setMakePath(MakePath makePath)
{
    m_makePath = std::move(makePath);
    m_maskedSize = {};
    m_region = {};
}

const QRegion &ShapedGlassMask::region(const QSize &size)
{
    if (!m_makePath || size == m_maskedSize)
        return m_region;
    m_maskedSize = size;
    ++m_rebuilds;
    // Filled as a 1-bit image so the region follows the curves, not a polygon.
    QBitmap bitmap(size);
    bitmap.fill(Qt::color0);
    QPainter painter(&bitmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawPath(m_makePath(QRectF(QPointF(0, 0), QSizeF(size))));
    painter.end();
    m_region = QRegion(bitmap);
    return m_region;
}

} // namespace zorv
