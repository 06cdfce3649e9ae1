#include "app/tray/GlassMenuController.h"

#include "app/MemoryTuning.h"
#include "app/tray/GlassMenuView.h"
#include "common/WhenReady.h"
#include "platform/WindowSystem.h"
#include "settings/AppSettings.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace zorv
{

namespace
{

QList<PlacementScreen> qtScreens()
{
    QList<PlacementScreen> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append({screen->geometry(), screen->availableGeometry()});
    return screens;
}

int primaryIndex()
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    return std::max(0, int(screens.indexOf(QGuiApplication::primaryScreen())));
}

qint64 monotonicMs()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock.elapsed();
}

const QString notInThisBuild = QStringLiteral("Not available in this build of Zorv yet.");

} // namespace

GlassMenuController::GlassMenuController(GlassMenuActions actions, GlassMenuServices services,
                                         QObject *parent)
    : QObject(parent), m_actions(std::move(actions)), m_services(std::move(services))
{
    if (!m_services.screens)
        m_services.screens = &qtScreens;
    if (!m_services.pointer) {
        m_services.pointer = [windows = m_services.windows] {
            return windows ? windows->pointerOrScreenCentre().toPoint() : QCursor::pos();
        };
    }
    if (!m_services.nowMs)
        m_services.nowMs = &monotonicMs;
}

GlassMenuController::~GlassMenuController() = default;

bool GlassMenuController::isOpen() const
{
    return m_view && m_view->isVisible();
}

std::optional<QString> GlassMenuController::unavailableReason(const GlassMenuCommand &command) const
{
    using Kind = GlassMenuCommand::Kind;
    switch (command.kind) {
    case Kind::capture:
        if (!m_actions.perform)
            return notInThisBuild;
        return captureAction::unavailableReason(command.action, m_services.capabilities);
    case Kind::openRecent:
        if (!m_actions.openRecent)
            return QStringLiteral("Opening captures from here is not available in this build "
                                  "of Zorv yet.");
        return std::nullopt;
    case Kind::history:
        if (!m_actions.showHistory)
            return QStringLiteral("The history window is not available in this build of Zorv "
                                  "yet.");
        return std::nullopt;
    case Kind::allSettings:
        if (!m_actions.openSettings)
            return QStringLiteral("The settings window is not available in this build of Zorv "
                                  "yet.");
        return std::nullopt;
    case Kind::enableScreenRecording:
        return m_actions.requestScreenAccess ? std::nullopt : std::optional(notInThisBuild);
    case Kind::quit:
        return m_actions.quit ? std::nullopt : std::optional(notInThisBuild);
    }
    return notInThisBuild;
}

void GlassMenuController::toggle(std::optional<QRect> icon)
{
    if (isOpen()) {
        hide();
        return;
    }
    if (m_services.nowMs() - m_lastHide < reopenGuardMs)
        return;
    show(icon);
}

void GlassMenuController::ensureView()
{
    if (m_view)
        return;
    m_view = std::make_unique<GlassMenuView>(
        m_model, *m_services.settings, m_services.capabilities,
        [this](const GlassMenuCommand &command) { return unavailableReason(command); });
    connect(m_view.get(), &GlassMenuView::commandChosen, this, &GlassMenuController::run);
    connect(m_view.get(), &GlassMenuView::contentHeightChanged, this, [this](int height) {
        if (isOpen())
            place(height);
    });
    // However it closed (outside click, Escape, a command), note it once.
    connect(m_view.get(), &GlassMenuView::hidden, this, &GlassMenuController::panelHidden);
    // Another of Zorv's windows taking the focus (a dialog) ends the panel too.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow *window) {
        if (window && isOpen() && window != m_view->windowHandle())
            hide();
    });
}

