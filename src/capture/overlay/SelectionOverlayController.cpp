#include "capture/overlay/SelectionOverlayController.h"

#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayWindow.h"
#include "platform/WindowSystem.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace zorv
{

namespace
{
// Grabs can be refused for a moment (another client still holds the keyboard,
// e.g. a menu closing); try again a few times.
constexpr int grabAttempts = 20;
constexpr int grabRetryMs = 25;
// When no window reports its first paint (never exposed), load anyway.
constexpr int loadFallbackMs = 150;

void grabInput(QPointer<SelectionOverlayWindow> window, int attemptsLeft)
{
    if (!window || !window->isVisible())
        return;
    QWindow *handle = window->windowHandle();
    const bool keyboard = handle->setKeyboardGrabEnabled(true);
    const bool mouse = handle->setMouseGrabEnabled(true);
    if ((keyboard && mouse) || attemptsLeft <= 0)
        return;
    QTimer::singleShot(grabRetryMs, window,
                       [window, attemptsLeft] { grabInput(window, attemptsLeft - 1); });
}

QList<SelectionOverlayController::Screen> qtScreens()
{
    QList<SelectionOverlayController::Screen> screens;
    for (QScreen *screen : QGuiApplication::screens())
        screens.append({screen, screen->name(), screen->geometry(), screen->devicePixelRatio()});
    return screens;
}
} // namespace

struct SelectionOverlayController::Session {
    std::unique_ptr<SelectionOverlayView> view;
    // Each screen as frozen before the overlay showed (none when composited).
    QList<QImage> frozen;
    bool loaded = false;
};

namespace
{
// The covered area as the frozen screens show it, when they hold all of it at
// one pixel ratio: the loupe then needs no second read of the desktop.
std::optional<QImage> snapshotFromFrozen(const QList<SelectionOverlayController::Screen> &screens,
                                         const QList<QImage> &frozen, const QRectF &unionFrame)
{
    if (screens.isEmpty() || frozen.size() != screens.size())
        return std::nullopt;
    const qreal ratio = screens.first().ratio;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (screens[i].ratio != ratio || frozen[i].isNull() ||
            frozen[i].size() != (QSizeF(screens[i].geometry.size()) * ratio).toSize())
            return std::nullopt;
    }
    if (screens.size() == 1 && QRectF(screens.first().geometry) == unionFrame)
        return frozen.first();
    QImage snapshot((unionFrame.size() * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    if (snapshot.isNull())
        return std::nullopt;
    snapshot.fill(Qt::transparent);
    QPainter painter(&snapshot);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QPointF at = (QPointF(screens[i].geometry.topLeft()) - unionFrame.topLeft()) * ratio;
        painter.drawImage(QRectF(at, frozen[i].size()), frozen[i], QRectF(frozen[i].rect()));
    }
    return snapshot;
}
} // namespace

SelectionOverlayController::SelectionOverlayController(Sources sources, WindowSystem &windowSystem,
                                                       int keepMs, QObject *parent)
    : QObject(parent), m_sources(std::move(sources)), m_windowSystem(windowSystem)
{
    if (!m_sources.screens)
        m_sources.screens = &qtScreens;
    m_release.setSingleShot(true);
    m_release.setInterval(keepMs);
    connect(&m_release, &QTimer::timeout, this, &SelectionOverlayController::releaseWindows);
}

SelectionOverlayController::~SelectionOverlayController()
{
    // The windows refer to the view: they go first.
    m_windows.clear();
}

SelectionOverlayView *SelectionOverlayController::view() const
{
    return m_session ? m_session->view.get() : nullptr;
}

QList<SelectionOverlayWindow *> SelectionOverlayController::windows() const
{
    QList<SelectionOverlayWindow *> list;
    for (const auto &window : m_windows)
        list.append(window.get());
    return list;
}

void SelectionOverlayController::prepareWindows(const QList<Screen> &screens, bool opaque)
{
    const bool fits = screens == m_windowScreens &&
                      std::all_of(m_windows.cbegin(), m_windows.cend(),
                                  [opaque](const auto &w) { return w->isOpaque() == opaque; });
    if (fits && !m_windows.empty())
        return;
    releaseWindows();
    for (const Screen &screen : screens) {
        auto window =
            std::make_unique<SelectionOverlayWindow>(screen.screen, screen.geometry, opaque);
        connect(
            window.get(), &SelectionOverlayWindow::firstPaint, this,
            [this] {
                if (m_isPresenting)
                    loadContent(m_generation);
            },
            Qt::QueuedConnection);
        m_windows.push_back(std::move(window));
    }
    m_windowScreens = screens;
}

void SelectionOverlayController::releaseWindows()
{
    m_release.stop();
    m_windows.clear();
    m_windowScreens.clear();
}

void SelectionOverlayController::begin(SelectionMode mode, bool windowMode, Completion completion)
{
    if (m_isPresenting)
        return;
    m_isPresenting = true;
    m_release.stop();
    m_completion = std::move(completion);
    m_previousWindow = m_windowSystem.activeWindow();
    const int generation = ++m_generation;

    const QRectF unionFrame = m_sources.unionFrame();
    m_session = std::make_unique<Session>();
    m_session->view = std::make_unique<SelectionOverlayView>(mode, windowMode, unionFrame);
    SelectionOverlayView &view = *m_session->view;
    QPointer<SelectionOverlayController> self(this);
    view.onFinish = [self, generation](std::optional<SelectionOutcome> outcome) {
        if (self && self->m_generation == generation)
            self->finish(std::move(outcome));
    };
    view.onDirty = [this](const QRectF &rect) {
        for (const auto &window : m_windows)
            window->updateView(rect);
    };
    view.setInitialPointer(m_windowSystem.pointerOrScreenCentre() - unionFrame.topLeft());

    // Without compositing the windows cannot be see-through: freeze each
    // screen first and paint it under the dimming.
    const bool frozen = !m_windowSystem.compositingActive() && m_sources.frozenScreen;
    const QList<Screen> screens = m_sources.screens();
    prepareWindows(screens, frozen);

    QScreen *pointerScreen = m_windowSystem.pointerScreen();
    SelectionOverlayWindow *keyWindow = nullptr;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        SelectionOverlayWindow *window = m_windows[size_t(i)].get();
        QImage background = frozen ? m_sources.frozenScreen(screens[i].screen) : QImage();
        if (frozen)
            m_session->frozen.append(background);
        window->present(view, std::move(background));
        if (!keyWindow || screens[i].screen == pointerScreen)
            keyWindow = window;
    }
    if (keyWindow) {
        keyWindow->raise();
        keyWindow->activateWindow();
        keyWindow->setFocus(Qt::OtherFocusReason);
        grabInput(keyWindow, grabAttempts);
    }
    QTimer::singleShot(loadFallbackMs, this, [this, generation] { loadContent(generation); });
}

