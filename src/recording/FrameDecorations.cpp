#include "recording/FrameDecorations.h"

#include <QPainter>
#include <algorithm>

namespace zorv
{

void ClickMarks::add(const QList<PointerClick> &clicks)
{
    m_clicks.append(clicks);
}

void ClickMarks::draw(QImage &frame, int64_t timeNs)
{
    m_clicks.removeIf([timeNs](const PointerClick &c) { return timeNs - c.timeNs >= lifetimeNs; });
    if (m_clicks.isEmpty())
        return;
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    for (const PointerClick &click : std::as_const(m_clicks)) {
        const int64_t age = timeNs - click.timeNs;
        if (age < 0)
            continue; // pressed after this frame was grabbed
        const double progress = double(age) / double(lifetimeNs);
        const double radius = (8 + 20 * progress) * m_scale;
        const double width = 3 * m_scale;
        const int alpha = int(230 * (1 - progress));
        // A dark rim around a bright ring shows on light and dark content alike.
        painter.setPen(QPen(QColor(0, 0, 0, alpha / 2), width + 2 * m_scale));
        painter.drawEllipse(QPointF(click.position) + QPointF(0.5, 0.5), radius, radius);
        painter.setPen(QPen(QColor(255, 196, 0, alpha), width));
        painter.drawEllipse(QPointF(click.position) + QPointF(0.5, 0.5), radius, radius);
    }
}

FrameDecorations::FrameDecorations(std::shared_ptr<CursorSource> cursor,
                                   std::shared_ptr<ClickSource> clicks, double scale)
    : m_cursor(std::move(cursor)), m_clickSource(std::move(clicks)), m_marks(scale)
{
}

void FrameDecorations::draw(QImage &frame, const QSize &visible, int64_t timeNs)
{
    if (m_clickSource)
        m_marks.add(m_clickSource->takeClicks());
    std::optional<CursorSnapshot> cursor;
    if (m_cursor)
        cursor = m_cursor->current();
    const bool drawCursor = cursor && cursor->visible && !cursor->image.isNull();
    if (m_marks.active() == 0 && !drawCursor)
        return;
    // Marks and pointer stay inside the grabbed part; the padding repeats it.
    QImage view(frame.bits(), visible.width(), visible.height(), frame.bytesPerLine(),
                frame.format());
    m_marks.draw(view, timeNs);
    if (drawCursor) {
        QPainter painter(&view);
        painter.drawImage(cursor->position - cursor->hotspot, cursor->image);
    }
}

} // namespace zorv
