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