void GlassMenuController::show(std::optional<QRect> icon)
{
    m_icon = icon;
    m_pointer = m_services.pointer();
    m_model.showingSettings = false;
    m_model.screenAccessGranted =
        !m_services.screenAccessGranted || m_services.screenAccessGranted();
    const QList<HistoryItem> history =
        m_services.history ? m_services.history() : QList<HistoryItem>();
    m_model.recent = history.mid(0, 4);
    // Thumbnails of entries that left the strip are not kept.
    for (auto it = m_model.thumbnails.begin(); it != m_model.thumbnails.end();) {
        const QUuid id = it.key();
        const bool shown = std::any_of(m_model.recent.cbegin(), m_model.recent.cend(),
                                       [&id](const HistoryItem &item) { return item.id == id; });
        it = shown ? std::next(it) : m_model.thumbnails.erase(it);
    }
    m_model.appeared = false;
    ensureView();
    if (m_services.windows)
        m_view->setTranslucent(m_services.windows->compositingActive());
    m_model.notify();
    place(m_view->contentHeight());
    m_view->show();
    if (m_services.windows && m_view->windowHandle())
        m_services.windows->setOnAllWorkspaces(m_view->windowHandle());
    updateBlur();
    m_open = true;
    loadThumbnails();
    QTimer::singleShot(0, this, [this] {
        if (!isOpen())
            return;
        m_model.appeared = true;
        m_view->animateEntrance();
    });
    Q_EMIT opened();
}

void GlassMenuController::place(int contentHeight)
{
    PlacementInput input;
    input.icon = m_icon;
    input.pointer = m_pointer;
    input.screens = m_services.screens();
    input.primary = primaryIndex();
    input.contentHeight = contentHeight;
    const PanelPlacement placement = placePanel(input);
    if (m_model.notchX != placement.notchX || m_model.notchOnBottom != placement.upward) {
        m_model.notchX = placement.notchX;
        m_model.notchOnBottom = placement.upward;
        m_model.notify();
    }
    m_view->setGeometry(placement.frame);
    updateBlur(); // the quick-settings page has another height
}

void GlassMenuController::updateBlur()
{
    if (m_services.windows && m_view->windowHandle() && m_view->translucent())
        m_services.windows->setBlurBehind(m_view->windowHandle(),
                                          m_view->sheetPath().toFillPolygon().toPolygon());
}

void GlassMenuController::loadThumbnails()
{
    if (!m_services.thumbnail)
        return;
    for (const HistoryItem &item : std::as_const(m_model.recent)) {
        if (m_model.thumbnails.contains(item.id))
            continue;
        const QUuid id = item.id;
        whenReady(m_services.thumbnail(item), this, [this, id](const std::optional<QImage> &image) {
            if (!image || image->isNull())
                return; // the tile keeps its placeholder
            const bool stillShown =
                std::any_of(m_model.recent.cbegin(), m_model.recent.cend(),
                            [&id](const HistoryItem &item) { return item.id == id; });
            if (!stillShown)
                return;
            m_model.thumbnails.insert(id, *image);
            m_model.notify();
        });
    }
}

void GlassMenuController::hide()
{
    if (!isOpen())
        return;
    m_view->hide(); // panelHidden() follows from the view's hide event
}

void GlassMenuController::panelHidden()
{
    if (!m_open)
        return;
    m_open = false;
    m_model.appeared = false;
    m_lastHide = m_services.nowMs();
    // Once the window's buffer is gone too (the view drops it on the next turn).
    QTimer::singleShot(50, this, [this] {
        if (!isOpen())
            memoryTuning::releaseFreeMemory();
    });
    Q_EMIT closed();
}

void GlassMenuController::run(const GlassMenuCommand &command)
{
    hide();
    if (unavailableReason(command))
        return;
    QTimer::singleShot(commandDelayMs, this, [this, command] {
        using Kind = GlassMenuCommand::Kind;
        switch (command.kind) {
        case Kind::capture:
            m_actions.perform(command.action);
            break;
        case Kind::openRecent:
            m_actions.openRecent(command.item);
            break;
        case Kind::history:
            m_actions.showHistory();
            break;
        case Kind::allSettings:
            m_actions.openSettings();
            break;
        case Kind::enableScreenRecording:
            m_actions.requestScreenAccess();
            break;
        case Kind::quit:
            m_actions.quit();
            break;
        }
    });
}

void GlassMenuController::setRecording(bool recording)
{
    if (m_model.isRecording == recording)
        return;
    m_model.isRecording = recording;
    m_model.notify();
}

} // namespace zorv
