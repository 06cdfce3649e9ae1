#include "platform/wayland/DesktopCast.h"

#include "common/Log.h"
#include "common/MonotonicClock.h"
#include "common/Trace.h"
#include "platform/portal/PipeWireStream.h"
#include "platform/portal/PortalVersion.h"
#include "platform/portal/ScreenCastSession.h"
#include "platform/portal/ScreenshotPortal.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QEvent>
#include <QFuture>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace zorv
{

namespace
{
// Steps the portal answers at once.
constexpr int replyTimeoutMs = 5000;
// Start may show a dialog where the user picks the screens; the first screenshot may ask for
// permission.
constexpr int dialogTimeoutMs = 120000;
constexpr int screenshotTimeoutMs = 30000;
constexpr int streamOpenTimeoutMs = 3000;

const QString cancelledText =
    QStringLiteral("Screen capture was cancelled in the desktop's dialog; nothing was captured.");

// The interface's properties, or why there are none: nullopt when the portal lacks the
// interface, an error text when the portal could not be asked.
struct Properties {
    std::optional<QVariantMap> values;
    QString unreachable;
};

Properties propertiesOf(QDBusPendingCall call)
{
    call.waitForFinished();
    const QDBusMessage reply = call.reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        const QString error = reply.errorName();
        if (error == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs") ||
            error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
            error == QLatin1String("org.freedesktop.DBus.Error.UnknownProperty"))
            return {};
        return {std::nullopt, portalErrorOutcome(error, reply.errorMessage()).message};
    }
    if (reply.arguments().isEmpty())
        return {};
    return {qdbus_cast<QVariantMap>(reply.arguments().constFirst()), {}};
}

std::optional<uint> versionOf(const std::optional<QVariantMap> &properties)
{
    if (!properties)
        return std::nullopt;
    bool ok = false;
    const uint version = properties->value(QStringLiteral("version")).toUInt(&ok);
    return ok ? std::optional(version) : std::nullopt;
}
} // namespace

PortalOffer askPortalOffer(QDBusConnection bus, const QString &service, int timeoutMs)
{
    const auto getAll = [&](PortalInterface which) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            service, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("GetAll"));
        call << portalInterfaceName(which);
        return bus.asyncCall(call, timeoutMs);
    };
    // Both questions go out before either answer is awaited.
    QDBusPendingCall shotCall = getAll(PortalInterface::Screenshot);
    QDBusPendingCall castCall = getAll(PortalInterface::ScreenCast);
    const Properties shot = propertiesOf(shotCall);
    const Properties cast = propertiesOf(castCall);

    PortalOffer offer;
    offer.screenshot = versionOf(shot.values);
    offer.screenCast = versionOf(cast.values);
    if (cast.values) {
        offer.sourceTypes = cast.values->value(QStringLiteral("AvailableSourceTypes")).toUInt();
        offer.cursorModes = cast.values->value(QStringLiteral("AvailableCursorModes")).toUInt();
    }
    offer.unreachable = !shot.unreachable.isEmpty() ? shot.unreachable : cast.unreachable;
    return offer;
}

std::optional<QString> StillRoute::problem() const
{
    if (castProblem && screenshotProblem)
        return *screenshotProblem + QLatin1Char(' ') + *castProblem;
    return std::nullopt;
}

StillRoute stillRoute(const PortalOffer &offer)
{
    // A portal that did not answer at start may answer later: each capture tries, and says
    // why it failed.
    if (!offer.unreachable.isEmpty())
        return {};
    StillRoute route;
    route.screenshotProblem = portalVersionProblem(PortalInterface::Screenshot, offer.screenshot);
    route.castProblem = portalVersionProblem(PortalInterface::ScreenCast, offer.screenCast);
    if (!route.castProblem && !(offer.sourceTypes & 1u))
        route.castProblem = QStringLiteral("This desktop's screen-sharing portal does not offer "
                                           "whole monitors.");
    if (!route.castProblem && !(offer.cursorModes & static_cast<uint>(CastCursor::Hidden)))
        route.castProblem = QStringLiteral("This desktop's screen-sharing portal cannot leave "
                                           "the pointer out of its pictures.");
    return route;
}

