#pragma once

#include "settings/Options.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QObject>
#include <functional>
#include <memory>

namespace zorv
{

class PinContentView;

class WindowSystem;

// What a pin does with its image, wired by the application.
struct PinActions {
    std::function<void(const QImage &)> copy;
    std::function<void(const QImage &, const QString &suggestedName)> saveWithPanel;
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    // The settings' file-name template and image format.
    std::function<std::pair<QString, ImageFormat>()> naming;
};

// One pinned screenshot: a small floating window above ordinary windows on
// every workspace. Open pins keep themselves alive in `pins()` until closed.
class PinWindowController : public QObject
{
    Q_OBJECT
  public:
    // Creates and shows a pin; null for an image with no pixels.
    static PinWindowController *pin(const QImage &image, WindowSystem &windowSystem,
                                    PinActions actions);
    static const QList<PinWindowController *> &pins();

    PinWindowController(QImage image, WindowSystem &windowSystem, PinActions actions);
    ~PinWindowController() override;

    const QImage &image() const { return m_image; }
    double aspect() const { return m_aspect; }
    PinContentView *window() const { return m_window.get(); }

    // Lets the compositor move the pin for a drag that just began; false when the pin
    // follows the pointer itself.
    bool handOverMove();
    void copyImage();
    void saveToDisk();
    void close();
    // Called by the window when it closes, however that happened.
    void windowClosed();

    static QString suggestedFileName(const QString &nameTemplate, ImageFormat format,
                                     const QDateTime &date);

  private:
    WindowSystem &m_windowSystem;
    QImage m_image;
    PinActions m_actions;
    double m_aspect = 1.0;
    std::unique_ptr<PinContentView> m_window;
};

} // namespace zorv
