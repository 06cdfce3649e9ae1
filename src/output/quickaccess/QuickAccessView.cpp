#include "output/quickaccess/QuickAccessView.h"

#include "common/Trace.h"
#include "theme/Symbols.h"

#include <QApplication>
#include <QDrag>
#include <QEnterEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>

namespace zorv
{

namespace
{
constexpr int closeSize = 22;
constexpr int minimumTextWidth = 240;
// How long a finished drag's data stays available to a slow drop target.
constexpr int dropDataMs = 60'000;

// The round "Dismiss" button at the end of the title line.
class CloseButton : public QAbstractButton
{
  public:
    explicit CloseButton(QWidget *parent) : QAbstractButton(parent)
    {
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setToolTip(QStringLiteral("Dismiss"));
        setAccessibleName(QStringLiteral("Dismiss"));
        setObjectName(QStringLiteral("quickAccessDismiss"));
        setFixedSize(closeSize, closeSize);
    }

  protected:
    void enterEvent(QEnterEvent *event) override
    {
        m_hovering = true;
        update();
        QAbstractButton::enterEvent(event);
    }
    void leaveEvent(QEvent *event) override
    {
        m_hovering = false;
        update();
        QAbstractButton::leaveEvent(event);
    }
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor::fromRgbF(1, 1, 1, m_hovering ? 0.2f : 0.1f));
        painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
        constexpr int mark = 12;
        const QPixmap x = Symbols::pixmap(QStringLiteral("xmark"), mark,
                                          QColor::fromRgbF(1, 1, 1, 0.85f), devicePixelRatioF());
        painter.drawPixmap((width() - mark) / 2, (height() - mark) / 2, x);
    }

  private:
    bool m_hovering = false;
};

QLabel *makeLabel(const QString &text, int pixelSize, QFont::Weight weight, const QColor &color,
                  QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}
} // namespace

QuickAccessThumbnail::QuickAccessThumbnail(const QuickAccessPayload &payload,
                                           QuickAccessViewCallbacks &callbacks, QWidget *parent)
    : QWidget(parent), m_image(payload.hasImage() ? *payload.image : QImage()),
      m_imageLike(payload.isImageLike()), m_callbacks(callbacks)
{
    setFixedSize(thumbWidth, thumbHeight);
    setCursor(Qt::OpenHandCursor);
    setToolTip(QStringLiteral("Drag into another application"));
}

const QPixmap &QuickAccessThumbnail::scaled(const QSize &pixels)
{
    // Scaled once: a 4K capture scaled on every repaint would make hovering stutter.
    if (m_scaled.size() != pixels)
        m_scaled = QPixmap::fromImage(
            m_image.scaled(pixels, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation));
    return m_scaled;
}

void QuickAccessThumbnail::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), 12, 12);
    painter.setClipPath(outline);
    const qreal dpr = devicePixelRatioF();
    if (!m_image.isNull()) {
        // Fills the area, cropped at the centre, as a photo in a frame.
        const QSize pixels = (QSizeF(size()) * dpr).toSize();
        const QPixmap &pixmap = scaled(pixels);
        const QRectF source((pixmap.width() - pixels.width()) / 2.0,
                            (pixmap.height() - pixels.height()) / 2.0, pixels.width(),
                            pixels.height());
        painter.drawPixmap(QRectF(rect()), pixmap, source);
    } else {
        painter.fillRect(rect(), QColor::fromRgbF(0, 0, 0, 0.4f));
        constexpr int placeholder = 32;
        const QPixmap symbol =
            Symbols::pixmap(m_imageLike ? QStringLiteral("photo") : QStringLiteral("video"),
                            placeholder, QColor::fromRgbF(1, 1, 1, 0.6f), dpr);
        painter.drawPixmap((width() - placeholder) / 2, (height() - placeholder) / 2 - 8, symbol);
    }

    // The badge: a dark pill at the bottom with a move symbol and its words.
    QFont font = this->font();
    font.setPixelSize(10);
    font.setWeight(QFont::DemiBold);
    const QString words = QStringLiteral("Drag anywhere");
    const QFontMetrics metrics(font);
    constexpr int icon = 10;
    const int badgeWidth = 8 + icon + 4 + metrics.horizontalAdvance(words) + 8;
    const QRectF badge((width() - badgeWidth) / 2.0, height() - 8 - 18, badgeWidth, 18);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgbF(0, 0, 0, 0.55f));
    painter.drawRoundedRect(badge, 9, 9);
    painter.drawPixmap(QPointF(badge.left() + 8, badge.top() + 4),
                       Symbols::pixmap(QStringLiteral("arrow.up.and.down.and.arrow.left.and.right"),
                                       icon, Qt::white, dpr));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge.adjusted(8 + icon + 4, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft,
                     words);
    painter.setClipping(false);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.12f), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
}

void QuickAccessThumbnail::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_pressedAt = event->position().toPoint();
}

void QuickAccessThumbnail::mouseReleaseEvent(QMouseEvent *)
{
    m_pressedAt.reset();
}

