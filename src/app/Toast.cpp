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
constexpr int maxTextWidth = 860;
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
    resize(sizeHint());
    if (!translucent) // without a compositor, cut the window to the pill itself
        setMask(QRegion(pillPath().toFillPolygon().toPolygon()));
}

QSize ToastView::sizeHint() const
{
    // Measured for this window's screen, as the text will be painted.
    const QFontMetricsF metrics(toastFont(), this);
    const int text =
        std::min(int(std::ceil(metrics.horizontalAdvance(m_message))) + 1, maxTextWidth);
    const int symbol = Symbols::contains(m_symbol) ? symbolSize + spacing : 0;
    return {horizontalPadding * 2 + symbol + text, pillHeight};
}

QPainterPath ToastView::pillPath() const
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), pillHeight / 2.0, pillHeight / 2.0);
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
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), pillHeight / 2.0 - 0.5,
                            pillHeight / 2.0 - 0.5);

    int x = horizontalPadding;
    if (Symbols::contains(m_symbol)) {
        const QPixmap icon = Symbols::pixmap(m_symbol, symbolSize, Qt::white, devicePixelRatioF());
        painter.drawPixmap(x, (pillHeight - symbolSize) / 2, icon);
        x += symbolSize + spacing;
    }
    painter.setPen(Qt::white);
    painter.setFont(toastFont());
    const QRect textRect(x, 0, width() - x - horizontalPadding, pillHeight);
    const QString text =
        QFontMetricsF(toastFont(), this).elidedText(m_message, Qt::ElideRight, textRect.width());
    painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, text);
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
