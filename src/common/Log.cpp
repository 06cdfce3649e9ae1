#include "common/Log.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QThread>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zorv
{

namespace
{
std::atomic<int> logDescriptor{STDERR_FILENO};
QString logPath;

int openAppending(const QString &path)
{
    return ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                  0600);
}

// Moves a full log aside. Only the GUI thread does it, so no two rotations race.
void rotateIfFull(int fd)
{
    struct stat info {
    };
    if (logPath.isEmpty() || ::fstat(fd, &info) != 0 || info.st_size < maxLogBytes)
        return;
    if (QCoreApplication::instance() &&
        QThread::currentThread() != QCoreApplication::instance()->thread())
        return;
    const QString previous = logPath + QStringLiteral(".1");
    ::rename(QFile::encodeName(logPath).constData(), QFile::encodeName(previous).constData());
    const int fresh = openAppending(logPath);
    if (fresh < 0)
        return;
    logDescriptor.store(fresh);
    ::close(fd);
}

void writeLine(const QByteArray &line)
{
    const int fd = logDescriptor.load();
    // One write per line: appends from several threads do not interleave.
    if (::write(fd, line.constData(), size_t(line.size())) < 0)
        return;
    if (fd != STDERR_FILENO)
        rotateIfFull(fd);
}

void qtMessages(QtMsgType, const QMessageLogContext &, const QString &message)
{
    writeLine(message.toUtf8() + '\n');
}
} // namespace

void logLine(const QString &text)
{
    writeLine((QStringLiteral("Zorv: ") + text + QLatin1Char('\n')).toUtf8());
}

bool logToFile(const QString &path)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    logPath = path;
    const int fd = openAppending(path);
    if (fd < 0)
        return false;
    logDescriptor.store(fd);
    rotateIfFull(fd);
    qInstallMessageHandler(qtMessages);
    return true;
}

QString defaultLogFile()
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty() || !QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Zorv/zorv.log");
}

} // namespace zorv
