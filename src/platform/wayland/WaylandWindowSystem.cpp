#include "platform/wayland/WaylandWindowSystem.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>
#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

namespace zorv
{

WaylandWindowSystem::WaylandWindowSystem()
{
    if (qGuiApp)
        qGuiApp->installEventFilter(this);
}

bool WaylandWindowSystem::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Show:
        if (auto *window = qobject_cast<QWindow *>(watched))
            placeOnShow(window);
        break;
    case QEvent::Expose:
        // The window paints and commits its first frame after this filter has seen the
        // event: the hints are given back once that has happened.
        if (auto *window = qobject_cast<QWindow *>(watched); window && window->isExposed()) {
            QTimer::singleShot(0, window, [this, window] { releaseSize(window); });
        }
        break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::Wheel:
    case QEvent::TouchBegin:
        // Input reaches the window first, then its widgets: the window says where.
        if (auto *window = qobject_cast<QWindow *>(watched))
            m_lastScreen = window->screen();
        break;
    default:
        break;
    }
    return false;
}

void WaylandWindowSystem::placeOnShow(QWindow *window)
{
    if (!window->flags().testFlag(Qt::FramelessWindowHint))
        return;
    // A frameless window as large as its screen is meant to cover it (the selection
    // overlay). Clients cannot place themselves: a full-screen window is put by the
    // compositor on the output of its screen, above the others.
    const QScreen *screen = window->screen();
    if (screen && window->geometry() == screen->geometry()) {
        window->setWindowStates(Qt::WindowFullScreen);
        return;
    }
    pinSizeUntilMapped(window);
}

void WaylandWindowSystem::pinSizeUntilMapped(QWindow *window)
{
    // A popup shown while no Zorv window has the focus has no parent to hang from, and Qt
    // makes it a top-level window: it is pinned too.
    const bool floating = window->flags().testFlag(Qt::FramelessWindowHint) &&
                          !(window->windowStates() & Qt::WindowFullScreen);
    if (!floating || window->size().isEmpty())
        return;
    for (const Hints &hints : std::as_const(m_pinned)) {
        if (hints.window == window)
            return;
    }
    m_pinned.append({window, window->minimumSize(), window->maximumSize()});
    window->setMinimumSize(window->size());
    window->setMaximumSize(window->size());
}

void WaylandWindowSystem::releaseSize(QWindow *window)
{
    for (qsizetype i = m_pinned.size() - 1; i >= 0; --i) {
        const Hints hints = m_pinned[i];
        if (!hints.window) {
            m_pinned.removeAt(i);
        } else if (hints.window == window) {
            m_pinned.removeAt(i);
            window->setMinimumSize(hints.minimum);
            window->setMaximumSize(hints.maximum);
        }
    }
}

QScreen *WaylandWindowSystem::pointerScreen()
{
    if (m_lastScreen)
        return m_lastScreen;
    const QList<QScreen *> screens = QGuiApplication::screens();
    return screens.isEmpty() ? nullptr : screens.first();
}

void WaylandWindowSystem::watchTray(QObject *context, std::function<void()> changed)
{
    if (!context)
        return;
    auto *watcher = new QDBusServiceWatcher(QStringLiteral("org.kde.StatusNotifierWatcher"),
                                            QDBusConnection::sessionBus(),
                                            QDBusServiceWatcher::WatchForOwnerChange, context);
    QObject::connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, context,
                     [changed = std::move(changed)] { changed(); });
}

bool WaylandWindowSystem::startSystemMove(QWindow *window)
{
    return window && window->startSystemMove();
}

} // namespace zorv
