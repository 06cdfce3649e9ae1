#include "app/tray/StatusBarController.h"

#include "app/tray/GlassMenuController.h"
#include "app/tray/StatusIcon.h"
#include "common/Log.h"
#include "platform/WindowSystem.h"

namespace zorv
{

StatusBarController::StatusBarController(GlassMenuController &panel, WindowSystem &windows,
                                         ToastFunction toast, QObject *parent)
    : QObject(parent), m_panel(panel), m_windows(windows), m_toast(std::move(toast))
{
}

StatusBarController::~StatusBarController() = default;

void StatusBarController::install()
{
    if (m_icon)
        return;
    m_icon = std::make_unique<QSystemTrayIcon>(StatusIcon::trayIcon());
    m_icon->setToolTip(QStringLiteral("Zorv — Capture, annotate, record"));
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &StatusBarController::activated);
    m_icon->show();
    m_trayAvailable = QSystemTrayIcon::isSystemTrayAvailable();
    if (!m_trayAvailable) {
        logLine(QStringLiteral("no system tray is available; the shortcuts and the zorv "
                               "command work, and the icon appears when a tray starts."));
        if (m_toast)
            m_toast(QStringLiteral("No system tray is available. Zorv keeps running: use its "
                                   "shortcuts or the zorv command."),
                    QStringLiteral("info.circle"), 6.0);
    }
    m_windows.watchTray(this, [this] { trayChanged(); });
}

void StatusBarController::trayChanged()
{
    const bool available = QSystemTrayIcon::isSystemTrayAvailable();
    if (available && !m_trayAvailable && m_icon) {
        logLine(QStringLiteral("a system tray appeared; the icon is shown there."));
        // Qt looks for a tray only when the icon is shown.
        m_icon->hide();
        m_icon->show();
    }
    m_trayAvailable = available;
}

void StatusBarController::activated(QSystemTrayIcon::ActivationReason reason)
{
    // Left and right button both open the panel; the second press of a
    // double click was already a Trigger.
    if (reason != QSystemTrayIcon::Trigger && reason != QSystemTrayIcon::Context)
        return;
    const QRect geometry = m_icon->geometry();
    m_panel.toggle(geometry.isEmpty() ? std::nullopt : std::optional(geometry));
}

void StatusBarController::setRecording(bool recording)
{
    m_panel.setRecording(recording);
    if (!m_icon)
        return;
    m_icon->setIcon(recording ? StatusIcon::recordingIcon() : StatusIcon::trayIcon());
    m_icon->setToolTip(recording ? QStringLiteral("Recording")
                                 : QStringLiteral("Zorv — Capture, annotate, record"));
}

} // namespace zorv
