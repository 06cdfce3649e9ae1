#include "platform/portal/PortalRequest.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QTimer>
#include <atomic>

namespace zorv
{

namespace
{
const QString requestInterface = QStringLiteral("org.freedesktop.portal.Request");

} // namespace

QString portalToken(const QString &kind)
{
    static std::atomic<uint> serial{0};
    return QStringLiteral("zorv%1%2_%3")
        .arg(kind)
        .arg(QCoreApplication::applicationPid())
        .arg(++serial);
}

QString portalObjectPath(const QString &kind, const QString &uniqueName, const QString &token)
{
    QString sender = uniqueName.startsWith(QLatin1Char(':')) ? uniqueName.mid(1) : uniqueName;
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return portalPath + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') +
           token;
}

PortalOutcome portalResponseOutcome(uint code, const QVariantMap &results)
{
    switch (code) {
    case 0:
        return {PortalOutcome::Kind::Success, results, {}};
    case 1:
        return {PortalOutcome::Kind::Cancelled, {}, QStringLiteral("cancelled by the user")};
    default:
        return {PortalOutcome::Kind::Failed,
                {},
                code == 2
                    ? QStringLiteral("the desktop portal could not do it")
                    : QStringLiteral("the desktop portal ended the request (code %1)").arg(code)};
    }
}

QString PortalOutcome::sessionHandle() const
{
    // A string in the portal's documentation, an object path in some versions.
    const QVariant handle = results.value(QStringLiteral("session_handle"));
    return handle.canConvert<QDBusObjectPath>() ? handle.value<QDBusObjectPath>().path()
                                                : handle.toString();
}

PortalOutcome portalErrorOutcome(const QString &errorName, const QString &errorMessage)
{
    // The portal's connection went away before it answered the call.
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.NoReply") &&
        errorMessage.contains(QLatin1String("disconnected")))
        return {PortalOutcome::Kind::Vanished, {}, QStringLiteral("the desktop portal stopped")};
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        errorName == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return {PortalOutcome::Kind::TimedOut,
                {},
                QStringLiteral("the desktop portal did not answer in time")};
    if (errorName == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown"))
        return {PortalOutcome::Kind::Failed, {}, QStringLiteral("no desktop portal is running")};
    return {PortalOutcome::Kind::Failed,
            {},
            QStringLiteral("the desktop portal refused: %1")
                .arg(errorMessage.isEmpty() ? errorName : errorMessage)};
}

PortalRequest::PortalRequest(QDBusConnection bus, QString service, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_service(std::move(service))
{
}

PortalRequest::~PortalRequest()
{
    if (!m_pending)
        return;
    unsubscribe();
    // Let the portal drop its dialog and the Request object; nobody waits for the reply.
    if (!m_path.isEmpty())
        m_bus.send(QDBusMessage::createMethodCall(m_service, m_path, requestInterface,
                                                  QStringLiteral("Close")));
}

void PortalRequest::send(const QString &interface, const QString &method,
                         const QVariantList &arguments, QVariantMap options, int timeoutMs)
{
    Q_ASSERT(!m_pending && !m_call);
    m_pending = true;
    m_what = interface.section(QLatin1Char('.'), -1) + QLatin1Char('.') + method;
    const QString token = portalToken(QString());
    options.insert(QStringLiteral("handle_token"), token);
    m_path = portalObjectPath(QStringLiteral("request"), m_bus.baseService(), token);
    subscribe(m_path);

    // Losing the portal's bus name mid-request is reported at once, not at the timeout.
    m_watcher = new QDBusServiceWatcher(m_service, m_bus,
                                        QDBusServiceWatcher::WatchForUnregistration, this);
    connect(m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        finish({PortalOutcome::Kind::Vanished, {}, QStringLiteral("the desktop portal stopped")});
    });
    m_timer = new QTimer(this);
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        finish({PortalOutcome::Kind::TimedOut,
                {},
                QStringLiteral("the desktop portal did not answer in time")});
    });
    m_timer->start(timeoutMs);

    QDBusMessage call = QDBusMessage::createMethodCall(m_service, portalPath, interface, method);
    QVariantList all = arguments;
    all.append(options);
    call.setArguments(all);
    m_call = new QDBusPendingCallWatcher(m_bus.asyncCall(call, timeoutMs), this);
    connect(m_call, &QDBusPendingCallWatcher::finished, this, &PortalRequest::onReply);
}

void PortalRequest::subscribe(const QString &path)
{
    if (m_bus.connect(m_service, path, requestInterface, QStringLiteral("Response"), this,
                      SLOT(onResponse(uint, QVariantMap))))
        m_subscribedPath = path;
}

void PortalRequest::unsubscribe()
{
    if (m_subscribedPath.isEmpty())
        return;
    m_bus.disconnect(m_service, m_subscribedPath, requestInterface, QStringLiteral("Response"),
                     this, SLOT(onResponse(uint, QVariantMap)));
    m_subscribedPath.clear();
}

void PortalRequest::onReply(QDBusPendingCallWatcher *watcher)
{
    const QDBusMessage reply = watcher->reply();
    m_call = nullptr;
    watcher->deleteLater();
    if (!m_pending)
        return;
    if (reply.type() == QDBusMessage::ErrorMessage) {
        finish(portalErrorOutcome(reply.errorName(), reply.errorMessage()));
        return;
    }
    // Portals older than the handle_token convention answer on a path of their own choosing.
    const QString handle =
        reply.arguments().isEmpty()
            ? QString()
            : qvariant_cast<QDBusObjectPath>(reply.arguments().constFirst()).path();
    if (!handle.isEmpty() && handle != m_path) {
        unsubscribe();
        m_path = handle;
        subscribe(handle);
    }
}

void PortalRequest::onResponse(uint code, const QVariantMap &results)
{
    finish(portalResponseOutcome(code, results));
}

void PortalRequest::finish(PortalOutcome outcome)
{
    if (!m_pending)
        return;
    m_pending = false;
    unsubscribe();
    // Stopped, not deleted: finish() may run inside their own signals.
    m_timer->stop();
    m_watcher->setWatchedServices({});
    if (m_call) { // a late reply to the call itself is of no interest now
        m_call->disconnect(this);
        m_call->deleteLater();
        m_call = nullptr;
    }
    if (outcome.kind == PortalOutcome::Kind::TimedOut)
        m_bus.send(QDBusMessage::createMethodCall(m_service, m_path, requestInterface,
                                                  QStringLiteral("Close")));
    if (!outcome.ok())
        outcome.message = m_what + QStringLiteral(": ") + outcome.message;
    Q_EMIT finished(outcome);
}

} // namespace zorv
