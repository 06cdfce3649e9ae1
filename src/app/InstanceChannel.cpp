#include "app/InstanceChannel.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QPointer>
#include <QSocketNotifier>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace zorv
{

namespace
{
// Requests and answers are one line of JSON; an answer's bytes follow its line.
constexpr int connectTimeoutMs = 1000;
constexpr qsizetype chunk = 64 * 1024;

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

// False when the path does not fit a socket address.
bool socketAddress(sockaddr_un *address)
{
    const QByteArray path = QFile::encodeName(instanceSocketPath());
    *address = {};
    address->sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address->sun_path)))
        return false;
    std::memcpy(address->sun_path, path.constData(), size_t(path.size()));
    return true;
}

// Closes the descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    explicit Descriptor(int value) : fd(value) {}
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// One command's connection on the server side: reads its request line, then
// writes the answer without blocking and closes. It deletes itself when the
// peer goes away, so a late answer finds it gone.
class Connection : public QObject
{
  public:
    using Handler = InstanceServer::Handler;

    Connection(int fd, const Handler &handler, QObject *parent)
        : QObject(parent), m_socket(fd), m_handler(handler),
          m_reader(fd, QSocketNotifier::Read, this), m_writer(fd, QSocketNotifier::Write, this)
    {
        m_writer.setEnabled(false);
        connect(&m_reader, &QSocketNotifier::activated, this, &Connection::readable);
        connect(&m_writer, &QSocketNotifier::activated, this, &Connection::writeSome);
    }