void QuickAccessThumbnail::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_pressedAt || !(event->buttons() & Qt::LeftButton) ||
        (event->position().toPoint() - *m_pressedAt).manhattanLength() <
            QApplication::startDragDistance())
        return;
    m_pressedAt.reset();
    if (!m_callbacks.dragData)
        return;
    // Not owned by this window: a drop target may ask for the data after the
    // drag has ended, when a new capture has already replaced this panel.
    auto *drag = new QDrag(qApp);
    drag->setMimeData(m_callbacks.dragData());
    if (!m_image.isNull()) {
        const qreal dpr = devicePixelRatioF();
        QPixmap preview = QPixmap::fromImage(m_image.scaled(
            (QSizeF(120, 80) * dpr).toSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
        preview.setDevicePixelRatio(dpr);
        drag->setPixmap(preview);
        drag->setHotSpot(QPoint(int(preview.width() / dpr / 2), int(preview.height() / dpr / 2)));
    }
    // The controller keeps this window alive until the drag has ended.
    if (m_callbacks.dragStarted)
        m_callbacks.dragStarted();
    drag->exec(Qt::CopyAction);
    QTimer::singleShot(dropDataMs, drag, &QObject::deleteLater);
    if (m_callbacks.dragEnded)
        m_callbacks.dragEnded();
}

QuickAccessView::QuickAccessView(const QuickAccessPayload &payload, const QString &subtitle,
                                 bool translucent, QuickAccessViewCallbacks callbacks)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_callbacks(std::move(callbacks)), m_translucent(translucent)
{
    // Clicks on the tiles must leave the keyboard with the user's application.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Zorv Quick Access"));
    setAttribute(Qt::WA_Hover);

    const QList<QuickActionTile> tiles = quickActionTiles::forKind(payload.isImageLike());
    const int tilesWidth =
        int(tiles.size()) * QuickActionButton::tileWidth + int(tiles.size() - 1) * tileSpacing;
    const int rightWidth = std::max(tilesWidth, minimumTextWidth);
    const int left = outerMargin + padding;
    const int top = outerMargin + padding;
    const int rightX = left + QuickAccessThumbnail::thumbWidth + padding;
    const int contentHeight = QuickAccessThumbnail::thumbHeight;
    resize(rightX + rightWidth + padding + outerMargin,
           top + contentHeight + padding + outerMargin);

    auto *thumbnail = new QuickAccessThumbnail(payload, m_callbacks, this);
    thumbnail->move(left, top);

    m_close = new CloseButton(this);
    m_close->move(rightX + rightWidth - closeSize, top);
    connect(m_close, &QAbstractButton::clicked, this, [this] {
        if (m_callbacks.close)
            m_callbacks.close();
    });

    const int textWidth = rightWidth - closeSize - 8;
    m_title = makeLabel(payload.title, 15, QFont::Bold, Qt::white, this);
    m_title->setGeometry(rightX, top, textWidth, 20);
    m_subtitle = makeLabel(QString(), 12, QFont::Normal, QColor::fromRgbF(1, 1, 1, 0.65f), this);
    m_subtitle->setGeometry(rightX, top + 22, textWidth, 16);
    m_subtitle->setText(m_subtitle->fontMetrics().elidedText(subtitle, Qt::ElideMiddle, textWidth));
    m_subtitle->setToolTip(subtitle);
    m_subtitle->setObjectName(QStringLiteral("quickAccessSubtitle"));

    int x = rightX;
    const int tileY = top + contentHeight - QuickActionButton::tileHeight;
    for (const QuickActionTile &tile : tiles) {
        auto *button = new QuickActionButton(tile, this);
        button->move(x, tileY);
        x += QuickActionButton::tileWidth + tileSpacing;
        connect(button, &QAbstractButton::clicked, this, [this, action = tile.action] {
            if (m_callbacks.action)
                m_callbacks.action(action);
        });
        m_tiles.append(button);
    }

    if (!m_translucent) {
        // Without a compositor the transparent margin would show black: cut
        // the window to the sheet.
        setMask(QRegion(sheetPath().toFillPolygon().toPolygon()));
    }
}

QuickActionButton *QuickAccessView::tile(QuickAction action) const
{
    for (QuickActionButton *button : m_tiles)
        if (button->tile().action == action)
            return button;
    return nullptr;
}

QString QuickAccessView::subtitle() const
{
    return m_subtitle->toolTip();
}

QPainterPath QuickAccessView::sheetPath() const
{
    QPainterPath path;
    path.addRoundedRect(
        QRectF(rect()).adjusted(outerMargin, outerMargin, -outerMargin, -outerMargin), cornerRadius,
        cornerRadius);
    return path;
}

void QuickAccessView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath sheet = sheetPath();
    if (m_translucent) {
        if (m_shadow.isNull())
            m_shadow =
                softShadow(sheet.translated(0, 10), size(), 20, QColor::fromRgbF(0, 0, 0, 0.35f));
        // Only outside the sheet: under the translucent glass it would darken it.
        QPainterPath outside;
        outside.addRect(QRectF(rect()));
        painter.save();
        painter.setClipPath(outside.subtracted(sheet));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(QRectF(rect()), m_shadow);
        painter.restore();
    }
    GlassSurface{sheet, true}.paint(painter, m_translucent);
    if (!m_painted) {
        m_painted = true;
        Trace::mark("quick-access-painted");
    }
}

void QuickAccessView::enterEvent(QEnterEvent *event)
{
    if (m_callbacks.hover)
        m_callbacks.hover(true);
    QWidget::enterEvent(event);
}

void QuickAccessView::leaveEvent(QEvent *event)
{
    if (m_callbacks.hover)
        m_callbacks.hover(false);
    QWidget::leaveEvent(event);
}

} // namespace zorv
