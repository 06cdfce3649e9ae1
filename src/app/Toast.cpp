#include "app/Toast.h"

#include "platform/Platform.h"
#include "theme/Symbols.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPropertyAnimation>
#include <QPushButton>
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
// The progress pill: room for the bar under the text, the button at the right.
constexpr int progressPillHeight = 46;
constexpr int barHeight = 3;
constexpr int barBottom = 7;
constexpr int buttonSpacing = 14;

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

// `then` runs when the fade ends, unless `context` is gone by then.
void fade(ToastView *view, double to, int ms, const QObject *context = nullptr,
          std::function<void()> then = {})
{
    auto *animation = new QPropertyAnimation(view, "windowOpacity", view);
    animation->setDuration(ms);
    animation->setEndValue(to);
    if (then)
        QObject::connect(animation, &QPropertyAnimation::finished, context, std::move(then));
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

ToastView::ToastView(QString message, QString symbol, bool translucent,
                     std::optional<ToastProgress> progress)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                  Qt::X11BypassWindowManagerHint |
                  // A plain toast lets clicks through; one with a button takes them,
                  // and focus when clicked, so that its button answers keys too.
                  (progress ? Qt::WindowFlags()
                            : Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput)),
      m_message(std::move(message)), m_symbol(std::move(symbol)), m_translucent(translucent),
      m_progress(std::move(progress))
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents, !m_progress);
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_TranslucentBackground, translucent);
    setFocusPolicy(Qt::NoFocus);
    setFont(toastFont());
    if (m_progress) {
        m_cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
        m_cancelButton->setObjectName(QStringLiteral("toastCancel"));
        m_cancelButton->setCursor(Qt::PointingHandCursor);
        m_cancelButton->setFocusPolicy(Qt::StrongFocus);
        m_cancelButton->setStyleSheet(
            QStringLiteral("QPushButton { color: white; background: rgba(255, 255, 255, 38);"
                           " border: 1px solid rgba(255, 255, 255, 60); border-radius: 6px;"
                           " padding: 3px 12px; font-weight: 500; }"
                           "QPushButton:hover { background: rgba(255, 255, 255, 64); }"
                           "QPushButton:focus { border: 1px solid rgba(120, 180, 255, 230); }"));
        m_cancelButton->adjustSize();
        connect(m_cancelButton, &QPushButton::clicked, this, &ToastView::cancel);
        setFocusProxy(m_cancelButton);
    }
    layOut();
}

void ToastView::layOut()
{
    // Measured for this window's screen, as the text will be painted.
    m_text = layOutToastText(m_message, QFontMetricsF(toastFont(), this), maxTextWidth, maxLines);
    const QSize hint = sizeHint();
    m_width = m_progress ? std::max(m_width, hint.width()) : hint.width();
    resize(m_width, hint.height());
    if (m_cancelButton)
        m_cancelButton->move(width() - horizontalPadding - m_cancelButton->width(),
                             (height() - barBottom - m_cancelButton->height()) / 2);
    if (!m_translucent) // without a compositor, cut the window to the pill itself
        setMask(QRegion(pillPath().toFillPolygon().toPolygon()));
}

void ToastView::setProgress(const QString &message, double fraction)
{
    if (!m_progress)
        return;
    m_progress->fraction = std::clamp(fraction, 0.0, 1.0);
    if (message != m_message) {
        m_message = message;
        setWindowTitle(message);
        layOut();
    }
    update();
}

void ToastView::cancel()
{
    if (!m_progress || !m_progress->cancel)
        return;
    // Once: the task may take a moment to stop.
    const auto cancel = std::exchange(m_progress->cancel, nullptr);
    m_cancelButton->setEnabled(false);
    cancel();
}

