#pragma once

#include "platform/WindowSystem.h"

#include <QObject>
#include <QPointer>
#include <QScreen>

namespace zorv
{

// What a Wayland client may know and ask of the compositor. Every Wayland desktop composes,
// so translucency always works; other clients' windows, workspaces and the focus are the
// compositor's own business.
class WaylandWindowSystem : public QObject, public WindowSystem
{
    Q_OBJECT
  public:
    // Watches the application's input to know which output the user works on.
    WaylandWindowSystem();
    bool compositingActive() override { return true; }
    // Other clients' windows cannot be named on Wayland.
    uint32_t activeWindow() override { return 0; }
    void activateWindow(uint32_t) override {}
    void setOnAllWorkspaces(QWindow *) override {}
    void setBlurBehind(QWindow *, const QRegion &) override {}
    // The tray of a Wayland desktop is a StatusNotifierItem host: watches its D-Bus name.
    void watchTray(QObject *context, std::function<void()> changed) override;
    // A window cannot place itself here: its drags are the compositor's.
    bool startSystemMove(QWindow *window) override;
    // The pointer's position is not told to clients.
    std::optional<QPointF> pointerPosition() override { return std::nullopt; }
    // The output of the Zorv window the user last clicked, typed, scrolled or moved the
    // pointer in; else the first output.
    QScreen *pointerScreen() override;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    void placeOnShow(QWindow *window);
    // Frameless windows (toasts, panels, pins, bars) must float above the desktop's layout
    // rather than be tiled into it. Tiling compositors float a window whose size is fixed when
    // it first appears, so its size hints are pinned to its size until then and given back
    // once it is on screen (it stays floating), so that it can still grow later.
    void pinSizeUntilMapped(QWindow *window);
    void releaseSize(QWindow *window);

    QPointer<QScreen> m_lastScreen;
    struct Hints {
        QPointer<QWindow> window;
        QSize minimum;
        QSize maximum;
    };
    QList<Hints> m_pinned;
};

} // namespace zorv
