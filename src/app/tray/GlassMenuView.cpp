#include "app/tray/GlassMenuView.h"

#include "app/tray/PanelPlacement.h"
#include "settings/AppSettings.h"
#include "theme/Symbols.h"
#include "theme/Theme.h"

#include <QEasingCurve>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>
#include <QToolTip>
#include <QVariantAnimation>

namespace zorv
{

namespace
{

// Four faces in all: each size and weight holds its own glyph cache for as
// long as the program runs.
QFont panelFont(qreal pixels, QFont::Weight weight = QFont::Normal)
{
    QFont f;
    f.setPixelSize(qRound(pixels));
    f.setWeight(weight);
    return f;
}

QColor white(qreal alpha)
{
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

} // namespace

GlassMenuView::GlassMenuView(GlassMenuModel &model, AppSettings &settings,
                             PlatformCapabilities capabilities, CommandAvailability availability)
    : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint),
      m_model(model), m_settings(settings), m_capabilities(capabilities),
      m_availability(std::move(availability))
{
    setWindowTitle(QStringLiteral("Zorv Panel"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    // A click outside closes the panel; it does not also act on what lies under it.
    setAttribute(Qt::WA_NoMouseReplay);
    setMouseTracking(true);
    m_mask.setMakePath([this](const QRectF &) { return sheetPath(); });
    connect(&m_model, &GlassMenuModel::changed, this, &GlassMenuView::relayout);
    connect(&m_settings, &AppSettings::changed, this, &GlassMenuView::relayout);
    relayout();
}

QPoint GlassMenuView::contentOrigin()
{
    return {panelGeometry::margin, panelGeometry::margin};
}

QPainterPath GlassMenuView::sheetPath() const
{
    NotchedPanelShape shape;
    shape.notchX = m_model.notchX;
    shape.notchOnBottom = m_model.notchOnBottom;
    const QRectF content(contentOrigin(), QSizeF(panelGeometry::contentWidth, m_page.height));
    return shape.path(content);
}

void GlassMenuView::setTranslucent(bool translucent)
{
    if (translucent == m_translucent)
        return;
    m_translucent = translucent;
    updateMask();
    update();
}

void GlassMenuView::updateMask()
{
    if (m_translucent) {
        clearMask();
        return;
    }
    // Without a compositor the transparent margin would show black: cut the
    // window to the sheet itself.
    setMask(m_mask.region(size()));
}

void GlassMenuView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateMask();
}

void GlassMenuView::relayout()
{
    const MenuContext context{m_model, m_settings, m_capabilities, m_availability};
    const int oldHeight = m_page.height;
    m_page = m_model.showingSettings ? layOutQuickSettings(context) : layOutMainPage(context);
    if (m_hovered >= m_page.entries.size())
        m_hovered = -1;
    m_pressed = -1;
    // The outline follows the notch and the height; the window's shape is
    // remade only when one of them changed, visible or not.
    const QString shapeKey = QStringLiteral("%1:%2:%3")
                                 .arg(m_model.notchX)
                                 .arg(m_model.notchOnBottom)
                                 .arg(m_page.height);
    if (shapeKey != m_shapeKey) {
        m_shapeKey = shapeKey;
        m_mask.setMakePath([this](const QRectF &) { return sheetPath(); });
        updateMask();
    }
    update();
    if (m_page.height != oldHeight)
        Q_EMIT contentHeightChanged(m_page.height);
}

void GlassMenuView::animateEntrance()
{
    if (!m_entrance) {
        m_entrance = new QVariantAnimation(this);
        m_entrance->setStartValue(0.0);
        m_entrance->setEndValue(1.0);
        m_entrance->setDuration(380);
        // A spring that overshoots a little and settles.
        QEasingCurve spring(QEasingCurve::OutBack);
        spring.setOvershoot(1.1);
        m_entrance->setEasingCurve(spring);
        connect(m_entrance, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
            m_progress = value.toDouble();
            update();
        });
    }
    m_entrance->stop();
    // An opaque sheet is cut to its final outline; scaling it would show
    // the cut edges, so it appears at once.
    if (!m_translucent) {
        m_progress = 1;
        update();
        return;
    }
    m_progress = 0;
    m_entrance->start();
}

int GlassMenuView::entryAt(const QPointF &windowPoint) const
{
    const QPointF point = windowPoint - contentOrigin();
    for (int i = 0; i < m_page.entries.size(); ++i) {
        if (m_page.entries[i].rect.contains(point))
            return i;
    }
    return -1;
}

void GlassMenuView::activate(const MenuEntry &entry)
{
    if (!entry.enabled)
        return;
    if (entry.kind == MenuEntry::Kind::gear) {
        m_model.showingSettings = !m_model.showingSettings;
        m_model.notify();
        return;
    }
    if (entry.command) {
        Q_EMIT commandChosen(*entry.command);
        return;
    }
    if (OptionBase *option = m_settings.option(entry.optionKey)) {
        if (entry.kind == MenuEntry::Kind::segment)
            option->setVariant(entry.optionValue);
        else
            option->setVariant(!option->variant().toBool());
    }
}

void GlassMenuView::mouseMoveEvent(QMouseEvent *event)
{
    const int hovered = entryAt(event->position());
    if (hovered != m_hovered) {
        m_hovered = hovered;
        update();
    }
}

void GlassMenuView::leaveEvent(QEvent *)
{
    m_hovered = -1;
    update();
}

void GlassMenuView::mousePressEvent(QMouseEvent *event)
{
    // A press anywhere outside the sheet arrives here while the popup grabs
    // the pointer; that includes the transparent margin, which may cover the
    // tray icon itself.
    if (!sheetPath().contains(event->position())) {
        close();
        return;
    }
    m_pressed = entryAt(event->position());
    update();
}

void GlassMenuView::mouseReleaseEvent(QMouseEvent *event)
{
    const int index = entryAt(event->position());
    const int pressed = std::exchange(m_pressed, -1);
    update();
    if (index >= 0 && index == pressed)
        activate(m_page.entries[index]);
}

void GlassMenuView::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    if (event->key() == Qt::Key_Comma && event->modifiers() == Qt::ControlModifier) {
        const GlassMenuCommand settings = GlassMenuCommand::of(GlassMenuCommand::Kind::allSettings);
        if (!m_availability(settings))
            Q_EMIT commandChosen(settings);
        return;
    }
    QWidget::keyPressEvent(event);
}

