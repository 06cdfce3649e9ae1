#pragma once

#include "capture/overlay/SelectionOverlayTypes.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QScreen;

namespace zorv
{

class ScreenCaptureService;
class SelectionOverlayView;
class SelectionOverlayWindow;
class WindowSystem;

// Presents the selection overlay over every screen and reports what the user
// chose, once per accepted begin(). The overlay's windows are kept, hidden,
// after a session and reused by the next one while the screens stay the same;
// `keepMs` after the last use they are destroyed and their memory returns.
class SelectionOverlayController : public QObject
{
    Q_OBJECT
  public:
    using Completion = std::function<void(std::optional<SelectionOutcome>)>;

    // One screen the overlay covers: a window is built for it at `geometry`
    // (global logical coordinates).
    struct Screen {
        QPointer<QScreen> screen;
        QString name;
        QRect geometry;
        qreal ratio = 1;
        friend bool operator==(const Screen &, const Screen &) = default;
    };

    // Where the overlay's pictures and windows come from; replaceable in tests.
    struct Sources {
        // Bounding box of all screens, global logical coordinates.
        std::function<QRectF()> unionFrame;
        // The whole covered area, for the loupe (loaded after the overlay shows).
        std::function<std::optional<QImage>(const QRectF &unionFrame)> snapshot;
        // Capturable windows, front-most first (loaded after the overlay shows).
        std::function<std::optional<QList<WindowInfo>>()> windows;
        // One screen as it looks now, painted under the dimming when nothing
        // composites the overlay's translucency (taken before it shows).
        std::function<QImage(QScreen *)> frozenScreen;
        // The screens to cover; Qt's screens when not set.
        std::function<QList<Screen>()> screens;
    };

    // The real desktop: screens, capture service and window list.
    static Sources desktopSources(ScreenCaptureService service);
    static SelectionOverlayController &shared();
    // `windowSystem` tells whether the overlay can be see-through and gives
    // the focus back to the user's window afterwards.
    SelectionOverlayController(Sources sources, WindowSystem &windowSystem, int keepMs,
                               QObject *parent = nullptr);
    ~SelectionOverlayController() override;

    // Shows the overlay; ignored (and `completion` never called) while one is up.
    void begin(SelectionMode mode, bool windowMode, Completion completion);
    bool isPresenting() const { return m_isPresenting; }

    // The live overlay, for tests and measurements; null when not presenting.
    SelectionOverlayView *view() const;
    // The overlay's windows, one per screen; kept while hidden, empty once released.
    QList<SelectionOverlayWindow *> windows() const;

    // Delay between the overlay disappearing and the outcome being reported,
    // so that the capture never sees the overlay.
    static constexpr int completionDelayMs = 90;

  private:
    struct Session;

    void finish(std::optional<SelectionOutcome> outcome);
    void loadContent(int generation);
    // Windows for `screens`, reusing the kept ones when they fit.
    void prepareWindows(const QList<Screen> &screens, bool opaque);
    void releaseWindows();

    Sources m_sources;
    WindowSystem &m_windowSystem;
    bool m_isPresenting = false;
    Completion m_completion;
    uint32_t m_previousWindow = 0;
    std::unique_ptr<Session> m_session;
    int m_generation = 0;

    std::vector<std::unique_ptr<SelectionOverlayWindow>> m_windows;
    // What the kept windows were built for.
    QList<Screen> m_windowScreens;
    // One shot, armed when a session ends: nothing runs while idle.
    QTimer m_release;
};

} // namespace zorv