  private:
    void readable()
    {
        char buffer[4096];
        bool closed = false;
        for (;;) {
            const ssize_t n = ::read(m_socket.fd, buffer, sizeof buffer);
            if (n > 0) {
                if (!m_answering) // anything after the request line is ignored
                    m_input.append(buffer, n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            closed = n == 0 || errno != EAGAIN;
            break;
        }
        // A command that gave up waiting (this instance was stopped or busy)
        // was told it failed: its request must not run later.
        if (closed) {
            drop();
            return;
        }
        if (m_answering)
            return;
        const qsizetype end = m_input.indexOf('\n');
        if (end < 0) {
            if (m_input.size() > chunk)
                drop(); // too long for a request line
            return;
        }
        m_answering = true;
        const QJsonObject line = QJsonDocument::fromJson(m_input.left(end)).object();
        m_input.clear();
        InstanceRequest request;
        request.command = line.value(QStringLiteral("request")).toString();
        request.wantsImage = line.value(QStringLiteral("wantsImage")).toBool();
        request.format = line.value(QStringLiteral("format")).toString();
        QPointer<Connection> guard(this);
        m_handler(request, [guard](const InstanceReply &reply) {
            if (guard) // else the command gave up waiting
                guard->answer(reply);
        });
    }

    void answer(const InstanceReply &reply)
    {
        if (!m_output.isEmpty())
            return; // answered once already
        m_output = encodeLine({{QStringLiteral("ok"), reply.ok},
                               {QStringLiteral("message"), reply.message},
                               {QStringLiteral("status"), reply.status},
                               {QStringLiteral("size"), double(reply.data.size())}}) +
                   reply.data;
        writeSome();
    }

    void writeSome()
    {
        while (m_written < m_output.size()) {
            const ssize_t n =
                ::send(m_socket.fd, m_output.constData() + m_written,
                       size_t(std::min(chunk, m_output.size() - m_written)), MSG_NOSIGNAL);
            if (n > 0) {
                m_written += n;
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && errno == EAGAIN) {
                m_writer.setEnabled(true); // the rest when the peer has read some
                return;
            } else {
                break; // the peer went away
            }
        }
        drop();
    }

    void drop()
    {
        m_reader.setEnabled(false);
        m_writer.setEnabled(false);
        deleteLater();
    }

    Descriptor m_socket;
    const Handler &m_handler;
    QSocketNotifier m_reader;
    QSocketNotifier m_writer;
    QByteArray m_input;
    bool m_answering = false;
    QByteArray m_output;
    qsizetype m_written = 0;
};

// A blocking client socket connected to the instance, or -1.
int connectToInstance(int timeoutMs)
{
    sockaddr_un address;
    if (!socketAddress(&address))
        return -1;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    // Bounds connect() when the instance's backlog is full, and the request's write.
    const timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    int result;
    do
        result = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    while (result < 0 && errno == EINTR);
    if (result < 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Appends what arrives to `buffer`; false when the peer went away or the time is up.
bool readMore(int fd, QByteArray &buffer, const QElapsedTimer &clock, int timeoutMs)
{
    for (;;) {
        const int left = timeoutMs < 0 ? -1 : int(timeoutMs - clock.elapsed());
        if (timeoutMs >= 0 && left <= 0)
            return false;
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, left);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return false;
        const qsizetype before = buffer.size();
        buffer.resize(before + chunk);
        const ssize_t n = ::read(fd, buffer.data() + before, size_t(chunk));
        buffer.resize(before + std::max<ssize_t>(n, 0));
        if (n > 0)
            return true;
        if (n == 0 || (errno != EINTR && errno != EAGAIN))
            return false;
    }
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
    if (m_listener >= 0) {
        ::close(m_listener);
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
    sockaddr_un address;
    if (!socketAddress(&address)) {
        *error = QStringLiteral("The socket path is too long: %1").arg(instanceSocketPath());
        return false;
    }
    // We hold the lock, so a socket file left behind is stale.
    ::unlink(address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) < 0 ||
        ::chmod(address.sun_path, S_IRUSR | S_IWUSR) < 0 || ::listen(fd, SOMAXCONN) < 0) {
        *error = QStringLiteral("Cannot listen on %1: %2")
                     .arg(instanceSocketPath(), QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    m_listener = fd;
    m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &InstanceServer::serve);
    return true;
}

void InstanceServer::serve()
{
    for (;;) {
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return; // EAGAIN: none left
        }
        // Only this user's commands: the socket may live in the shared temporary folder.
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) < 0 || peer.uid != getuid()) {
            ::close(fd);
            continue;
        }
        new Connection(fd, m_handler, this);
    }
}

namespace InstanceClient
{
Expected<InstanceReply, Failure> send(const InstanceRequest &request, int answerTimeoutMs)
{
    const Descriptor socket(connectToInstance(connectTimeoutMs));
    if (socket.fd < 0)
        return Failure::notRunning;
    QElapsedTimer clock;
    clock.start();
    QJsonObject line{{QStringLiteral("request"), request.command}};
    if (request.wantsImage) {
        line.insert(QStringLiteral("wantsImage"), true);
        line.insert(QStringLiteral("format"), request.format);
    }
    const QByteArray bytes = encodeLine(line);
    // A short line: it fits the socket's buffer unless the instance is stuck.
    if (::send(socket.fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL) != bytes.size())
        return Failure::noAnswer;
    QByteArray input;
    qsizetype end;
    while ((end = input.indexOf('\n')) < 0) {
        if (!readMore(socket.fd, input, clock, answerTimeoutMs))
            return Failure::noAnswer;
    }
    const QJsonObject answer = QJsonDocument::fromJson(input.left(end)).object();
    InstanceReply reply{answer.value(QStringLiteral("ok")).toBool(),
                        answer.value(QStringLiteral("message")).toString(),
                        answer.value(QStringLiteral("status")).toInt(), input.mid(end + 1)};
    const qint64 size = qint64(answer.value(QStringLiteral("size")).toDouble());
    while (reply.data.size() < size) {
        if (!readMore(socket.fd, reply.data, clock, answerTimeoutMs))
            return Failure::noAnswer;
    }
    reply.data.truncate(size);
    return reply;
}

bool isRunning()
{
    const Descriptor socket(connectToInstance(500));
    return socket.fd >= 0;
}
} // namespace InstanceClient

} // namespace zorv