void GlassMenuView::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (m_entrance)
        m_entrance->stop();
    m_hovered = m_pressed = -1;
    Q_EMIT hidden();
    // Give back the window's pixel buffer while the panel is closed; the next
    // opening makes a new one in a few milliseconds.
    QTimer::singleShot(0, this, [this] {
        if (!isVisible())
            destroy();
    });
}

bool GlassMenuView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = entryAt(help->pos());
        if (index >= 0 && !m_page.entries[index].toolTip.isEmpty())
            QToolTip::showText(help->globalPos(), m_page.entries[index].toolTip, this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void GlassMenuView::paintShadow(QPainter &painter)
{
    const QString key = QStringLiteral("%1x%2:%3:%4")
                            .arg(width())
                            .arg(height())
                            .arg(m_model.notchX)
                            .arg(m_model.notchOnBottom);
    if (key != m_shadowKey) {
        // Black at 28 %, blurred 22 px, 12 px below the sheet; made once per
        // size and notch.
        m_shadowKey = key;
        m_shadow =
            softShadow(sheetPath().translated(0, 12), size(), 22, QColor::fromRgbF(0, 0, 0, 0.28f));
    }
    // Only outside the sheet: under the translucent glass it would darken it.
    QPainterPath outside;
    outside.addRect(QRectF(rect()));
    painter.save();
    painter.setClipPath(outside.subtracted(sheetPath()), Qt::IntersectClip);
    painter.drawImage(QRectF(rect()), m_shadow);
    painter.restore();
}

void GlassMenuView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);

    if (m_progress < 1) {
        // Grows out of the notch: scaled about the notch tip, sliding in.
        const qreal t = m_progress;
        const qreal scale = 0.94 + 0.06 * t;
        const qreal shift = (m_model.notchOnBottom ? 8 : -8) * (1 - t);
        const QPointF pivot = QPointF(contentOrigin()) +
                              QPointF(m_model.notchX, m_model.notchOnBottom ? m_page.height : 0);
        painter.translate(pivot + QPointF(0, shift));
        painter.scale(scale, scale);
        painter.translate(-pivot);
    }
    if (m_translucent)
        paintShadow(painter);
    GlassSurface{sheetPath(), true}.paint(painter, m_translucent);

    painter.translate(contentOrigin());
    for (int i = 0; i < m_page.entries.size(); ++i)
        paintEntry(painter, m_page.entries[i], i == m_hovered);
}

