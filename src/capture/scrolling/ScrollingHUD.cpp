#include "capture/scrolling/ScrollingHUD.h"

#include "capture/ScreenGeometry.h"
#include "common/Log.h"
#include "platform/Platform.h"
#include "theme/Symbols.h"
#include "theme/Theme.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QVBoxLayout>
#include <cmath>

namespace zorv
{

namespace
{
// Ids far above the shortcut registry's, so the two never meet.
constexpr uint32_t doneKeyID = 0xFFFF0001;
constexpr uint32_t cancelKeyID = 0xFFFF0002;
constexpr KeyCombo returnKey{36, 0};
constexpr KeyCombo escapeKey{53, 0};

// The panel is laid out in logical pixels, one per point of its design; so are
// its fonts (a Qt point is 4/3 of a pixel at 96 dpi).
QFont systemFont(qreal points, QFont::Weight weight)
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(points * 0.75);
    font.setWeight(weight);
    return font;
}

QPainterPath capsule(const QRectF &rect)
{
    QPainterPath path;
    const qreal radius = rect.height() / 2.0;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// Done: white text on an accent capsule.
class DoneButton : public QAbstractButton
{
  public:
    explicit DoneButton(QWidget *parent) : QAbstractButton(parent)
    {
        setText(QStringLiteral("Done"));
        setFont(systemFont(11, QFont::DemiBold));
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        const QFontMetrics metrics(font());
        setFixedSize(metrics.horizontalAdvance(text()) + 24, metrics.height() + 10);
    }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = Theme::accent();
        if (isDown())
            fill = fill.darker(120);
        painter.fillPath(capsule(QRectF(rect())), fill);
        painter.setPen(Qt::white);
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
};

// ✕: a plain symbol in a 22 × 22 frame.
class CancelButton : public QAbstractButton
{
  public:
    explicit CancelButton(QWidget *parent) : QAbstractButton(parent)
    {
        setFixedSize(22, 22);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setToolTip(QStringLiteral("Cancel (Esc)"));
        setAccessibleName(QStringLiteral("Cancel Scrolling Capture"));
    }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QColor colour = QColor::fromRgbF(1, 1, 1, isDown() ? 1.0f : 0.7f);
        constexpr int symbol = 13;
        painter.drawPixmap(
            (width() - symbol) / 2, (height() - symbol) / 2,
            Symbols::pixmap(QStringLiteral("xmark"), symbol, colour, devicePixelRatioF()));
    }
};

class SymbolLabel : public QWidget
{
  public:
    explicit SymbolLabel(QWidget *parent) : QWidget(parent) { setFixedSize(16, 16); }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(
            0, 0, Symbols::pixmap(QStringLiteral("scroll"), 16, Qt::white, devicePixelRatioF()));
    }
};

bool overlaps(const QRect &panel, const QRectF &region)
{
    return QRectF(panel).intersects(region);
}
} // namespace

ScrollingHUD::ScrollingHUD(WindowSystem &windowSystem, HotKeyBackend *hotKeys,
                           std::function<void()> onDone, std::function<void()> onCancel)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_windowSystem(windowSystem), m_hotKeys(hotKeys), m_onDone(std::move(onDone)),
      m_onCancel(std::move(onCancel))
{
    // The page being scrolled keeps the keyboard and the wheel.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Zorv Scrolling Capture"));
    setFixedSize(panelSize);
    m_translucent = m_windowSystem.compositingActive();

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(14, 0, 14, 0);
    row->setSpacing(10);
    row->addWidget(new SymbolLabel(this), 0, Qt::AlignVCenter);

    auto *column = new QVBoxLayout;
    column->setSpacing(1);
    column->setContentsMargins(0, 0, 0, 0);
    auto *title = new QLabel(QStringLiteral("Scrolling Capture"), this);
    title->setFont(systemFont(11, QFont::DemiBold));
    title->setStyleSheet(QStringLiteral("color: white;"));
    title->setMinimumWidth(title->sizeHint().width());
    m_count = new QLabel(countText(0), this);
    m_count->setFont(systemFont(9.5, QFont::Normal));
    m_count->setStyleSheet(QStringLiteral("color: rgba(255, 255, 255, 166);"));
    m_count->setObjectName(QStringLiteral("scrollingCount"));
    column->addStretch();
    column->addWidget(title);
    column->addWidget(m_count);
    column->addStretch();
    row->addLayout(column);
    row->addStretch();

    m_done = new DoneButton(this);
    m_done->setToolTip(QStringLiteral("Stitch the frames (Return)"));
    row->addWidget(m_done, 0, Qt::AlignVCenter);
    m_cancel = new CancelButton(this);
    row->addWidget(m_cancel, 0, Qt::AlignVCenter);
    connect(m_done, &QAbstractButton::clicked, this, [this] { m_onDone(); });
    connect(m_cancel, &QAbstractButton::clicked, this, [this] { m_onCancel(); });

    if (!m_translucent) // no compositor: the corners would show black
        setMask(QRegion(capsule(QRectF(rect())).toFillPolygon().toPolygon()));
    grabKeys();
}

