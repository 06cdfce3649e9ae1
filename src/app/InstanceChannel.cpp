#include "app/InstanceChannel.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <unistd.h>

namespace zorv
{

namespace
{
QString runtimeDirectory()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(QString::fromLocal8Bit(runtime)).exists())
        return QString::fromLocal8Bit(runtime);
    return QDir::tempPath();
}

QByteArray encodeLine(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}
} // namespace

QString instanceSocketPath()
{
    return QDir(runtimeDirectory()).filePath(QStringLiteral("zorv-%1.socket").arg(getuid()));
}

InstanceServer::InstanceServer(Handler handler, QObject *parent)
    : QObject(parent), m_handler(std::move(handler))
{
}

InstanceServer::~InstanceServer()
{
    if (m_server) {
        m_server->close();
        QFile::remove(instanceSocketPath());
    }
}

bool InstanceServer::listen(QString *error)
{
    m_lock = std::make_unique<QLockFile>(instanceSocketPath() + QStringLiteral(".lock"));
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        *error = QStringLiteral("Zorv is already running.");
        return false;
    }
    // We hold the lock, so a socket file left behind is stale.
    QLocalServer::removeServer(instanceSocketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(instanceSocketPath())) {
        *error = m_server->errorString();
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceServer::serve);
    return true;
}

void InstanceServer::serve()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            const QJsonObject request = QJsonDocument::fromJson(socket->readLine()).object();
            const InstanceReply reply =
                m_handler(request.value(QStringLiteral("request")).toString());
            socket->write(encodeLine(
                {{QStringLiteral("ok"), reply.ok}, {QStringLiteral("message"), reply.message}}));
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

namespace InstanceClient
{
std::optional<InstanceReply> send(const QString &request, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    if (!socket.waitForConnected(timeoutMs))
        return std::nullopt;
    socket.write(encodeLine({{QStringLiteral("request"), request}}));
    if (!socket.waitForBytesWritten(timeoutMs))
        return std::nullopt;
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return std::nullopt;
    }
    const QJsonObject answer = QJsonDocument::fromJson(socket.readLine()).object();
    return InstanceReply{answer.value(QStringLiteral("ok")).toBool(),
                         answer.value(QStringLiteral("message")).toString()};
}

bool isRunning()
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    return socket.waitForConnected(500);
}
} // namespace InstanceClient

} // namespace zorv
