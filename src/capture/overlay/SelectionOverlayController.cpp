#include "capture/overlay/SelectionOverlayController.h"

#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayWindow.h"
#include "platform/WindowSystem.h"

#include <QCursor>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
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
} // namespace

struct SelectionOverlayController::Session {
    std::unique_ptr<SelectionOverlayView> view;
    // Declared after the view: the windows refer to it and go first.
    std::vector<std::unique_ptr<SelectionOverlayWindow>> windows;
    bool loaded = false;
};

SelectionOverlayController::SelectionOverlayController(Sources sources, WindowSystem &windowSystem,
                                                       QObject *parent)
    : QObject(parent), m_sources(std::move(sources)), m_windowSystem(windowSystem)
{
}

SelectionOverlayController::~SelectionOverlayController() = default;

SelectionOverlayView *SelectionOverlayController::view() const
{
    return m_session ? m_session->view.get() : nullptr;
}

QList<SelectionOverlayWindow *> SelectionOverlayController::windows() const
{
    QList<SelectionOverlayWindow *> list;
    if (m_session) {
        for (const auto &window : m_session->windows)
            list.append(window.get());
    }
    return list;
}

void SelectionOverlayController::begin(SelectionMode mode, bool windowMode, Completion completion)
{
    if (m_isPresenting)
        return;
    m_isPresenting = true;
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
        for (const auto &window : m_session->windows)
            window->updateView(rect);
    };
    view.setInitialPointer(QPointF(QCursor::pos()) - unionFrame.topLeft());

    // Without compositing the windows cannot be see-through: freeze each
    // screen first and paint it under the dimming.
    const bool frozen = !m_windowSystem.compositingActive() && m_sources.frozenScreen;
    QScreen *pointerScreen = QGuiApplication::screenAt(QCursor::pos());
    SelectionOverlayWindow *keyWindow = nullptr;
    for (QScreen *screen : QGuiApplication::screens()) {
        QImage background = frozen ? m_sources.frozenScreen(screen) : QImage();
        auto window = std::make_unique<SelectionOverlayWindow>(view, screen, std::move(background));
        connect(
            window.get(), &SelectionOverlayWindow::firstPaint, this,
            [this, generation] { loadContent(generation); }, Qt::QueuedConnection);
        if (!keyWindow || screen == pointerScreen)
            keyWindow = window.get();
        m_session->windows.push_back(std::move(window));
    }
    for (const auto &window : m_session->windows)
        window->show();
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
    if (!view.isWindowMode() && m_sources.snapshot) {
        const QRectF unionFrame(view.origin(), view.bounds().size());
        if (auto image = m_sources.snapshot(unionFrame))
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

    // Hiding a window ends its grabs; the windows are destroyed later because
    // this runs inside one of their event handlers.
    std::shared_ptr<Session> retired(m_session.release());
    for (const auto &window : retired->windows) {
        window->windowHandle()->setKeyboardGrabEnabled(false);
        window->windowHandle()->setMouseGrabEnabled(false);
        window->hide();
    }
    QTimer::singleShot(0, qApp, [retired] {});

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
