#pragma once

#include "app/DeliveryPipeline.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

namespace zorv
{

class GlassMenuController;
class WindowSystem;

// The tray icon: shows the viewfinder (or the recording symbol) and opens the
// panel. Where no tray exists it says so once and waits for one.
class StatusBarController : public QObject
{
    Q_OBJECT
  public:
    StatusBarController(GlassMenuController &panel, WindowSystem &windows, ToastFunction toast,
                        QObject *parent = nullptr);
    ~StatusBarController() override;

    void install();
    void setRecording(bool recording);
    QSystemTrayIcon *trayIcon() const { return m_icon.get(); }

  private:
    void activated(QSystemTrayIcon::ActivationReason reason);
    void trayChanged();

    GlassMenuController &m_panel;
    WindowSystem &m_windows;
    ToastFunction m_toast;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    bool m_trayAvailable = false;
};

} // namespace zorv
