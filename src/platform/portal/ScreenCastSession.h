#pragma once

#include "platform/portal/PortalRequest.h"

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QSize>

namespace zorv
{

class RestoreTokenStore;

// One PipeWire stream of a ScreenCast session.
struct ScreenCastStream {
    uint node = 0;       // the PipeWire node to connect to
    QPoint position;     // in the compositor's logical space; (0,0) when the portal does not say
    QSize size;          // logical size; empty when the portal does not say
    uint sourceType = 0; // 1 monitor, 2 window, 4 virtual; wlroots' backend says 2 for monitors
    QString id;          // stable id of the stream's source, when given
};

// The `streams` value of Start's results (a(ua{sv})); streams without a node are left out.
QList<ScreenCastStream> parseScreenCastStreams(const QVariant &streams);

// How the pointer reaches the stream: the portal's cursor_mode bits.
enum class CastCursor : uint { Hidden = 1, Embedded = 2, Metadata = 4 };

// A ScreenCast session on the monitors: CreateSession, SelectSources (persisting the choice),
// Start and OpenPipeWireRemote, asynchronously. The restore token from the store skips the
// portal's dialog; Start's new token replaces it. A token the portal no longer accepts costs
// one more round with the dialog, after which the new token is stored.
class ScreenCastSession : public QObject
{
    Q_OBJECT
  public:
    // `replyTimeoutMs` bounds the steps that answer at once, `dialogTimeoutMs` the Start, where
    // the portal may ask the user to choose screens.
    ScreenCastSession(QDBusConnection bus, QString service, RestoreTokenStore &tokens,
                      int replyTimeoutMs, int dialogTimeoutMs, QObject *parent = nullptr);
    ~ScreenCastSession() override; // closes the session

    // Emits `started` or `failed`, once.
    void start(CastCursor cursor);
    // Ends the session with the portal; streams and the PipeWire remote stop.
    void close();

    bool isActive() const { return m_active; }
    const QList<ScreenCastStream> &streams() const { return m_streams; }
    // The PipeWire remote, owned by the session; -1 unless active.
    int pipeWireFd() const;
    // A duplicate of it that the caller owns and closes; -1 unless active.
    int duplicatePipeWireFd() const;

  Q_SIGNALS:
    void started();
    void failed(const zorv::PortalOutcome &outcome);
    // The portal or the compositor ended an active session.
    void closed();

  private Q_SLOTS:
    void onSessionClosed(const QVariantMap &details);

  private:
    using Next = void (ScreenCastSession::*)(const PortalOutcome &);
    void request(const QString &method, const QVariantList &arguments, const QVariantMap &options,
                 int timeoutMs, Next next);
    void createSession();
    void onCreated(const PortalOutcome &outcome);
    void onSelected(const PortalOutcome &outcome);
    void onStarted(const PortalOutcome &outcome);
    void openRemote();
    void fail(const PortalOutcome &outcome);
    // Drops the portal's session without reporting anything.
    void endSession();

    QDBusConnection m_bus;
    QString m_service;
    RestoreTokenStore &m_tokens;
    int m_replyTimeoutMs;
    int m_dialogTimeoutMs;
    CastCursor m_cursor = CastCursor::Embedded;
    QString m_usedToken;
    bool m_tokenOffered = false; // the session being set up was offered m_usedToken
    bool m_retried = false;
    bool m_active = false;
    QString m_session;
    QList<ScreenCastStream> m_streams;
    QDBusUnixFileDescriptor m_remote;
    PortalRequest *m_request = nullptr;
};

} // namespace zorv
