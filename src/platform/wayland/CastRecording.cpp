#include "platform/wayland/CastRecording.h"

#include "common/Log.h"
#include "common/PlatformTexts.h"
#include "platform/portal/RestoreTokenStore.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <unistd.h>

namespace zorv
{

// What the portal conversation on the GUI thread hands to the recording's worker thread.
struct CastHandoff {
    std::mutex lock;
    std::condition_variable changed;
    bool answered = false;
    std::optional<QString> error;
    int fd = -1; // the PipeWire remote, owned by the receiver
    uint node = 0;
    QRectF logical;                  // the shared screen in global logical coordinates
    std::atomic<bool> closed{false}; // the portal ended the session

    void answer(std::optional<QString> failure, int remote = -1, uint stream = 0,
                QRectF screen = {})
    {
        {
            const std::lock_guard guard(lock);
            if (answered) {
                if (remote >= 0)
                    ::close(remote);
                return;
            }
            answered = true;
            error = std::move(failure);
            fd = remote;
            node = stream;
            logical = screen;
        }
        changed.notify_all();
    }
    ~CastHandoff()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

namespace
{

const QString castInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");

// The recording's side of the portal, on the GUI thread.
class CastPortal : public QObject
{
  public:
    CastPortal(QString tokenPath, CastTimeouts timeouts, QScreen *screen,
               std::shared_ptr<std::atomic<uint>> cursorModes, std::shared_ptr<CastHandoff> handoff)
        : m_tokens(std::move(tokenPath)), m_timeouts(timeouts), m_screen(screen),
          m_cursorModes(std::move(cursorModes)), m_handoff(std::move(handoff))
    {
    }
    // Before the token store it uses.
    ~CastPortal() override { delete m_session; }

    void start(bool wantCursor)
    {
        if (const uint known = m_cursorModes->load())
            return begin(CastRecording::cursorMode(wantCursor, known));
        // The modes decide between metadata and pixels; a portal that does not say is asked
        // for pixels, and one that is not running fails in the session's first call.
        QDBusMessage get = QDBusMessage::createMethodCall(
            portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << castInterface << QStringLiteral("AvailableCursorModes");
        auto *watcher = new QDBusPendingCallWatcher(
            QDBusConnection::sessionBus().asyncCall(get, m_timeouts.replyMs), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this,
                [this, wantCursor](QDBusPendingCallWatcher *call) {
                    call->deleteLater();
                    const QDBusMessage reply = call->reply();
                    uint modes = 0;
                    if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty())
                        modes = qvariant_cast<QDBusVariant>(reply.arguments().constFirst())
                                    .variant()
                                    .toUInt();
                    if (modes != 0)
                        m_cursorModes->store(modes);
                    begin(CastRecording::cursorMode(wantCursor, modes));
                });
    }

  private:
    void begin(CastCursor cursor)
    {
        m_session = new ScreenCastSession(QDBusConnection::sessionBus(), portalService, m_tokens,
                                          m_timeouts.replyMs, m_timeouts.dialogMs, this);
        connect(m_session, &ScreenCastSession::failed, this, [this](const PortalOutcome &outcome) {
            m_handoff->answer(CastRecording::refusalText(outcome));
        });
        connect(m_session, &ScreenCastSession::closed, this, [this] {
            m_handoff->closed.store(true);
            m_handoff->answer(QStringLiteral("Recording failed: the screen is no longer shared."));
        });
        connect(m_session, &ScreenCastSession::started, this, [this] { started(); });
        m_session->start(cursor);
    }

    void started()
    {
        if (!m_screen) {
            m_handoff->answer(QStringLiteral("Recording failed: the screen to record is gone."));
            return;
        }
        const std::optional<qsizetype> index =
            streamForScreen(m_session->streams(), m_screen, QGuiApplication::screens().size());
        if (!index) {
            m_handoff->answer(
                QStringLiteral("Recording failed: the screen to record was not among the "
                               "screens shared."));
            return;
        }
        m_handoff->answer(std::nullopt, m_session->duplicatePipeWireFd(),
                          m_session->streams()[*index].node, QRectF(m_screen->geometry()));
    }

