#include "output/quickaccess/QuickAccessPanelController.h"

#include "common/Log.h"
#include "output/Naming.h"
#include "output/quickaccess/QuickAccessView.h"
#include "platform/WindowSystem.h"
#include "settings/AppSettings.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QScreen>
#include <QUrl>

namespace zorv
{

namespace
{
QList<QuickAccessScreen> qtScreens()
{
    QList<QuickAccessScreen> screens;
    const QScreen *primary = QGuiApplication::primaryScreen();
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append({screen->availableGeometry(), screen == primary});
    return screens;
}

// Below the X server's largest request (16 MiB with BIG-REQUESTS), with room
// for the request's own header.
constexpr qsizetype largestDraggedPng = 15 * 1024 * 1024;

bool fileExists(const std::optional<QString> &path)
{
    return path && QFileInfo(*path).isFile();
}
} // namespace

QuickAccessPanelController::QuickAccessPanelController(AppSettings &settings,
                                                       WindowSystem &windowSystem,
                                                       QuickAccessActions actions, Screens screens,
                                                       QObject *parent)
    : QObject(parent), m_settings(settings), m_windowSystem(windowSystem),
      m_actions(std::move(actions)), m_screens(screens ? std::move(screens) : Screens(&qtScreens))
{
    m_dismiss.setSingleShot(true);
    connect(&m_dismiss, &QTimer::timeout, this, &QuickAccessPanelController::hide);
}

QuickAccessPanelController::~QuickAccessPanelController()
{
    delete m_panel.data();
}

void QuickAccessPanelController::show(QuickAccessPayload payload)
{
    if (m_dragging) {
        m_showAfterDrag = std::move(payload);
        return;
    }
    hide();
    m_payload = std::move(payload);

    QuickAccessViewCallbacks callbacks;
    QPointer<QuickAccessPanelController> self(this);
    callbacks.action = [self](QuickAction action) {
        if (self)
            self->perform(action);
    };
    callbacks.close = [self] {
        if (self)
            self->hide();
    };
    callbacks.hover = [self](bool inside) {
        if (self)
            self->setHovering(inside);
    };
    callbacks.dragData = [self]() -> QMimeData * {
        return self ? self->dragData() : new QMimeData;
    };
    callbacks.dragStarted = [self] {
        if (self)
            self->dragStarted();
    };
    callbacks.dragEnded = [self] {
        if (self)
            self->dragEnded();
    };
    const QString subtitle = quickAccess::shownSubtitle(*m_payload, m_settings.copyToClipboard());
    const bool translucent = m_windowSystem.compositingActive();
    m_panel = new QuickAccessView(*m_payload, subtitle, translucent, std::move(callbacks));

    const bool imageLike = m_payload->isImageLike();
    const auto disable = [this](QuickAction action, const QString &why) {
        if (QuickActionButton *tile = m_panel->tile(action)) {
            tile->setEnabled(false);
            tile->setToolTip(why);
        }
    };
    if (!m_actions.extractText)
        disable(QuickAction::text, QStringLiteral("Text recognition is not available here"));
    if (!m_actions.upload)
        disable(QuickAction::link, QStringLiteral("Uploading is not available here"));
    else if (!m_payload->hasImage() && !imageLike)
        disable(QuickAction::link, QStringLiteral("This recording has no picture to upload"));

    m_hovering = false;
    place();
    m_panel->show();
    m_panel->raise();
    m_windowSystem.setOnAllWorkspaces(m_panel->windowHandle());
    if (translucent)
        m_windowSystem.setBlurBehind(m_panel->windowHandle(),
                                     QRegion(m_panel->sheetPath().toFillPolygon().toPolygon()));
    scheduleDismiss();
}

void QuickAccessPanelController::hide()
{
    if (m_dragging) {
        m_hideAfterDrag = true;
        return;
    }
    m_dismiss.stop();
    m_payload.reset();
    m_hovering = false;
    if (QuickAccessView *panel = m_panel.data()) {
        m_panel = nullptr;
        panel->hide();
        // Later: this may run inside one of the panel's own click handlers.
        panel->deleteLater();
    }
}

void QuickAccessPanelController::place()
{
    const auto origin =
        quickAccessPlacement::origin(m_screens(), m_panel->size(), m_settings.quickAccessCorner());
    if (origin)
        m_panel->move(*origin);
}

void QuickAccessPanelController::scheduleDismiss()
{
    m_dismiss.stop();
    const double seconds = m_settings.quickAccessSeconds();
    if (seconds > 0 && !m_hovering && m_panel)
        m_dismiss.start(int(seconds * 1000));
}

void QuickAccessPanelController::setHovering(bool inside)
{
    m_hovering = inside;
    if (inside)
        m_dismiss.stop();
    else
        scheduleDismiss(); // the full time again
}

void QuickAccessPanelController::dragStarted()
{
    m_dragging = true;
    m_dismiss.stop();
}

void QuickAccessPanelController::dragEnded()
{
    m_dragging = false;
    if (auto next = std::exchange(m_showAfterDrag, std::nullopt)) {
        m_hideAfterDrag = false;
        show(std::move(*next));
    } else if (std::exchange(m_hideAfterDrag, false)) {
        hide();
    } else {
        // The pointer is somewhere else now: the full time starts over.
        m_hovering = m_panel && m_panel->underMouse();
        scheduleDismiss();
    }
}

QMimeData *QuickAccessPanelController::dragData() const
{
    auto *data = new QMimeData;
    if (!m_payload)
        return data;
    const auto file = existingFile();
    if (m_payload->isImageLike() && m_payload->hasImage()) {
        // PNG only: Qt's own image offer adds BMP and other raw formats, and X
        // drops send each in one request, which a 4K bitmap overflows (the X
        // connection breaks and Zorv with it).
        QByteArray png;
        if (file && file->endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
            QFile stored(*file);
            if (stored.open(QIODevice::ReadOnly))
                png = stored.readAll();
        }
        if (png.isEmpty()) {
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            m_payload->image->save(&buffer, "PNG");
        }
        if (png.size() <= largestDraggedPng)
            data->setData(QStringLiteral("image/png"), png);
        else
            logLine(QStringLiteral("the capture is too large to drag as a picture (%1 bytes); "
                                   "dragging its file only")
                        .arg(png.size()));
    }
    // File managers and upload fields take only files.
    if (file)
        data->setUrls({QUrl::fromLocalFile(*file)});
    return data;
}

std::optional<QString> QuickAccessPanelController::existingFile() const
{
    if (!m_payload)
        return std::nullopt;
    if (fileExists(m_payload->filePath))
        return m_payload->filePath;
    if (m_payload->historyID && m_actions.historyFile) {
        const auto stored = m_actions.historyFile(*m_payload->historyID);
        if (fileExists(stored))
            return stored;
    }
    return std::nullopt;
}

void QuickAccessPanelController::toast(const QString &message, const QString &symbol) const
{
    if (m_actions.toast)
        m_actions.toast(message, symbol, toastSeconds);
}

void QuickAccessPanelController::perform(QuickAction action)
{
    if (!m_payload || m_dragging)
        return;
    const QuickAccessPayload &payload = *m_payload;
    switch (action) {
    case QuickAction::edit:
        annotate();
        return;
    case QuickAction::play:
        play();
        return;
    case QuickAction::copy:
        copy();
        return;
    case QuickAction::save:
        save();
        return;
    case QuickAction::pin:
        if (payload.hasImage() && m_actions.pin) {
            const QImage image = *payload.image;
            hide();
            m_actions.pin(image);
        }
        return;
    case QuickAction::text:
        if (payload.hasImage() && m_actions.extractText) {
            const QImage image = *payload.image;
            const auto id = payload.historyID;
            hide();
            m_actions.extractText(image, id);
        }
        return;
    case QuickAction::link:
        if (payload.hasImage() && m_actions.upload) {
            const QImage image = *payload.image;
            hide();
            m_actions.upload(image);
        }
        return;
    case QuickAction::folder:
        reveal();
        return;
    case QuickAction::remove:
        remove();
        return;
    }
}

void QuickAccessPanelController::annotate()
{
    const QuickAccessPayload payload = *m_payload;
    hide();
    if (payload.hasImage()) {
        if (m_actions.openEditor)
            m_actions.openEditor(*payload.image, payload.kind, payload.historyID);
    } else if (fileExists(payload.filePath) && m_actions.openFile) {
        m_actions.openFile(*payload.filePath);
    }
}

void QuickAccessPanelController::play()
{
    // Videos play in the desktop's default application for their type.
    const auto file = existingFile();
    if (!file || !m_actions.openFile)
        return;
    hide();
    m_actions.openFile(*file);
}

void QuickAccessPanelController::copy()
{
    const QuickAccessPayload &payload = *m_payload;
    if (payload.isImageLike() && payload.hasImage() && m_actions.copyImage) {
        m_actions.copyImage(*payload.image);
    } else if (const auto file = existingFile(); file && m_actions.copyFile) {
        // A recording is copied as its file, never as its first frame.
        m_actions.copyFile(*file);
    } else {
        return;
    }
    toast(QStringLiteral("Copied to Clipboard"), QStringLiteral("doc.on.doc.fill"));
    hide();
}

void QuickAccessPanelController::save()
{
    if (!m_payload->hasImage() || !m_actions.saveWithPanel)
        return;
    const QImage image = *m_payload->image;
    const auto [nameTemplate, format] =
        m_actions.naming ? m_actions.naming()
                         : std::pair(m_settings.nameTemplate(), m_settings.imageFormat());
    const QString name = Naming::fileName(nameTemplate, QDateTime::currentDateTime(),
                                          imageFormat::fileExtension(format));
    // Gone at once: the save dialog should not sit beside a panel that may time out under it.
    hide();
    m_actions.saveWithPanel(image, name, [toast = m_actions.toast](std::optional<QString> path) {
        if (path && toast)
            toast(QStringLiteral("Saved ") + QFileInfo(*path).fileName(),
                  QStringLiteral("checkmark.circle.fill"), toastSeconds);
    });
}

void QuickAccessPanelController::reveal()
{
    const auto file = existingFile();
    if (!file || !m_actions.reveal)
        return;
    hide();
    m_actions.reveal(*file);
}

void QuickAccessPanelController::remove()
{
    const auto id = m_payload->historyID;
    hide();
    // Only the history's copy goes; files saved elsewhere stay.
    if (id && m_actions.removeHistoryEntry)
        m_actions.removeHistoryEntry(*id);
}

} // namespace zorv
