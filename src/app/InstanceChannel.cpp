#include "app/InstanceChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QPointer>
#include <unistd.h>

namespace zorv
{

namespace
{
// Requests and answers are one line of JSON; an answer's bytes follow its line.
constexpr int connectTimeoutMs = 1000;

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

// Waits for more bytes; false when the peer went away or the time is up.
bool waitForData(QLocalSocket &socket, const QElapsedTimer &clock, int timeoutMs)
{
    if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
        return false;
    const int left = timeoutMs < 0 ? 1000 : int(timeoutMs - clock.elapsed());
    if (timeoutMs >= 0 && left <= 0)
        return false;
    if (socket.waitForReadyRead(left))
        return true;
    // Waiting without a limit goes on as long as the connection holds.
    return timeoutMs < 0 && socket.state() == QLocalSocket::ConnectedState;
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
            if (!socket->canReadLine() || socket->property("answered").isValid())
                return;
            socket->setProperty("answered", true);
            const QJsonObject line = QJsonDocument::fromJson(socket->readLine()).object();
            // A command that gave up waiting (this instance was stopped or busy)
            // was told it failed: its request must not run later.
            socket->waitForReadyRead(0);
            if (socket->state() != QLocalSocket::ConnectedState)
                return;
            InstanceRequest request;
            request.command = line.value(QStringLiteral("request")).toString();
            request.wantsImage = line.value(QStringLiteral("wantsImage")).toBool();
            request.format = line.value(QStringLiteral("format")).toString();
            QPointer<QLocalSocket> guard(socket);
            m_handler(request, [guard](const InstanceReply &reply) {
                if (!guard) // the command gave up waiting
                    return;
                guard->write(encodeLine({{QStringLiteral("ok"), reply.ok},
                                         {QStringLiteral("message"), reply.message},
                                         {QStringLiteral("status"), reply.status},
                                         {QStringLiteral("size"), double(reply.data.size())}}));
                guard->write(reply.data);
                guard->flush();
                guard->disconnectFromServer();
            });
        });
    }
}

namespace InstanceClient
{
Expected<InstanceReply, Failure> send(const InstanceRequest &request, int answerTimeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    if (!socket.waitForConnected(connectTimeoutMs))
        return Failure::notRunning;
    QElapsedTimer clock;
    clock.start();
    QJsonObject line{{QStringLiteral("request"), request.command}};
    if (request.wantsImage) {
        line.insert(QStringLiteral("wantsImage"), true);
        line.insert(QStringLiteral("format"), request.format);
    }
    socket.write(encodeLine(line));
    if (!socket.waitForBytesWritten(connectTimeoutMs))
        return Failure::noAnswer;
    while (!socket.canReadLine()) {
        if (!waitForData(socket, clock, answerTimeoutMs))
            return Failure::noAnswer;
    }
    const QJsonObject answer = QJsonDocument::fromJson(socket.readLine()).object();
    InstanceReply reply{answer.value(QStringLiteral("ok")).toBool(),
                        answer.value(QStringLiteral("message")).toString(),
                        answer.value(QStringLiteral("status")).toInt(),
                        {}};
    const qint64 size = qint64(answer.value(QStringLiteral("size")).toDouble());
    while (reply.data.size() < size) {
        reply.data += socket.read(size - reply.data.size());
        if (reply.data.size() < size && !waitForData(socket, clock, answerTimeoutMs))
            return Failure::noAnswer;
    }
    return reply;
}

bool isRunning()
{
    QLocalSocket socket;
    socket.connectToServer(instanceSocketPath());
    return socket.waitForConnected(500);
}
} // namespace InstanceClient

} // namespace zorv
