#include "platform/portal/ScreenCastSession.h"

#include "platform/portal/RestoreTokenStore.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <atomic>
#include <fcntl.h>

namespace zorv
{

namespace
{
const QString castInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString sessionInterface = QStringLiteral("org.freedesktop.portal.Session");
constexpr uint monitorSources = 1;
constexpr uint persistUntilRevoked = 2;

// An (ii) pair inside a vardict.
std::optional<std::pair<int, int>> intPair(const QVariant &value)
{
    if (!value.canConvert<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument argument = value.value<QDBusArgument>();
    if (argument.currentType() != QDBusArgument::StructureType)
        return std::nullopt;
    int a = 0, b = 0;
    argument.beginStructure();
    argument >> a >> b;
    argument.endStructure();
    return std::pair{a, b};
}
} // namespace

QList<ScreenCastStream> parseScreenCastStreams(const QVariant &streams)
{
    QList<ScreenCastStream> parsed;
    for (const auto &[node, properties] : portalKeyedEntries<uint>(streams)) {
        if (node == 0)
            continue;
        ScreenCastStream stream;
        stream.node = node;
        if (const auto position = intPair(properties.value(QStringLiteral("position"))))
            stream.position = QPoint(position->first, position->second);
        if (const auto size = intPair(properties.value(QStringLiteral("size"))))
            stream.size = QSize(size->first, size->second);
        stream.sourceType = properties.value(QStringLiteral("source_type")).toUInt();
        stream.id = properties.value(QStringLiteral("id")).toString();
        parsed.append(stream);
    }
    return parsed;
}

ScreenCastSession::ScreenCastSession(QDBusConnection bus, QString service,
                                     RestoreTokenStore &tokens, int replyTimeoutMs,
                                     int dialogTimeoutMs, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_service(std::move(service)), m_tokens(tokens),
      m_replyTimeoutMs(replyTimeoutMs), m_dialogTimeoutMs(dialogTimeoutMs)
{
}

ScreenCastSession::~ScreenCastSession()
{
    endSession();
}

int ScreenCastSession::pipeWireFd() const
{
    return m_active ? m_remote.fileDescriptor() : -1;
}

int ScreenCastSession::duplicatePipeWireFd() const
{
    const int fd = pipeWireFd();
    return fd < 0 ? -1 : fcntl(fd, F_DUPFD_CLOEXEC, 3);
}

void ScreenCastSession::start(CastCursor cursor)
{
    endSession();
    m_cursor = cursor;
    m_retried = false;
    createSession();
}

void ScreenCastSession::close()
{
    endSession();
}

void ScreenCastSession::request(const QString &method, const QVariantList &arguments,
                                const QVariantMap &options, int timeoutMs, Next next)
{
    delete m_request;
    m_request = new PortalRequest(m_bus, m_service, this);
    connect(m_request, &PortalRequest::finished, this, [this, next](const PortalOutcome &outcome) {
        m_request->deleteLater();
        m_request = nullptr;
        (this->*next)(outcome);
    });
    m_request->send(castInterface, method, arguments, options, timeoutMs);
}

void ScreenCastSession::createSession()
{
    m_usedToken = m_retried ? QString() : m_tokens.load();
    m_tokenOffered = false;
    request(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), portalToken(QStringLiteral("cast"))}},
            m_replyTimeoutMs, &ScreenCastSession::onCreated);
}

void ScreenCastSession::onCreated(const PortalOutcome &outcome)
{
    if (!outcome.ok()) {
        fail(outcome);
        return;
    }
    m_session = outcome.sessionHandle();
    if (m_session.isEmpty()) {
        fail({PortalOutcome::Kind::Failed,
              {},
              QStringLiteral("ScreenCast.CreateSession: the portal gave no session")});
        return;
    }
    m_bus.connect(m_service, m_session, sessionInterface, QStringLiteral("Closed"), this,
                  SLOT(onSessionClosed(QVariantMap)));
    QVariantMap options{{QStringLiteral("types"), monitorSources},
                        {QStringLiteral("multiple"), true},
                        {QStringLiteral("cursor_mode"), static_cast<uint>(m_cursor)},
                        {QStringLiteral("persist_mode"), persistUntilRevoked}};
    m_tokenOffered = !m_usedToken.isEmpty();
    if (m_tokenOffered)
        options.insert(QStringLiteral("restore_token"), m_usedToken);
    request(QStringLiteral("SelectSources"), {QVariant::fromValue(QDBusObjectPath(m_session))},
            options, m_replyTimeoutMs, &ScreenCastSession::onSelected);
}