ScrollingHUD::~ScrollingHUD()
{
    releaseKeys();
}

void ScrollingHUD::grabKeys()
{
    if (!m_hotKeys)
        return;
    const auto refusedReturn = m_hotKeys->grab(doneKeyID, returnKey);
    const auto refusedEscape = m_hotKeys->grab(cancelKeyID, escapeKey);
    if (refusedReturn || refusedEscape) {
        // Another program holds one of them: the buttons still work.
        logLine(QStringLiteral("scrolling capture: Return and Escape not available (%1)")
                    .arg(refusedReturn.value_or(refusedEscape.value_or(QString()))));
        m_hotKeys->ungrab(doneKeyID);
        m_hotKeys->ungrab(cancelKeyID);
        return;
    }
    m_keysHeld = true;
    connect(m_hotKeys, &HotKeyBackend::pressed, this, [this](uint32_t id) {
        if (id == doneKeyID)
            m_onDone();
        else if (id == cancelKeyID)
            m_onCancel();
    });
}

void ScrollingHUD::releaseKeys()
{
    if (!m_hotKeys || !m_keysHeld)
        return;
    m_keysHeld = false;
    m_hotKeys->ungrab(doneKeyID);
    m_hotKeys->ungrab(cancelKeyID);
    disconnect(m_hotKeys, nullptr, this, nullptr);
}

QString ScrollingHUD::countText(int count)
{
    return QStringLiteral("%1 frame%2 captured")
        .arg(count)
        .arg(count == 1 ? QString() : QStringLiteral("s"));
}

QString ScrollingHUD::countLine() const
{
    return m_count->text();
}

void ScrollingHUD::setCount(int count)
{
    m_count->setText(countText(count));
}

QRect ScrollingHUD::placement(const QRect &available, const QRectF &region)
{
    const int w = panelSize.width();
    const int h = panelSize.height();
    const int centreX = available.left() + (available.width() - w) / 2;
    const QRect bottom(centreX, available.bottom() + 1 - margin - h, w, h);
    QList<QRect> candidates{bottom};
    // Above the region, clear of it by the same margin.
    const int aboveY = int(std::floor(region.top())) - margin - h;
    if (aboveY >= available.top())
        candidates.append(QRect(centreX, aboveY, w, h));
    // A tall region in the middle: beside it, at the bottom.
    const int leftX = int(std::floor(region.left())) - margin - w;
    if (leftX >= available.left())
        candidates.append(QRect(leftX, bottom.top(), w, h));
    const int rightX = int(std::ceil(region.right())) + margin;
    if (rightX + w <= available.right() + 1)
        candidates.append(QRect(rightX, bottom.top(), w, h));
    for (const QRect &candidate : candidates) {
        if (available.contains(candidate) && !overlaps(candidate, region))
            return candidate;
    }
    // Nowhere free (the region fills the screen): Zorv's windows are left out
    // of its grabs anyway.
    return bottom;
}

void ScrollingHUD::present(const QRectF &region)
{
    QScreen *screen = nullptr;
    for (QScreen *candidate : QGuiApplication::screens()) {
        if (candidate->geometry().contains(region.center().toPoint())) {
            screen = candidate;
            break;
        }
    }
    if (!screen)
        screen = ScreenGeometry::screenUnderMouse();
    if (screen)
        setGeometry(placement(screen->availableGeometry(), region));
    show();
    raise();
    m_windowSystem.setOnAllWorkspaces(windowHandle());
}

void ScrollingHUD::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = capsule(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    // Without a compositor the fill lands opaque: black at 82 % over a typical page.
    painter.fillPath(shape, m_translucent ? QColor::fromRgbF(0, 0, 0, 0.82f)
                                          : QColor::fromRgbF(0.06f, 0.06f, 0.07f));
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, 0.14f), 1));
    painter.drawPath(shape);
}

} // namespace zorv
