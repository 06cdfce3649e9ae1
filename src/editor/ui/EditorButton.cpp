#include "editor/ui/EditorButton.h"

#include "editor/ui/EditorStyle.h"
#include "theme/Symbols.h"
#include "theme/Theme.h"

#include <QEnterEvent>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace zorv
{

namespace
{
constexpr int symbolSize = 16;
constexpr int trailingSize = 11;
constexpr int gap = 6;
constexpr int sidePadding = 10;

// Buttons repaint on every hover; the symbols are rendered from SVG once.
QPixmap cachedSymbol(const QString &symbol, int size, const QColor &colour, qreal ratio)
{
    static QHash<QString, QPixmap> cache;
    const QString key = QStringLiteral("%1|%2|%3|%4")
                            .arg(symbol)
                            .arg(size)
                            .arg(colour.name(QColor::HexArgb))
                            .arg(ratio);
    auto found = cache.constFind(key);
    if (found != cache.constEnd())
        return *found;
    const QPixmap pixmap = Symbols::pixmap(symbol, size, colour, ratio);
    cache.insert(key, pixmap);
    return pixmap;
}
} // namespace

EditorButton::EditorButton(const QString &symbol, const QString &label, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol)
{
    setText(label);
    setAccessibleName(label);
    setFocusPolicy(Qt::TabFocus);
    setCursor(Qt::ArrowCursor);
}

void EditorButton::setSymbol(const QString &symbol)
{
    m_symbol = symbol;
    update();
}

void EditorButton::setTrailingSymbol(const QString &symbol)
{
    m_trailingSymbol = symbol;
    updateGeometry();
    update();
}

void EditorButton::setBody(Body body)
{
    m_body = body;
    update();
}

void EditorButton::setRadius(qreal radius)
{
    m_radius = radius;
    update();
}

void EditorButton::setFill(const QColor &fill)
{
    m_fill = fill;
    update();
}

void EditorButton::setBodyScale(qreal scale)
{
    m_bodyScale = scale;
    update();
}

void EditorButton::setHelp(const QString &help)
{
    setToolTip(help);
    if (text().isEmpty())
        setAccessibleName(help);
    else
        setAccessibleDescription(help);
}

QSize EditorButton::sizeHint() const
{
    int width = 2 * sidePadding;
    if (!m_symbol.isEmpty())
        width += symbolSize;
    if (!text().isEmpty())
        width += (m_symbol.isEmpty() ? 0 : gap) + fontMetrics().horizontalAdvance(text());
    if (!m_trailingSymbol.isEmpty())
        width += gap + trailingSize;
    return {width, 30};
}

void EditorButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (m_bodyScale != 1) {
        const QPointF centre = bounds.center();
        bounds.setSize(bounds.size() * m_bodyScale);
        bounds.moveCenter(centre);
    }

    QColor body;
    if (m_fill.isValid())
        body = m_fill;
    else if (isChecked() || m_body == Body::accent)
        body = Theme::accent();
    else if (m_body == Body::filled)
        body = editorStyle::controlFill();
    if (isEnabled() && (isDown() || m_hovered)) {
        if (body.isValid() && body.alphaF() > 0.5f)
            body = body.lighter(isDown() ? 90 : 112);
        else
            body = isDown() ? editorStyle::controlPressed() : editorStyle::controlHover();
    }
    if (body.isValid()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(body);
        painter.drawRoundedRect(bounds, m_radius, m_radius);
    }
    if (hasFocus())
        editorStyle::paintFocusRing(painter, bounds, m_radius);

    const bool onColour = m_fill.isValid() || isChecked() || m_body == Body::accent;
    QColor ink = onColour ? QColor(Qt::white) : editorStyle::text();
    if (!isEnabled())
        ink = Theme::mix(editorStyle::panelBackground(), editorStyle::text(), 0.35);

    const int textWidth = text().isEmpty() ? 0 : fontMetrics().horizontalAdvance(text());
    int content = 0;
    if (!m_symbol.isEmpty())
        content += symbolSize;
    if (textWidth)
        content += (m_symbol.isEmpty() ? 0 : gap) + textWidth;
    if (!m_trailingSymbol.isEmpty())
        content += gap + trailingSize;
    qreal x = (width() - content) / 2.0;
    const qreal mid = height() / 2.0;
    const qreal ratio = devicePixelRatioF();
    if (!m_symbol.isEmpty()) {
        painter.drawPixmap(QPointF(x, mid - symbolSize / 2.0),
                           cachedSymbol(m_symbol, symbolSize, ink, ratio));
        x += symbolSize + gap;
    }
    if (textWidth) {
        painter.setPen(ink);
        painter.drawText(QRectF(x, 0, textWidth + 1, height()), Qt::AlignVCenter | Qt::AlignLeft,
                         text());
        x += textWidth + gap;
    }
    if (!m_trailingSymbol.isEmpty())
        painter.drawPixmap(QPointF(x, mid - trailingSize / 2.0),
                           cachedSymbol(m_trailingSymbol, trailingSize, ink, ratio));
}

void EditorButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void EditorButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void EditorButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange)
        m_hovered = m_hovered && isEnabled();
    QAbstractButton::changeEvent(event);
}

} // namespace zorv
