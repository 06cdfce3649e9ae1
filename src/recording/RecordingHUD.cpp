#include "recording/RecordingHUD.h"

#include "theme/Symbols.h"
#include "theme/Theme.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

namespace zorv
{

namespace
{
constexpr int inset = 14;
constexpr int spacing = 12;
constexpr int dotSize = 10;
constexpr int trashSize = 26;
constexpr int stopHeight = 28;
constexpr int tickMs = 500;

class RecordingDot : public QWidget
{
  public:
    explicit RecordingDot(QWidget *parent) : QWidget(parent) { setFixedSize(dotSize, dotSize); }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::recordingRed());
        painter.drawEllipse(QRectF(rect()));
    }
};

// A button drawn by hand: a filled capsule (Stop) or a round icon (discard).
class HudButton : public QAbstractButton
{
  public:
    HudButton(const QString &symbol, const QString &title, QColor fill, QWidget *parent)
        : QAbstractButton(parent), m_symbol(symbol), m_fill(fill)
    {
        setText(title);
        setFocusPolicy(Qt::NoFocus);
        setCursor(Qt::PointingHandCursor);
        setAttribute(Qt::WA_Hover);
    }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QColor fill = m_fill;
        if (isDown())
            fill = fill.darker(130);
        else if (underMouse())
            fill = fill.lighter(125);
        painter.setPen(Qt::NoPen);
        painter.setBrush(fill);
        const qreal radius = height() / 2.0;
        painter.drawRoundedRect(QRectF(rect()), radius, radius);

        const int iconSize = 12;
        if (text().isEmpty()) {
            const QPixmap icon = Symbols::pixmap(m_symbol, iconSize, Qt::white,
                                                 painter.device()->devicePixelRatioF());
            painter.drawPixmap((width() - iconSize) / 2, (height() - iconSize) / 2, icon);
            return;
        }
        QFont font = this->font();
        font.setPixelSize(13);
        font.setWeight(QFont::DemiBold);
        painter.setFont(font);
        const int textWidth = QFontMetrics(font).horizontalAdvance(text());
        const int contentWidth = iconSize + 6 + textWidth;
        const int x = (width() - contentWidth) / 2;
        // The icon set's square is an outline; a stop sign reads better filled.
        painter.setBrush(Qt::white);
        painter.drawRoundedRect(
            QRectF(x + 1, (height() - iconSize) / 2.0 + 1, iconSize - 2, iconSize - 2), 2, 2);
        painter.setPen(Qt::white);
        painter.drawText(QRect(x + iconSize + 6, 0, textWidth + 1, height()), Qt::AlignVCenter,
                         text());
    }

  private:
    QString m_symbol;
    QColor m_fill;
};

QPainterPath capsule(const QRectF &rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, rect.height() / 2, rect.height() / 2);
    return path;
}

QRect topCentre(const QRectF &available)
{
    return QRect(qRound(available.center().x() - RecordingHUD::hudWidth / 2.0),
                 qRound(available.top()) + RecordingHUD::topGap, RecordingHUD::hudWidth,
                 RecordingHUD::hudHeight);
}

QRect bottomCentre(const QRectF &available)
{
    return QRect(qRound(available.center().x() - RecordingHUD::hudWidth / 2.0),
                 qRound(available.bottom()) - RecordingHUD::hudHeight - RecordingHUD::topGap,
                 RecordingHUD::hudWidth, RecordingHUD::hudHeight);
}
} // namespace

QString RecordingHUD::elapsedText(qint64 ms)
{
    const qint64 seconds = std::max<qint64>(0, ms / 1000);
    return QString::asprintf("%02lld:%02lld", seconds / 60, seconds % 60);
}

QRect RecordingHUD::placement(const QList<RecordingScreen> &screens, const RecordingScreen &screen,
                              const QRectF &area)
{
    const QRect preferred = topCentre(screen.available);
    QList<QRect> candidates{preferred, bottomCentre(screen.available)};
    for (const RecordingScreen &other : screens) {
        if (other.frame == screen.frame)
            continue;
        candidates << topCentre(other.available) << bottomCentre(other.available);
    }
    for (const QRect &candidate : candidates)
        if (!area.intersects(QRectF(candidate)))
            return candidate;
    return preferred; // the area covers every place: stay where the user expects it
}

RecordingHUD::RecordingHUD(QElapsedTimer startedAt, std::function<void()> onStop,
                           std::function<void()> onCancel, bool translucent)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint),
      m_startedAt(startedAt), m_onStop(std::move(onStop)), m_onCancel(std::move(onCancel)),
      m_translucent(translucent)
{
    // Keys stay with the user's application: Escape there must not stop anything.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(QStringLiteral("Zorv Recording"));
    setAccessibleName(QStringLiteral("Recording controls"));
    setFixedSize(hudWidth, hudHeight);

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(inset, 0, inset, 0);
    layout->setSpacing(spacing);

    auto *dot = new RecordingDot(this);
    dot->setAccessibleName(QStringLiteral("Recording"));
    layout->addWidget(dot);

    m_clock = new QLabel(this);
    QFont font = m_clock->font();
    font.setPixelSize(14);
    font.setWeight(QFont::DemiBold);
    font.setStyleHint(QFont::Monospace);
    font.setFamily(QStringLiteral("monospace"));
    m_clock->setFont(font);
    m_clock->setStyleSheet(QStringLiteral("color: white;"));
    m_clock->setAccessibleName(QStringLiteral("Elapsed time"));
    layout->addWidget(m_clock);
    layout->addStretch(1);

    m_stop = new HudButton(QStringLiteral("stop.fill"), QStringLiteral("Stop"),
                           Theme::recordingRed(), this);
    m_stop->setFixedSize(76, stopHeight);
    m_stop->setAccessibleName(QStringLiteral("Stop"));
    m_stop->setObjectName(QStringLiteral("recordingStop"));
    layout->addWidget(m_stop);

    m_discard = new HudButton(QStringLiteral("trash"), QString(), QColor(255, 255, 255, 38), this);
    m_discard->setFixedSize(trashSize, trashSize);
    m_discard->setToolTip(QStringLiteral("Discard recording"));
    m_discard->setAccessibleName(QStringLiteral("Discard recording"));
    m_discard->setObjectName(QStringLiteral("recordingDiscard"));
    layout->addWidget(m_discard);

    connect(m_stop, &QAbstractButton::clicked, this, [this] {
        if (m_onStop)
            m_onStop();
    });
    connect(m_discard, &QAbstractButton::clicked, this, [this] {
        if (m_onCancel)
            m_onCancel();
    });

    if (!m_translucent) // without a compositor the corners would show black
        setMask(QRegion(capsule(QRectF(rect())).toFillPolygon().toPolygon()));

    tick();
    m_timer.setInterval(tickMs);
    connect(&m_timer, &QTimer::timeout, this, &RecordingHUD::tick);
    m_timer.start();
}

QString RecordingHUD::clockText() const
{
    return m_clock->text();
}

void RecordingHUD::tick()
{
    m_clock->setText(elapsedText(m_startedAt.isValid() ? m_startedAt.elapsed() : 0));
}

void RecordingHUD::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.fillRect(rect(), Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF outline = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    painter.setBrush(QColor(24, 24, 28, m_translucent ? 225 : 255));
    painter.drawPath(capsule(outline));
}

} // namespace zorv
