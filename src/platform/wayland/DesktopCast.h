#pragma once

#include "platform/portal/PortalRequest.h"
#include "platform/wayland/CastGeometry.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

class QScreen;

namespace zorv
{

class PipeWireStream;
class RestoreTokenStore;
class ScreenCastSession;

// What this desktop's portals offer, asked once when the backend loads.
struct PortalOffer {
    std::optional<uint> screenshot; // interface versions; nullopt when not offered
    std::optional<uint> screenCast;
    uint sourceTypes = 0; // ScreenCast AvailableSourceTypes: 1 monitor, 2 window, 4 virtual
    uint cursorModes = 0; // ScreenCast AvailableCursorModes
    QString unreachable;  // why the portal could not be asked; empty when it answered
};

// Asks the portal for its versions, both interfaces at once, waiting at most `timeoutMs`.
PortalOffer askPortalOffer(QDBusConnection bus, const QString &service, int timeoutMs);

// How stills are taken with what the portal offers: a ScreenCast stream where it can serve
// them (monitors, pointer left out), the Screenshot portal for what the stream cannot show.
struct StillRoute {
    std::optional<QString> castProblem;       // why no stream is used; nullopt: use one
    std::optional<QString> screenshotProblem; // why no fallback exists; nullopt: there is one
    // Why no still can be taken at all; nullopt when one way works.
    std::optional<QString> problem() const;
};
StillRoute stillRoute(const PortalOffer &offer);
// Whether the portal can give single windows.
bool offersWindows(const PortalOffer &offer);

// The pictures of the monitors that stills are cut from. One ScreenCast session on the
// monitors, opened on first use and closed after keepOpenMs without use, keeps each stream's
// latest frame; screens without a stream, and streams whose first frame does not come in
// time, are taken from the Screenshot portal. GUI thread; the streams are read off it.
class DesktopCast : public QObject
{
    Q_OBJECT
  public:
    using Ready = std::function<void(std::optional<QString> problem)>;
    // wlroots sends a new session its first frame only once the screen changes: this long
    // for it, then the Screenshot portal.
    static constexpr int firstFrameMs = 80;
    // A session kept open has every later frame at once; a new one costs the portal round
    // trips and, on a still screen, a screenshot.
    static constexpr int keepOpenMs = 30000;
    // Zorv's own windows show in the stream: after one left the screen (a panel cleared for
    // the capture, the overlay), a frame that came later, if it comes within this.
    static constexpr int freshFrameMs = 150;

    DesktopCast(QDBusConnection bus, QString service, RestoreTokenStore &tokens, PortalOffer offer,
                QObject *parent = nullptr);
    ~DesktopCast() override;

    // Takes a picture of every screen and calls `ready` within `context` (if it still exists)
    // with nullopt or the reason there is none. Calls made meanwhile share the picture.
    void prepare(QObject *context, Ready ready);
    // The pictures the last preparation took, in global logical coordinates.
    QList<HeldFrame> frames() const;
    std::optional<HeldFrame> frame(const QScreen *screen) const;
    bool sessionOpen() const;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

  private:
    struct Waiter {
        QPointer<QObject> context;
        Ready ready;
    };
    struct Held {
        QPointer<QScreen> screen;
        QRect geometry;
        QImage image;
        uint64_t session = 0; // the session whose stream was open when it was taken
    };
    struct Read;

    void begin();
    void openSession();
    void onStarted();
    void onSessionFailed(const PortalOutcome &outcome);
    void onSessionClosed();
    // Each stream's latest frame, or the first one after `afterNs` when it comes in time.
    void readStreams(QList<int> fds, int waitMs, int64_t afterNs = -1);
    void onRead(const QList<Read> &reads);
    void takeScreenshot(const QList<QScreen *> &missing, const QString &why);
    void hold(QScreen *screen, QImage image, bool fromCastSession);
    void finish(std::optional<QString> problem);
    void closeSession();
    void onIdle();
    void watchScreen(QScreen *screen);
    void onLayoutChanged();

    QDBusConnection m_bus;
    QString m_service;
    RestoreTokenStore &m_tokens;
    StillRoute m_route;
    ScreenCastSession *m_session = nullptr;
    QList<ScreenCastStream> m_castStreams;
    QList<std::shared_ptr<PipeWireStream>> m_streams; // parallel to m_castStreams; null: unusable
    uint64_t m_sessionSerial = 0;
    bool m_fresh = false; // the session opened during this preparation
    bool m_busy = false;
    bool m_layoutChanged = false;
    bool m_restarted = false;
    int64_t m_ownWindowHiddenNs = -1;
    QList<Held> m_held;
    QList<Waiter> m_waiters;
    QTimer m_idle;
};

} // namespace zorv
