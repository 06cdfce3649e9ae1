#pragma once

#include "app/DeliveryPipeline.h"
#include "common/CaptureAction.h"

#include <QObject>
#include <QSet>
#include <functional>

namespace zorv
{

class AppSettings;
class HotKeyCenter;

// Keeps the global shortcuts registered for the actions this desktop can carry
// out, registers them again whenever the user changes them, and tells the user
// once about each shortcut that another program holds or the desktop declines (it
// is tried again at the next change and the next start).
class ShortcutRegistrar : public QObject
{
    Q_OBJECT
  public:
    using Dispatch = std::function<void(CaptureAction)>;
    static constexpr double noticeSeconds = 6.0;

    ShortcutRegistrar(HotKeyCenter &center, AppSettings &settings,
                      PlatformCapabilities capabilities, Dispatch dispatch, ToastFunction toast,
                      QObject *parent = nullptr);

    void registerAll();
    // Releases every shortcut (while a shortcut field records) until resume().
    void suspend();
    void resume();
    bool isSuspended() const { return m_suspended; }
    // nullopt when another program does not hold `combo`; meaningful while suspended.
    std::optional<QString> probe(const KeyCombo &combo);

  private:
    void tellAboutRefusals();

    HotKeyCenter &m_center;
    AppSettings &m_settings;
    PlatformCapabilities m_capabilities;
    Dispatch m_dispatch;
    ToastFunction m_toast;
    QSet<QString> m_told; // "action combo" already reported
    bool m_suspended = false;
};

} // namespace zorv
