#include "app/Toast.h"

#include "platform/Platform.h"
#include "theme/Symbols.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <cmath>

namespace zorv
{

namespace
{
constexpr int symbolSize = 18;
constexpr int spacing = 8;
constexpr int horizontalPadding = 18;
constexpr int pillHeight = 40;
constexpr int verticalPadding = 11;
// A message longer than this is cut in the middle before it is laid out at all.
constexpr int longestMessage = 600;
constexpr int fadeInMs = 160;
constexpr int fadeOutMs = 250;
constexpr int afterFadeMs = 260;

QFont toastFont()
{
    QFont font = QGuiApplication::font();
    font.setPointSizeF(12);
    font.setWeight(QFont::Medium);
    return font;
}

// Whole words while they fit, else as many characters as fit.
int fittingLength(const QString &text, const QFontMetricsF &metrics, qreal maxWidth)
{
    int fit = 0;
    int lastSpace = -1;
    qreal width = 0;
    for (int i = 0; i < text.size(); ++i) {
        width += metrics.horizontalAdvance(text.at(i));
        if (width > maxWidth)
            return lastSpace > 0 ? lastSpace + 1 : std::max(fit, 1);
        if (text.at(i) == QLatin1Char(' '))
            lastSpace = i;
        fit = i + 1;
    }
    return fit;
}

QStringList wrap(QString text, const QFontMetricsF &metrics, qreal maxWidth)
{
    QStringList lines;
    while (!text.isEmpty()) {
        const int length = fittingLength(text, metrics, maxWidth);
        lines.append(text.left(length).trimmed());
        text = text.mid(length);
    }
    return lines;
}

QString cutMiddle(const QString &text, int keep)
{
    const QString ellipsis = QStringLiteral("…");
    if (text.size() <= keep)
        return text;
    const int head = keep / 2;
    const int tail = keep - head - 1;
    return text.left(head) + ellipsis + text.right(tail);
}

void fade(ToastView *view, double to, int ms, std::function<void()> then = {})
{
    auto *animation = new QPropertyAnimation(view, "windowOpacity", view);
    animation->setDuration(ms);
    animation->setEndValue(to);
    if (then)
        QObject::connect(animation, &QPropertyAnimation::finished, view, std::move(then));
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}
} // namespace

ToastText layOutToastText(const QString &message, const QFontMetricsF &metrics, qreal maxWidth,
                          int maxLines)
{
    // One line of text: breaks and tabs would only make holes in the pill.
    QString text = message.simplified();
    text = cutMiddle(text, longestMessage);
    QStringList lines = wrap(text, metrics, maxWidth);
    for (int keep = int(text.size()); lines.size() > maxLines && keep > 1;) {
        keep = std::max(1, keep * 9 / 10);
        lines = wrap(cutMiddle(text, keep), metrics, maxWidth);
    }
    ToastText result{lines, 0};
    for (const QString &line : lines)
        result.width = std::max(result.width, metrics.horizontalAdvance(line));
    return result;
}

ToastView::ToastView(QString message, QString symbol, bool translucent)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput |
                           Qt::X11BypassWindowManagerHint),
      m_message(std::move(message)), m_symbol(std::move(symbol)), m_translucent(translucent)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    setFocusPolicy(Qt::NoFocus);
    setFont(toastFont());
    // Measured for this window's screen, as the text will be painted.
    m_text = layOutToastText(m_message, QFontMetricsF(toastFont(), this), maxTextWidth, maxLines);
    resize(sizeHint());
    if (!translucent) // without a compositor, cut the window to the pill itself
        setMask(QRegion(pillPath().toFillPolygon().toPolygon()));
}

QSize ToastView::sizeHint() const
{
    const int text = int(std::ceil(m_text.width)) + 1;
    const int symbol = Symbols::contains(m_symbol) ? symbolSize + spacing : 0;
    const int lineHeight = int(std::ceil(QFontMetricsF(toastFont(), this).lineSpacing()));
    const int lines = int(std::max<qsizetype>(m_text.lines.size(), 1));
    const int height = std::max(pillHeight, lines * lineHeight + 2 * verticalPadding);
    return {horizontalPadding * 2 + symbol + text, height};
}

QPainterPath ToastView::pillPath() const
{
    // Round ends for one line; a few lines get corners as round as one line's ends.
    const qreal radius = pillHeight / 2.0;
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), radius, radius);
    return path;
}

void ToastView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(24, 24, 28, m_translucent ? 225 : 255));
    painter.drawPath(pillPath());
    painter.setPen(QPen(QColor(255, 255, 255, 40), 1));
    painter.setBrush(Qt::NoBrush);
    const qreal radius = pillHeight / 2.0 - 0.5;
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);

    int x = horizontalPadding;
    if (Symbols::contains(m_symbol)) {
        const QPixmap icon = Symbols::pixmap(m_symbol, symbolSize, Qt::white, devicePixelRatioF());
        painter.drawPixmap(x, (pillHeight - symbolSize) / 2, icon);
        x += symbolSize + spacing;
    }
    painter.setPen(Qt::white);
    painter.setFont(toastFont());
    const QFontMetricsF metrics(toastFont(), this);
    const qreal lineHeight = std::ceil(metrics.lineSpacing());
    const qreal top = (height() - lineHeight * m_text.lines.size()) / 2.0;
    for (qsizetype i = 0; i < m_text.lines.size(); ++i) {
        const QRectF line(x, top + i * lineHeight, width() - x - horizontalPadding, lineHeight);
        painter.drawText(line, Qt::AlignVCenter | Qt::AlignLeft, m_text.lines[i]);
    }
}

Toast &Toast::shared()
{
    static Toast toast(Platform::shared().windowSystem());
    return toast;
}

Toast::Toast(WindowSystem &windowSystem) : m_windowSystem(windowSystem) {}

void Toast::show(const QString &message, const QString &symbol, double seconds)
{
    if (ToastView *old = m_slot.data()) {
        m_slot = nullptr;
        old->close();
    }
    const bool translucent = m_windowSystem.compositingActive();
    auto *view = new ToastView(message, symbol, translucent);
    view->setWindowTitle(message); // what window lists and screen readers show
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect frame = screen->geometry();
        view->move(frame.center().x() - view->width() / 2, frame.top() + topMargin);
    }
    // Fades need a compositor; without one the toast simply appears and goes.
    view->setWindowOpacity(translucent ? 0.0 : 1.0);
    view->show();
    view->raise();
    m_slot = view;
    if (translucent)
        fade(view, 1.0, fadeInMs);

    QPointer<ToastView> guard(view);
    QTimer::singleShot(int(seconds * 1000), view, [this, guard, translucent] {
        if (!guard || m_slot != guard)
            return;
        auto finish = [this, guard] {
            QTimer::singleShot(afterFadeMs, guard, [this, guard] {
                if (m_slot == guard)
                    m_slot = nullptr;
                guard->close();
            });
        };
        if (translucent)
            fade(guard, 0.0, fadeOutMs, finish);
        else
            finish();
    });
}

} // namespace zorv