void ScreenCastSession::onSelected(const PortalOutcome &outcome)
{
    if (!outcome.ok()) {
        fail(outcome);
        return;
    }
    request(QStringLiteral("Start"), {QVariant::fromValue(QDBusObjectPath(m_session)), QString()},
            {}, m_dialogTimeoutMs, &ScreenCastSession::onStarted);
}

void ScreenCastSession::onStarted(const PortalOutcome &outcome)
{
    if (!outcome.ok()) {
        fail(outcome);
        return;
    }
    // Start's token replaces the stored one (a restored session may get the same one back);
    // without one the user declined to be remembered, and the old one goes too.
    m_tokens.save(outcome.results.value(QStringLiteral("restore_token")).toString());
    m_tokenOffered = false;
    m_streams = parseScreenCastStreams(outcome.results.value(QStringLiteral("streams")));
    if (m_streams.isEmpty()) {
        fail({PortalOutcome::Kind::Failed,
              {},
              QStringLiteral("ScreenCast.Start: the portal gave no screen")});
        return;
    }
    openRemote();
}

void ScreenCastSession::openRemote()
{
    QDBusMessage call = QDBusMessage::createMethodCall(m_service, portalPath, castInterface,
                                                       QStringLiteral("OpenPipeWireRemote"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, m_replyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, session = m_session](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                if (session != m_session)
                    return; // closed meanwhile
                const QDBusMessage reply = finished->reply();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    PortalOutcome outcome =
                        portalErrorOutcome(reply.errorName(), reply.errorMessage());
                    outcome.message =
                        QStringLiteral("ScreenCast.OpenPipeWireRemote: ") + outcome.message;
                    fail(outcome);
                    return;
                }
                m_remote =
                    reply.arguments().isEmpty()
                        ? QDBusUnixFileDescriptor()
                        : qvariant_cast<QDBusUnixFileDescriptor>(reply.arguments().constFirst());
                if (!m_remote.isValid()) {
                    fail({PortalOutcome::Kind::Failed,
                          {},
                          QStringLiteral("ScreenCast.OpenPipeWireRemote: no PipeWire remote")});
                    return;
                }
                m_active = true;
                Q_EMIT started();
            });
}

void ScreenCastSession::fail(const PortalOutcome &outcome)
{
    endSession();
    // Perhaps a refused token (revoked, or one the portal cannot parse): once more without it,
    // so that the portal asks. Only a new token replaces the stored one: when the failure had
    // another cause, the retry fails alike and the token is kept.
    if (outcome.kind == PortalOutcome::Kind::Failed && m_tokenOffered && !m_retried) {
        m_retried = true;
        createSession();
        return;
    }
    Q_EMIT failed(outcome);
}

void ScreenCastSession::onSessionClosed(const QVariantMap &)
{
    const bool wasActive = m_active;
    const bool settingUp = !m_active && !m_session.isEmpty();
    m_bus.disconnect(m_service, m_session, sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
    m_session.clear();
    endSession();
    if (wasActive)
        Q_EMIT closed();
    else if (settingUp) // the pending step was dropped with the session: nothing else will answer
        Q_EMIT failed({PortalOutcome::Kind::Failed,
                       {},
                       QStringLiteral("ScreenCast: the portal closed the session")});
}

void ScreenCastSession::endSession()
{
    delete m_request;
    m_request = nullptr;
    m_active = false;
    m_streams.clear();
    m_remote = QDBusUnixFileDescriptor();
    if (m_session.isEmpty())
        return;
    m_bus.disconnect(m_service, m_session, sessionInterface, QStringLiteral("Closed"), this,
                     SLOT(onSessionClosed(QVariantMap)));
    m_bus.send(QDBusMessage::createMethodCall(m_service, m_session, sessionInterface,
                                              QStringLiteral("Close")));
    m_session.clear();
}

} // namespace zorv