    FileRestoreTokenStore m_tokens;
    CastTimeouts m_timeouts;
    QPointer<QScreen> m_screen;
    std::shared_ptr<std::atomic<uint>> m_cursorModes;
    std::shared_ptr<CastHandoff> m_handoff;
    ScreenCastSession *m_session = nullptr;
};

} // namespace

CastRecording::CastRecording(RecordingArea area, QScreen *screen, QString tokenPath,
                             CastTimeouts timeouts, std::shared_ptr<std::atomic<uint>> cursorModes)
    : m_area(std::move(area)), m_timeouts(timeouts), m_handoff(std::make_shared<CastHandoff>()),
      m_portal(
          new CastPortal(std::move(tokenPath), timeouts, screen, std::move(cursorModes), m_handoff))
{
}

CastRecording::~CastRecording()
{
    m_stream.reset();
    // The session ends with its objects, on their own thread.
    m_portal->deleteLater();
}

QString CastRecording::refusalText(const PortalOutcome &outcome)
{
    switch (outcome.kind) {
    case PortalOutcome::Kind::Cancelled:
        return QStringLiteral("Recording cancelled: the screen was not shared.");
    case PortalOutcome::Kind::TimedOut:
        return QStringLiteral("Recording failed: the screen-sharing portal did not answer in "
                              "time.");
    case PortalOutcome::Kind::Vanished:
        return QStringLiteral("Recording failed: the screen-sharing portal is not running (%1).")
            .arg(outcome.message);
    case PortalOutcome::Kind::Success:
    case PortalOutcome::Kind::Failed:
        break;
    }
    return QStringLiteral("Recording failed: the screen could not be shared (%1).")
        .arg(outcome.message);
}

CastCursor CastRecording::cursorMode(bool wanted, uint available)
{
    const auto offers = [available](CastCursor mode) {
        return (available & static_cast<uint>(mode)) != 0;
    };
    if (!wanted)
        return available == 0 || offers(CastCursor::Hidden) ? CastCursor::Hidden
                                                            : CastCursor::Embedded;
    if (offers(CastCursor::Metadata))
        return CastCursor::Metadata;
    if (available == 0 || offers(CastCursor::Embedded))
        return CastCursor::Embedded;
    return CastCursor::Hidden;
}

std::optional<QString> CastRecording::open(const std::atomic<bool> &abandon)
{
    // Only our destructor deletes the portal object, so it outlives this call.
    auto *portal = static_cast<CastPortal *>(m_portal);
    QMetaObject::invokeMethod(
        portal, [portal, wantCursor = m_wantCursor] { portal->start(wantCursor); },
        Qt::QueuedConnection);

    // Each portal step has its own timeout; this bound only keeps a lost answer from holding
    // the recording's thread for ever.
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(4 * m_timeouts.replyMs) +
                          milliseconds(m_timeouts.dialogMs) + seconds(5);
    int fd = -1;
    uint node = 0;
    QRectF logical;
    {
        std::unique_lock guard(m_handoff->lock);
        while (!m_handoff->answered) {
            if (abandon.load())
                return QStringLiteral("Recording stopped before it began.");
            if (steady_clock::now() >= deadline)
                return QStringLiteral("Recording failed: the screen-sharing portal did not "
                                      "answer in time.");
            m_handoff->changed.wait_for(guard, milliseconds(50));
        }
        if (m_handoff->error)
            return m_handoff->error;
        std::swap(fd, m_handoff->fd);
        node = m_handoff->node;
        logical = m_handoff->logical;
    }
    auto stream = PipeWireStream::open(fd, node, m_timeouts.streamMs);
    if (!stream)
        return QStringLiteral("Recording failed: the screen stream cannot be read (%1).")
            .arg(stream.error());
    m_stream = std::move(stream.value());
    m_crop = {};
    m_cropFor = {};
    m_cropOutput = logical;
    // A screen that does not change sends nothing to a new session: the recording then
    // starts without a picture and takes the first one that comes.
    take(-1, m_timeouts.firstFrameMs);
    if (m_ended)
        return QStringLiteral("Recording failed: the screen stream ended (%1).").arg(*m_ended);
    return std::nullopt;
}

bool CastRecording::take(int64_t afterNs, int timeoutMs)
{
    auto got = m_stream->next(afterNs, timeoutMs, std::move(m_spare));
    if (!got) {
        if (got.error().kind == PipeWireStream::Problem::Ended)
            m_ended = got.error().reason.isEmpty() ? QStringLiteral("no reason given")
                                                   : got.error().reason;
        return false;
    }
    m_spare = std::move(m_last);
    m_last = std::move(got.value().image);
    m_lastTimeNs = got.value().timeNs;
    return true;
}

bool CastRecording::hasPicture(int64_t timeoutNs)
{
    if (!m_last.isNull() || m_ended || m_handoff->closed.load() || !m_stream)
        return true; // a picture, or an end that grab() reports
    take(-1, int(std::max<int64_t>(0, timeoutNs / 1'000'000)));
    return !m_last.isNull() || m_ended;
}

bool CastRecording::placeCrop(QString &error)
{
    if (m_last.size() == m_cropFor)
        return true;
    if (!m_cropFor.isEmpty()) {
        // The shared screen changed size or scale under the recording.
        error = QStringLiteral("the recorded display changed");
        return false;
    }
    m_crop = cropFor(CastOutput{m_cropOutput, m_last.size()}, m_area.rect, m_area.pixelSize);
    m_cropFor = m_last.size();
    if (m_crop.source.isEmpty()) {
        error = QStringLiteral("the recorded area is not on the shared screen");
        return false;
    }
    return true;
}

bool CastRecording::grab(QImage &frame, QString &error)
{
    if (!m_stream || m_handoff->closed.load()) {
        logLine(QStringLiteral("recording: the portal ended the screen-sharing session"));
        error = PlatformTexts::screenNoLongerShared();
        return false;
    }
    // The newest frame; on a still screen the compositor sends none and the last one stands.
    take(m_lastTimeNs, m_timeouts.freshFrameMs);
    if (m_ended) {
        logLine(QStringLiteral("recording: the screen stream ended: ") + *m_ended);
        error = PlatformTexts::screenNoLongerShared();
        return false;
    }
    if (m_last.isNull()) {
        error = QStringLiteral("the screen stream sent no picture");
        return false;
    }
    if (!placeCrop(error))
        return false;
    if (frame.size() != m_crop.target) {
        error = QStringLiteral("the recorded display changed");
        return false;
    }
    const QImage part = m_crop.scaled() ? m_last.copy(m_crop.source)
                                              .scaled(m_crop.target, Qt::IgnoreAspectRatio,
                                                      Qt::SmoothTransformation)
                                        : QImage();
    const QImage &from = m_crop.scaled() ? part : m_last;
    const QPoint at = m_crop.scaled() ? QPoint() : m_crop.source.topLeft();
    const bool alpha = from.hasAlphaChannel();
    const int width = m_crop.target.width();
    for (int y = 0; y < m_crop.target.height(); ++y) {
        const auto *in =
            reinterpret_cast<const uint32_t *>(from.constScanLine(at.y() + y)) + at.x();
        auto *out = reinterpret_cast<uint32_t *>(frame.scanLine(y));
        if (!alpha) {
            std::memcpy(out, in, size_t(width) * 4);
            continue;
        }
        // The video has no alpha: a stream that carries one is made opaque.
        for (int x = 0; x < width; ++x)
            out[x] = in[x] | 0xff000000u;
    }
    return true;
}

std::optional<CursorSnapshot> CastRecording::cursor()
{
    if (!m_stream || m_cropFor.isEmpty() || m_crop.source.isEmpty())
        return std::nullopt;
    const std::optional<PipeWireStream::Cursor> pointer = m_stream->cursor();
    if (!pointer)
        return std::nullopt;
    CursorSnapshot snapshot;
    snapshot.visible = pointer->visible && !pointer->image.isNull();
    snapshot.position = m_crop.toArea(pointer->position);
    snapshot.hotspot = pointer->hotspot;
    snapshot.image = pointer->image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (m_crop.scaled() && !snapshot.image.isNull()) {
        const double sx = double(m_crop.target.width()) / m_crop.source.width();
        const double sy = double(m_crop.target.height()) / m_crop.source.height();
        snapshot.image =
            snapshot.image.scaled(qMax(1, int(std::lround(snapshot.image.width() * sx))),
                                  qMax(1, int(std::lround(snapshot.image.height() * sy))),
                                  Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        snapshot.hotspot = QPoint(int(std::lround(pointer->hotspot.x() * sx)),
                                  int(std::lround(pointer->hotspot.y() * sy)));
    }
    return snapshot;
}

} // namespace zorv