// What reading one stream gave.
struct DesktopCast::Read {
    std::shared_ptr<PipeWireStream> stream; // null when it could not be opened
    QImage image;                           // null when no frame came in time
    QString problem;
    bool ended = false;
};

namespace
{
// Closing a stream waits for its PipeWire thread: never on the GUI thread while it runs.
void release(QList<std::shared_ptr<PipeWireStream>> streams)
{
    streams.removeAll(nullptr);
    if (!streams.isEmpty())
        (void)QtConcurrent::run([streams = std::move(streams)]() mutable { streams.clear(); });
}
} // namespace

DesktopCast::DesktopCast(QDBusConnection bus, QString service, RestoreTokenStore &tokens,
                         PortalOffer offer, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_service(std::move(service)), m_tokens(tokens),
      m_route(stillRoute(offer))
{
    m_idle.setSingleShot(true);
    m_idle.setInterval(keepOpenMs);
    connect(&m_idle, &QTimer::timeout, this, &DesktopCast::onIdle);
    if (qGuiApp) {
        connect(qGuiApp, &QGuiApplication::screenAdded, this, [this](QScreen *screen) {
            watchScreen(screen);
            onLayoutChanged();
        });
        connect(qGuiApp, &QGuiApplication::screenRemoved, this, &DesktopCast::onLayoutChanged);
        for (QScreen *screen : QGuiApplication::screens())
            watchScreen(screen);
        qGuiApp->installEventFilter(this);
    }
}

bool DesktopCast::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && watched->isWindowType() &&
        static_cast<QWindow *>(watched)->isTopLevel())
        m_ownWindowHiddenNs = monotonicNs();
    return QObject::eventFilter(watched, event);
}

DesktopCast::~DesktopCast()
{
    if (m_session)
        m_session->close();
    m_streams.clear();
}

bool DesktopCast::sessionOpen() const
{
    return m_session && m_session->isActive();
}

void DesktopCast::prepare(QObject *context, Ready ready)
{
    m_waiters.append({context, std::move(ready)});
    m_idle.stop();
    if (!m_busy)
        begin();
}

QList<HeldFrame> DesktopCast::frames() const
{
    QList<HeldFrame> result;
    for (const Held &held : m_held) {
        if (held.screen && !held.image.isNull())
            result.append({QRectF(held.geometry), held.image});
    }
    return result;
}

std::optional<HeldFrame> DesktopCast::frame(const QScreen *screen) const
{
    for (const Held &held : m_held) {
        if (screen && held.screen == screen && !held.image.isNull())
            return HeldFrame{QRectF(held.geometry), held.image};
    }
    return std::nullopt;
}

void DesktopCast::begin()
{
    m_busy = true;
    if (m_layoutChanged) {
        m_layoutChanged = false;
        closeSession();
        m_held.clear();
    }
    if (m_route.castProblem) {
        takeScreenshot(QGuiApplication::screens(), *m_route.castProblem);
        return;
    }
    if (!sessionOpen()) {
        openSession();
        return;
    }
    // A window of ours that just left may still be in the latest frame.
    const bool ownWindowJustLeft = m_ownWindowHiddenNs >= 0 && monotonicNs() - m_ownWindowHiddenNs <
                                                                   int64_t(freshFrameMs) * 1000000;
    if (ownWindowJustLeft)
        readStreams({}, freshFrameMs, m_ownWindowHiddenNs);
    else
        readStreams({}, 0);
}

void DesktopCast::openSession()
{
    if (!m_session) {
        m_session = new ScreenCastSession(m_bus, m_service, m_tokens, replyTimeoutMs,
                                          dialogTimeoutMs, this);
        connect(m_session, &ScreenCastSession::started, this, &DesktopCast::onStarted);
        connect(m_session, &ScreenCastSession::failed, this, &DesktopCast::onSessionFailed);
        connect(m_session, &ScreenCastSession::closed, this, &DesktopCast::onSessionClosed);
    }
    m_session->start(CastCursor::Hidden);
}

void DesktopCast::onStarted()
{
    Trace::mark("cast-started");
    ++m_sessionSerial;
    m_fresh = true;
    m_castStreams = m_session->streams();
    release(std::exchange(m_streams, {}));
    m_streams.resize(m_castStreams.size());
    QList<int> fds;
    for (qsizetype i = 0; i < m_castStreams.size(); ++i)
        fds.append(m_session->duplicatePipeWireFd());
    readStreams(fds, firstFrameMs);
}

