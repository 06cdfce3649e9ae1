#include "output/quickaccess/QuickActionButton.h"

#include "theme/Symbols.h"
#include "theme/Theme.h"

#include <QPainter>

namespace zorv
{

namespace quickActionTiles
{
QList<QuickActionTile> forKind(bool imageLike)
{
    using A = QuickAction;
    QList<QuickActionTile> tiles;
    if (imageLike) {
        tiles = {{A::edit, QStringLiteral("Edit"), QStringLiteral("pencil.tip"), true, false},
                 {A::copy, QStringLiteral("Copy"), QStringLiteral("doc.on.doc")},
                 {A::save, QStringLiteral("Save"), QStringLiteral("square.and.arrow.down")},
                 {A::pin, QStringLiteral("Pin"), QStringLiteral("pin")},
                 {A::text, QStringLiteral("Text"), QStringLiteral("text.viewfinder")},
                 {A::link, QStringLiteral("Link"), QStringLiteral("link")}};
    } else {
        tiles = {{A::play, QStringLiteral("Play"), QStringLiteral("play.fill"), true, false},
                 {A::copy, QStringLiteral("Copy"), QStringLiteral("doc.on.doc")},
                 {A::link, QStringLiteral("Link"), QStringLiteral("link")},
                 {A::folder, QStringLiteral("Folder"), QStringLiteral("folder")}};
    }
    tiles.append({A::remove, QStringLiteral("Delete"), QStringLiteral("trash"), false, true});
    return tiles;
}
} // namespace quickActionTiles

QuickActionButton::QuickActionButton(QuickActionTile tile, QWidget *parent)
    : QAbstractButton(parent), m_tile(std::move(tile))
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(m_tile.title);
    setText(m_tile.title);
    setObjectName(QStringLiteral("quickAction_") + m_tile.title);
    setFixedSize(tileWidth, tileHeight);
}

void QuickActionButton::enterEvent(QEnterEvent *event)
{
    m_hovering = true;
    update();
    QAbstractButton::enterEvent(event);
}

void QuickActionButton::leaveEvent(QEvent *event)
{
    m_hovering = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void QuickActionButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool lit = m_hovering && isEnabled();
    if (!isEnabled())
        painter.setOpacity(0.38);
    QColor fill;
    if (m_tile.primary) {
        fill = Theme::accent();
        fill.setAlphaF(lit ? 1.0f : 0.92f);
    } else {
        fill = QColor::fromRgbF(1, 1, 1, lit ? 0.13f : 0.06f);
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);

    const QColor ink = m_tile.destructive ? QColor::fromRgbF(1.0f, 0.54f, 0.5f) : Qt::white;
    constexpr int symbolSize = 16;
    const QPixmap icon = Symbols::pixmap(m_tile.symbol, symbolSize, ink, devicePixelRatioF());
    painter.drawPixmap((width() - symbolSize) / 2, 11, icon);

    QFont font = this->font();
    font.setPixelSize(11);
    font.setWeight(QFont::Medium);
    painter.setFont(font);
    painter.setPen(ink);
    painter.drawText(QRectF(0, 32, width(), 16), Qt::AlignCenter, m_tile.title);
}

} // namespace zorv
