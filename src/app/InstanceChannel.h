#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLockFile;

namespace zorv
{

// The answer of the running instance to a forwarded request.
struct InstanceReply {
    bool ok = false;
    QString message;
};

// One resident Zorv per user login. The resident instance holds a lock and
// listens on a local socket in the user's runtime folder; later `zorv` calls
// forward their request there and exit.
class InstanceServer : public QObject
{
    Q_OBJECT
  public:
    using Handler = std::function<InstanceReply(const QString &request)>;

    explicit InstanceServer(Handler handler, QObject *parent = nullptr);
    ~InstanceServer() override;
    // False when another instance holds the lock or the socket cannot be made.
    bool listen(QString *error);

  private:
    void serve();

    Handler m_handler;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

namespace InstanceClient
{
// Sends `request` to the running instance; nullopt when none answers.
std::optional<InstanceReply> send(const QString &request, int timeoutMs = 5000);
// Whether an instance is listening.
bool isRunning();
} // namespace InstanceClient

// Where the socket and lock live: $XDG_RUNTIME_DIR, else the temporary folder.
QString instanceSocketPath();

} // namespace zorv