void ToastView::keyPressEvent(QKeyEvent *event)
{
    if (m_progress && event->key() == Qt::Key_Escape) {
        cancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

QSize ToastView::sizeHint() const
{
    const int text = int(std::ceil(m_text.width)) + 1;
    const int symbol = Symbols::contains(m_symbol) ? symbolSize + spacing : 0;
    const int button = m_cancelButton ? buttonSpacing + m_cancelButton->width() : 0;
    const int lineHeight = int(std::ceil(QFontMetricsF(toastFont(), this).lineSpacing()));
    const int lines = int(std::max<qsizetype>(m_text.lines.size(), 1));
    const int height = std::max(m_progress ? progressPillHeight : pillHeight,
                                lines * lineHeight + 2 * verticalPadding);
    return {horizontalPadding * 2 + symbol + text + button, height};
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

    // With a bar, the text and symbol sit in the space above it.
    const int textHeight = m_progress ? height() - barBottom : height();
    int x = horizontalPadding;
    if (Symbols::contains(m_symbol)) {
        const QPixmap icon = Symbols::pixmap(m_symbol, symbolSize, Qt::white, devicePixelRatioF());
        painter.drawPixmap(x,
                           (std::min(textHeight, pillHeight) - symbolSize) / 2 +
                               (textHeight > pillHeight ? (textHeight - pillHeight) / 2 : 0),
                           icon);
        x += symbolSize + spacing;
    }
    painter.setPen(Qt::white);
    painter.setFont(toastFont());
    const QFontMetricsF metrics(toastFont(), this);
    const qreal lineHeight = std::ceil(metrics.lineSpacing());
    const qreal top = (textHeight - lineHeight * m_text.lines.size()) / 2.0;
    for (qsizetype i = 0; i < m_text.lines.size(); ++i) {
        const QRectF line(x, top + i * lineHeight, width() - x - horizontalPadding, lineHeight);
        painter.drawText(line, Qt::AlignVCenter | Qt::AlignLeft, m_text.lines[i]);
    }

    if (m_progress) {
        const QRectF track(horizontalPadding, height() - barBottom - barHeight,
                           width() - 2 * horizontalPadding, barHeight);
        painter.setPen(Qt::NoPen);
        painter.setBrush(QColor(255, 255, 255, 45));
        painter.drawRoundedRect(track, barHeight / 2.0, barHeight / 2.0);
        QRectF done = track;
        done.setWidth(track.width() * m_progress->fraction);
        painter.setBrush(QColor(120, 180, 255));
        if (done.width() > 0)
            painter.drawRoundedRect(done, barHeight / 2.0, barHeight / 2.0);
    }
}

Toast &Toast::shared()
{
    static Toast toast(Platform::shared().windowSystem());
    return toast;
}

Toast::Toast(WindowSystem &windowSystem) : m_windowSystem(windowSystem) {}

Toast::~Toast()
{
    // Later, not now: this may run in the exit handlers of an application
    // whose X server went away, where closing a window crashes.
    if (ToastView *view = m_slot.data())
        view->deleteLater();
}

void Toast::show(const QString &message, const QString &symbol, double seconds)
{
    auto *view = new ToastView(message, symbol, m_windowSystem.compositingActive());
    present(view);
    QPointer<ToastView> guard(view);
    QTimer::singleShot(int(seconds * 1000), &m_callbacks, [this, guard] { dismiss(guard); });
}

void Toast::showProgress(const QString &message, const QString &symbol, double fraction,
                         std::function<void()> cancel)
{
    if (ToastView *view = m_slot.data(); view && view->showsProgress()) {
        view->setProgress(message, fraction);
        if (QScreen *screen = QGuiApplication::primaryScreen())
            view->move(screen->geometry().center().x() - view->width() / 2, view->y());
        return;
    }
    present(new ToastView(message, symbol, m_windowSystem.compositingActive(),
                          ToastProgress{std::clamp(fraction, 0.0, 1.0), std::move(cancel)}));
}

void Toast::closeProgress()
{
    if (ToastView *view = m_slot.data(); view && view->showsProgress())
        dismiss(view);
}

void Toast::present(ToastView *view)
{
    if (ToastView *old = m_slot.data()) {
        m_slot = nullptr;
        old->close();
    }
    view->setWindowTitle(view->message()); // what window lists and screen readers show
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect frame = screen->geometry();
        view->move(frame.center().x() - view->width() / 2, frame.top() + topMargin);
    }
    // Fades need a compositor; without one the toast simply appears and goes.
    const bool translucent = m_windowSystem.compositingActive();
    view->setWindowOpacity(translucent ? 0.0 : 1.0);
    view->show();
    view->raise();
    m_slot = view;
    if (translucent)
        fade(view, 1.0, fadeInMs);
}

void Toast::dismiss(ToastView *view)
{
    QPointer<ToastView> guard(view);
    if (!guard || m_slot != guard)
        return;
    auto finish = [this, guard] {
        QTimer::singleShot(afterFadeMs, &m_callbacks, [this, guard] {
            if (m_slot == guard)
                m_slot = nullptr;
            if (guard)
                guard->close();
        });
    };
    if (m_windowSystem.compositingActive())
        fade(guard, 0.0, fadeOutMs, &m_callbacks, finish);
    else
        finish();
}

} // namespace zorv
