#pragma once

#include <QWidget>
#include <functional>

namespace zorv
{

class AppSettings;

struct WelcomeServices {
    AppSettings *settings = nullptr;
    // Whether captures work on this desktop, and if not, why and what to do.
    std::function<bool()> screenCaptureGranted;
    QString unavailableReason;
    std::function<void()> openSettings; // empty: the button is disabled
};

// Greets the user at the first start: the default shortcuts, whether capture
// works here, and a way into the settings. Dismissing it in any way marks it
// seen, so it is shown once.
class WelcomeWindow : public QWidget
{
    Q_OBJECT
  public:
    static constexpr int delayMs = 500;

    explicit WelcomeWindow(WelcomeServices services, QWidget *parent = nullptr);
    // Shows the window 0.5 s from now unless the user has already seen it.
    static void presentAtStart(WelcomeServices services);

  protected:
    void closeEvent(QCloseEvent *event) override;

  private:
    WelcomeServices m_services;
};

} // namespace zorv