void SelectionOverlayController::loadContent(int generation)
{
    // Runs once the overlay is on screen, so that it appears without waiting
    // for the desktop to be read.
    if (!m_session || m_generation != generation || m_session->loaded)
        return;
    m_session->loaded = true;
    SelectionOverlayView &view = *m_session->view;
    if (!view.isWindowMode()) {
        const QRectF unionFrame(view.origin(), view.bounds().size());
        auto image = snapshotFromFrozen(m_windowScreens, m_session->frozen, unionFrame);
        if (!image && m_sources.snapshot)
            image = m_sources.snapshot(unionFrame);
        if (image)
            view.setSnapshot(std::move(*image));
    }
    // The snapshot may have taken a while; the user may have finished meanwhile.
    if (!m_session || m_generation != generation)
        return;
    if (m_sources.windows) {
        if (auto windows = m_sources.windows())
            m_session->view->setWindows(std::move(*windows));
    }
}

void SelectionOverlayController::finish(std::optional<SelectionOutcome> outcome)
{
    if (!m_isPresenting)
        return;
    m_isPresenting = false;
    ++m_generation;
    Completion completion = std::move(m_completion);
    m_completion = nullptr;

    // Hiding a window ends its grabs. The view goes later: this runs inside
    // one of its handlers.
    for (const auto &window : m_windows)
        window->dismiss();
    std::shared_ptr<Session> retired(m_session.release());
    QTimer::singleShot(0, qApp, [retired] {});
    m_release.start();

    m_windowSystem.activateWindow(m_previousWindow);
    m_previousWindow = 0;

    if (completion) {
        QTimer::singleShot(completionDelayMs, qApp,
                           [completion = std::move(completion), outcome = std::move(outcome)] {
                               completion(outcome);
                           });
    }
}

} // namespace zorv