void DesktopCast::onSessionFailed(const PortalOutcome &outcome)
{
    if (!m_busy)
        return;
    if (outcome.kind == PortalOutcome::Kind::Cancelled) {
        finish(cancelledText);
        return;
    }
    logLine(QStringLiteral("no screen-sharing session (%1); taking screenshots instead")
                .arg(outcome.message));
    takeScreenshot(QGuiApplication::screens(), outcome.message);
}

void DesktopCast::onSessionClosed()
{
    // Ended by the portal or the compositor: the next preparation opens a new one.
    m_castStreams.clear();
    release(std::exchange(m_streams, {}));
}

void DesktopCast::readStreams(QList<int> fds, int waitMs, int64_t afterNs)
{
    QList<uint> nodes;
    for (const ScreenCastStream &stream : std::as_const(m_castStreams))
        nodes.append(stream.node);
    (void)QtConcurrent::run([streams = m_streams, fds = std::move(fds), nodes = std::move(nodes),
                             waitMs, afterNs] {
        QList<Read> reads;
        const int64_t deadline = monotonicNs() + int64_t(waitMs) * 1000000;
        for (qsizetype i = 0; i < nodes.size(); ++i) {
            Read read;
            read.stream = streams.value(i);
            if (!read.stream && fds.value(i, -1) >= 0) {
                auto opened = PipeWireStream::open(fds[i], nodes[i], streamOpenTimeoutMs);
                if (opened)
                    read.stream = std::move(opened.value());
                else
                    read.problem = opened.error();
            }
            if (read.stream) {
                const int left = int(std::max<int64_t>(0, deadline - monotonicNs()) / 1000000);
                auto frame = read.stream->next(afterNs, left);
                // None since: the latest, which then shows the screen as it is.
                if (!frame && afterNs >= 0 && frame.error().kind != PipeWireStream::Problem::Ended)
                    frame = read.stream->latest(0);
                if (frame) {
                    read.image = std::move(frame.value().image);
                } else {
                    read.problem = frame.error().reason;
                    read.ended = frame.error().kind == PipeWireStream::Problem::Ended;
                }
            }
            reads.append(std::move(read));
        }
        return reads;
    }).then(this, [this, serial = m_sessionSerial](QList<Read> reads) {
        if (serial == m_sessionSerial && sessionOpen()) {
            for (qsizetype i = 0; i < reads.size() && i < m_streams.size(); ++i)
                m_streams[i] = reads[i].stream;
        } else {
            QList<std::shared_ptr<PipeWireStream>> stale;
            for (const Read &read : std::as_const(reads))
                stale.append(read.stream);
            release(std::move(stale));
        }
        onRead(reads);
    });
}

void DesktopCast::onRead(const QList<Read> &reads)
{
    const QList<QScreen *> screens = QGuiApplication::screens();
    QList<QScreen *> missing;
    for (QScreen *screen : screens) {
        const auto index = streamForScreen(m_castStreams, screen, screens.size());
        if (index && *index < reads.size()) {
            const Read &read = reads[*index];
            if (!read.image.isNull()) {
                hold(screen, read.image, true);
                continue;
            }
            // No frame since the last picture while the stream was open: the screen has not
            // changed since.
            const bool unchanged =
                read.stream && !read.ended && !m_fresh &&
                std::any_of(m_held.cbegin(), m_held.cend(), [&](const Held &held) {
                    return held.screen == screen && held.session == m_sessionSerial;
                });
            if (unchanged)
                continue;
        }
        missing.append(screen);
    }
    QStringList problems;
    bool usable = false;
    for (const Read &read : reads) {
        if (read.ended || !read.stream)
            problems.append(read.problem);
        usable = usable || (read.stream && !read.ended);
    }
    if (!usable) {
        if (!problems.isEmpty())
            logLine(QStringLiteral("screen-sharing stream unusable (%1); taking screenshots "
                                   "instead")
                        .arg(problems.join(QStringLiteral("; "))));
        closeSession();
    }
    if (missing.isEmpty())
        finish(std::nullopt);
    else
        takeScreenshot(missing, problems.join(QStringLiteral("; ")));
}

