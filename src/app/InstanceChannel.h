#pragma once

#include "common/Expected.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLockFile;
class QSocketNotifier;

namespace zorv
{

// What a `zorv` command asks of the running instance.
struct InstanceRequest {
    QString command;         // an action's raw value, "--quit", or empty (just find it)
    bool wantsImage = false; // answer when the capture is delivered, with its bytes
    QString format;          // the bytes' format (raw value); empty: the user's format
};

// The running instance's answer.
struct InstanceReply {
    bool ok = false;
    QString message;
    int status = 0; // the command's exit status
    QByteArray data;
};

// One resident Zorv per user login. The resident instance holds a lock and
// listens on a local socket in the user's runtime folder; later `zorv` calls
// forward their request there and exit.
class InstanceServer : public QObject
{
    Q_OBJECT
  public:
    using Respond = std::function<void(const InstanceReply &)>;
    // Answers now or later, by calling `respond` once.
    using Handler = std::function<void(const InstanceRequest &, Respond respond)>;

    explicit InstanceServer(Handler handler, QObject *parent = nullptr);
    ~InstanceServer() override;
    // False when another instance holds the lock or the socket cannot be made.
    bool listen(QString *error);

  private:
    void serve();

    Handler m_handler;
    std::unique_ptr<QLockFile> m_lock;
    int m_listener = -1;
    QSocketNotifier *m_notifier = nullptr;
};

namespace InstanceClient
{
enum class Failure {
    notRunning, // nothing listens
    noAnswer,   // something listens but did not answer in time (stopped, hung)
};
// Sends a request and waits for the answer: `answerTimeoutMs` < 0 waits as long
// as the instance keeps the connection (a capture the user is still choosing).
Expected<InstanceReply, Failure> send(const InstanceRequest &request, int answerTimeoutMs = 5000);
// Whether an instance is listening.
bool isRunning();
} // namespace InstanceClient

// Where the socket and lock live: $XDG_RUNTIME_DIR, else the temporary folder.
QString instanceSocketPath();

} // namespace zorv