void GlassMenuView::paintEntry(QPainter &painter, const MenuEntry &entry, bool hovered) const
{
    using Kind = MenuEntry::Kind;
    const QRectF r = entry.rect;
    const bool lit = hovered && entry.clickable();
    painter.save();
    if (!entry.enabled)
        painter.setOpacity(painter.opacity() * 0.38);
    const qreal dpr = devicePixelRatioF();
    auto symbol = [&](const QString &name, QPointF centre, int size, const QColor &color) {
        const QPixmap pixmap = Symbols::pixmap(name, size, color, dpr);
        if (!pixmap.isNull())
            painter.drawPixmap(centre - QPointF(size / 2.0, size / 2.0), pixmap);
    };
    auto plate = [&](qreal radius, qreal fill, qreal border) {
        painter.setPen(QPen(white(border), 1));
        painter.setBrush(white(lit ? fill + 0.08 : fill));
        painter.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    };

    switch (entry.kind) {
    case Kind::heading:
        painter.setFont(panelFont(15, QFont::DemiBold));
        painter.setPen(white(0.95));
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        break;
    case Kind::gear:
        if (lit || m_model.showingSettings) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(white(m_model.showingSettings ? 0.18 : 0.10));
            painter.drawEllipse(r);
        }
        symbol(entry.symbol, r.center(), 16, white(0.85));
        break;
    case Kind::banner: {
        const QColor tint = entry.symbol.startsWith(QLatin1String("stop"))
                                ? Theme::recordingRed()
                                : QColor::fromRgbF(1.0f, 0.75f, 0.2f);
        QColor fill = tint;
        fill.setAlphaF(lit ? 0.32f : 0.22f);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        painter.drawRoundedRect(r, 12, 12);
        symbol(entry.symbol, QPointF(r.left() + 22, r.center().y()), 18, tint.lighter(130));
        painter.setFont(panelFont(12, QFont::Medium));
        painter.setPen(white(0.95));
        painter.drawText(r.adjusted(42, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        break;
    }
    case Kind::sectionTitle:
    case Kind::groupTitle:
        painter.setFont(panelFont(10, QFont::DemiBold));
        painter.setPen(white(0.50));
        painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        break;
    case Kind::tile: {
        const bool pressedLook = lit && m_pressed >= 0 && &m_page.entries[m_pressed] == &entry;
        if (pressedLook) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(Theme::accent());
            painter.drawRoundedRect(r, 14, 14);
        } else {
            plate(14, 0.07, 0.10);
        }
        if (r.height() > 56) { // capture tiles: symbol above, title and shortcut below
            symbol(entry.symbol, QPointF(r.center().x(), r.top() + 20), 20, white(0.92));
            painter.setFont(panelFont(12, QFont::Medium));
            painter.setPen(white(0.92));
            painter.drawText(QRectF(r.left(), r.top() + 33, r.width(), 16), Qt::AlignCenter,
                             entry.text);
            painter.setFont(panelFont(10));
            painter.setPen(white(0.45));
            painter.drawText(QRectF(r.left(), r.top() + 48, r.width(), 14), Qt::AlignCenter,
                             entry.detail);
        } else { // record tiles: symbol left, title and detail beside it
            symbol(entry.symbol, QPointF(r.left() + 24, r.center().y()), 20, white(0.92));
            painter.setFont(panelFont(12, QFont::Medium));
            painter.setPen(white(0.92));
            painter.drawText(QRectF(r.left() + 44, r.top() + 6, r.width() - 50, 18),
                             Qt::AlignLeft | Qt::AlignVCenter, entry.text);
            painter.setFont(panelFont(10));
            painter.setPen(white(0.45));
            painter.drawText(QRectF(r.left() + 44, r.top() + 23, r.width() - 50, 16),
                             Qt::AlignLeft | Qt::AlignVCenter, entry.detail);
        }
        break;
    }
    case Kind::chip: {
        painter.setPen(QPen(entry.on ? Theme::accent().lighter(120) : white(0.14), 1));
        QColor fill = entry.on ? Theme::accent() : white(lit ? 0.12 : 0.05);
        if (entry.on)
            fill.setAlphaF(lit ? 0.55f : 0.42f);
        painter.setBrush(fill);
        painter.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), r.height() / 2, r.height() / 2);
        symbol(entry.symbol, QPointF(r.left() + 17, r.center().y()), 14, white(0.9));
        painter.setFont(panelFont(12, QFont::Medium));
        painter.setPen(white(0.9));
        painter.drawText(r.adjusted(30, 0, -8, 0), Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        break;
    }
    case Kind::recent: {
        QPainterPath clip;
        clip.addRoundedRect(r, 10, 10);
        painter.setClipPath(clip, Qt::IntersectClip);
        painter.fillRect(r, white(0.06));
        const QImage image = m_model.thumbnails.value(entry.recentId);
        if (!image.isNull()) {
            // Fill the frame, cutting what does not fit.
            const QSizeF scaled =
                QSizeF(image.size()).scaled(r.size(), Qt::KeepAspectRatioByExpanding);
            painter.drawImage(
                QRectF(r.center() - QPointF(scaled.width() / 2, scaled.height() / 2), scaled),
                image);
        }
        if (!entry.symbol.isEmpty())
            symbol(entry.symbol, r.center(), 22, white(0.95));
        painter.setClipping(false);
        painter.setPen(QPen(white(lit ? 0.55 : 0.14), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);
        break;
    }
    case Kind::ghostButton:
    case Kind::wideButton:
        if (lit || entry.kind == Kind::wideButton)
            plate(10, entry.kind == Kind::wideButton ? 0.08 : 0.06, 0.10);
        if (!entry.symbol.isEmpty()) {
            const QFontMetricsF metrics(panelFont(12, QFont::Medium));
            const qreal width = 20 + metrics.horizontalAdvance(entry.text);
            const qreal left = r.center().x() - width / 2;
            symbol(entry.symbol, QPointF(left + 7, r.center().y()), 14, white(0.85));
            painter.setFont(panelFont(12, QFont::Medium));
            painter.setPen(white(0.88));
            painter.drawText(QRectF(left + 20, r.top(), width, r.height()),
                             Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        } else {
            painter.setFont(panelFont(12, QFont::Medium));
            painter.setPen(white(0.9));
            painter.drawText(r, Qt::AlignCenter, entry.text + entry.detail);
        }
        break;
    case Kind::statusLine:
        painter.setFont(panelFont(10));
        painter.setPen(white(0.50));
        painter.drawText(
            r, Qt::AlignLeft | Qt::AlignVCenter,
            QFontMetrics(panelFont(10)).elidedText(entry.text, Qt::ElideMiddle, int(r.width())));
        break;
    case Kind::toggle: {
        painter.setFont(panelFont(12, QFont::Medium));
        painter.setPen(white(0.9));
        painter.drawText(r.adjusted(4, 0, -50, 0), Qt::AlignLeft | Qt::AlignVCenter, entry.text);
        const QRectF track(r.right() - 40, r.center().y() - 11, 38, 22);
        painter.setPen(Qt::NoPen);
        painter.setBrush(entry.on ? Theme::accent() : white(lit ? 0.22 : 0.16));
        painter.drawRoundedRect(track, 11, 11);
        painter.setBrush(Qt::white);
        const qreal knobX = entry.on ? track.right() - 11 : track.left() + 11;
        painter.drawEllipse(QPointF(knobX, track.center().y()), 9, 9);
        break;
    }
    case Kind::segment:
        painter.setPen(Qt::NoPen);
        painter.setBrush(entry.on ? Theme::accent() : white(lit ? 0.14 : 0.07));
        painter.drawRoundedRect(r.adjusted(1, 1, -1, -1), 8, 8);
        painter.setFont(panelFont(12, QFont::Medium));
        painter.setPen(white(entry.on ? 1.0 : 0.8));
        painter.drawText(r, Qt::AlignCenter, entry.text);
        break;
    }
    painter.restore();
}

} // namespace zorv