void DesktopCast::takeScreenshot(const QList<QScreen *> &missing, const QString &why)
{
    if (m_route.screenshotProblem) {
        finish(QStringLiteral("Zorv cannot take a picture of the screen. %1 %2")
                   .arg(why, *m_route.screenshotProblem)
                   .trimmed());
        return;
    }
    Trace::mark("screenshot-asked");
    QList<QPointer<QScreen>> wanted(missing.cbegin(), missing.cend());
    ScreenshotPortal portal(m_bus, m_service, screenshotTimeoutMs);
    portal.take(this, [this, wanted, serial = m_sessionSerial,
                       streamed = sessionOpen()](Expected<QImage, PortalOutcome> shot) {
        if (!shot) {
            finish(shot.error().kind == PortalOutcome::Kind::Cancelled
                       ? cancelledText
                       : QStringLiteral("Zorv cannot take a picture of the screen: %1")
                             .arg(shot.error().message));
            return;
        }
        const QList<QScreen *> screens = QGuiApplication::screens();
        QList<QRectF> layout;
        for (QScreen *screen : screens)
            layout.append(QRectF(screen->geometry()));
        const QList<QImage> parts = cropLayoutPicture(shot.value(), layout);
        if (parts.isEmpty()) {
            finish(QStringLiteral("The desktop's screenshot (%1 × %2) does not match the "
                                  "screens' layout.")
                       .arg(shot.value().width())
                       .arg(shot.value().height()));
            return;
        }
        // Taken while the stream ran: a screen the stream shows stays as pictured until the
        // stream sends a frame.
        const bool sameSession = streamed && sessionOpen() && serial == m_sessionSerial;
        for (const QPointer<QScreen> &screen : wanted) {
            const qsizetype index = screens.indexOf(screen.data());
            if (!screen || index < 0)
                continue;
            const bool streamShows =
                sameSession && streamForScreen(m_castStreams, screen, screens.size());
            hold(screen, parts[index], streamShows);
        }
        finish(std::nullopt);
    });
}

void DesktopCast::hold(QScreen *screen, QImage image, bool fromCastSession)
{
    Held held{screen, screen->geometry(), std::move(image), fromCastSession ? m_sessionSerial : 0};
    for (Held &existing : m_held) {
        if (existing.screen == screen) {
            existing = std::move(held);
            return;
        }
    }
    m_held.append(std::move(held));
}

void DesktopCast::finish(std::optional<QString> problem)
{
    // The screens changed while their pictures were taken: once more with the new layout.
    if (m_layoutChanged && !problem && !m_restarted) {
        m_restarted = true;
        begin();
        return;
    }
    Trace::mark(problem ? "capture-unprepared" : "capture-prepared");
    m_busy = false;
    m_fresh = false;
    m_restarted = false;
    if (problem)
        m_held.clear(); // never served after a failure
    m_held.removeIf([](const Held &held) { return !held.screen; });
    if (sessionOpen() || !m_held.isEmpty())
        m_idle.start();
    const QList<Waiter> waiters = std::exchange(m_waiters, {});
    for (const Waiter &waiter : waiters) {
        if (waiter.context)
            waiter.ready(problem);
    }
}

void DesktopCast::closeSession()
{
    if (m_session)
        m_session->close();
    m_castStreams.clear();
    release(std::exchange(m_streams, {}));
}

void DesktopCast::onIdle()
{
    if (m_busy)
        return;
    closeSession();
    // A picture still in use (an overlay open for long) is kept until it is let go.
    const bool inUse = std::any_of(m_held.cbegin(), m_held.cend(),
                                   [](const Held &held) { return !held.image.isDetached(); });
    if (inUse)
        m_idle.start();
    else
        m_held.clear();
}

void DesktopCast::watchScreen(QScreen *screen)
{
    connect(screen, &QScreen::geometryChanged, this, &DesktopCast::onLayoutChanged);
}

void DesktopCast::onLayoutChanged()
{
    m_layoutChanged = true;
    if (m_busy)
        return; // finish() starts over
    m_layoutChanged = false;
    closeSession();
    m_held.clear();
}

} // namespace zorv
