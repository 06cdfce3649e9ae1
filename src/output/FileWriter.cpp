#include "output/FileWriter.h"

#include "output/OutputService.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace zorv
{

namespace
{

QByteArray nativePath(const QString &path)
{
    return QFile::encodeName(path);
}

QString systemText(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

bool isNameTooLong(int errorNumber)
{
    return errorNumber == ENAMETOOLONG;
}

bool isPermissionError(int errorNumber)
{
    return errorNumber == EACCES || errorNumber == EPERM || errorNumber == EROFS;
}

// Hard links are missing on FAT and some network or FUSE file systems.
bool linksUnsupported(int errorNumber)
{
    return errorNumber == EPERM || errorNumber == EOPNOTSUPP || errorNumber == ENOSYS ||
           errorNumber == EMLINK;
}

bool writeAll(int fd, const char *data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

constexpr int temporaryNameDigits = 16;

// The names TemporaryFile makes: ".zorv-" + 16 lower-case hex digits + ".tmp".
bool isTemporaryName(const QString &name)
{
    const QLatin1String prefix(".zorv-"), suffix(".tmp");
    if (name.size() != prefix.size() + temporaryNameDigits + suffix.size() ||
        !name.startsWith(prefix) || !name.endsWith(suffix))
        return false;
    const QStringView digits = QStringView(name).mid(prefix.size(), temporaryNameDigits);
    return std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
               (c >= QLatin1Char('a') && c <= QLatin1Char('f'));
    });
}

// A hidden file in the target folder that is removed again unless it was
// given its final name.
class TemporaryFile
{
  public:
    explicit TemporaryFile(const QString &directory)
    {
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString name = QStringLiteral(".zorv-%1.tmp")
                                     .arg(QRandomGenerator::global()->generate64(),
                                          temporaryNameDigits, 16, QLatin1Char('0'));
            m_path = QDir(directory).filePath(name);
            // Mode 0666 lets the umask decide the final file's permissions.
            m_fd = ::open(nativePath(m_path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          0666);
            if (m_fd >= 0 || errno != EEXIST)
                break;
        }
        m_error = m_fd < 0 ? errno : 0;
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_path.isEmpty() && !m_released)
            ::unlink(nativePath(m_path).constData());
    }
    TemporaryFile(const TemporaryFile &) = delete;
    TemporaryFile &operator=(const TemporaryFile &) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int openError() const { return m_error; }
    QString path() const { return m_path; }
    int fd() const { return m_fd; }

    // Flushes the content to disk and closes; errno is set on failure.
    bool finish()
    {
        const bool synced = ::fsync(m_fd) == 0;
        const int syncError = errno;
        const bool closed = ::close(m_fd) == 0;
        m_fd = -1;
        if (!synced)
            errno = syncError;
        return synced && closed;
    }
    void release() { m_released = true; }

  private:
    QString m_path;
    int m_fd = -1;
    int m_error = 0;
    bool m_released = false;
};

enum class NameRule {
    unique, // a taken name moves on to the next free one
    exact,  // a taken name is a failure
};

// Gives the file at `from` a free name like `fileName` in `directory` without
// ever replacing a file. `consumed` tells whether `from` was renamed away.
FileResult<QString> placeNew(const QString &from, const QString &directory, const QString &fileName,
                             NameRule rule, bool &consumed)
{
    consumed = false;
    const QByteArray fromPath = nativePath(from);
    for (int attempt = 0; attempt < 10000; ++attempt) {
        const QString candidate = rule == NameRule::unique
                                      ? OutputService::uniqueURL(directory, fileName)
                                      : QDir(directory).filePath(fileName);
        const QByteArray target = nativePath(candidate);
        if (::link(fromPath.constData(), target.constData()) == 0)
            return candidate;
        const int linkError = errno;
        if (linkError == EEXIST && rule == NameRule::unique)
            continue;
        if (!linksUnsupported(linkError))
            return FileError::fromErrno(linkError, candidate, FileError::Reason::writeFailed);

        // Without hard links: claim the name with an exclusive create, then
        // rename over that empty placeholder.
        const int fd = ::open(target.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST && rule == NameRule::unique)
                continue;
            return FileError::fromErrno(errno, candidate, FileError::Reason::writeFailed);
        }
        ::close(fd);
        if (::rename(fromPath.constData(), target.constData()) == 0) {
            consumed = true;
            return candidate;
        }
        const int renameError = errno;
        ::unlink(target.constData());
        return FileError::fromErrno(renameError, candidate, FileError::Reason::writeFailed);
    }
    return FileError(FileError::Reason::writeFailed, QDir(directory).filePath(fileName), EEXIST);
}

FileResult<QString> placeTemporary(TemporaryFile &temp, const QString &directory,
                                   const QString &fileName, NameRule rule = NameRule::unique)
{
    if (!temp.finish())
        return FileError::fromErrno(errno, QDir(directory).filePath(fileName),
                                    FileError::Reason::writeFailed);
    bool consumed = false;
    FileResult<QString> placed = placeNew(temp.path(), directory, fileName, rule, consumed);
    if (consumed)
        temp.release();
    return placed;
}

FileError temporaryFileError(const TemporaryFile &temp, const QString &directory)
{
    if (temp.openError() == ENOENT)
        return FileError(FileError::Reason::folderUncreatable, directory, ENOENT);
    if (temp.openError() == ENOTDIR)
        return FileError(FileError::Reason::folderIsFile, directory);
    if (isPermissionError(temp.openError()))
        return FileError(FileError::Reason::folderUnwritable, directory, temp.openError());
    return FileError::fromErrno(temp.openError(), directory, FileError::Reason::writeFailed);
}

bool copyContent(int from, int to)
{
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n == 0)
            return true;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (!writeAll(to, buffer, n))
            return false;
    }
}

} // namespace

FileError::FileError(Reason reason, QString path, int errorNumber)
    : m_reason(reason), m_path(std::move(path)), m_errorNumber(errorNumber)
{
}

FileError FileError::fromErrno(int errorNumber, const QString &path, Reason otherwise)
{
    if (isNameTooLong(errorNumber))
        return FileError(Reason::nameTooLong, path, errorNumber);
    if (isPermissionError(errorNumber))
        return FileError(Reason::folderUnwritable, QFileInfo(path).path(), errorNumber);
    return FileError(otherwise, path, errorNumber);
}

QString FileError::description() const
{
    switch (m_reason) {
    case Reason::folderUncreatable:
        return QStringLiteral("The folder “%1” doesn't exist and couldn't be created (%2).")
            .arg(m_path, systemText(m_errorNumber));
    case Reason::folderUnwritable:
        return QStringLiteral("You don't have permission to save files in “%1”.").arg(m_path);
    case Reason::folderIsFile:
        return QStringLiteral("“%1” is a file, not a folder.").arg(m_path);
    case Reason::nameTooLong: {
        const QString name = QFileInfo(m_path).fileName();
        if (name.toUtf8().size() > 255)
            return QStringLiteral("The file name “%1” is too long.").arg(name);
        return QStringLiteral("The path “%1” is too long.").arg(m_path);
    }
    case Reason::encodingFailed:
        return QStringLiteral("The image couldn't be encoded.");
    case Reason::sourceUnreadable:
        return QStringLiteral("The file “%1” couldn't be read (%2).")
            .arg(m_path, systemText(m_errorNumber));
    case Reason::writeFailed:
        if (m_errorNumber == 0)
            return QStringLiteral("The file “%1” couldn't be written.").arg(m_path);
        return QStringLiteral("The file “%1” couldn't be written (%2).")
            .arg(m_path, systemText(m_errorNumber));
    }
    return {};
}

namespace FileWriter
{

std::optional<FileError> ensureDirectory(const QString &directory)
{
    const QFileInfo info(directory);
    if (info.isDir())
        return std::nullopt;
    // The nearest part of the path that exists must be a folder.
    for (QString ancestor = directory; !ancestor.isEmpty();) {
        const QFileInfo existing(ancestor);
        if (existing.exists()) {
            if (!existing.isDir())
                return FileError(FileError::Reason::folderIsFile, ancestor);
            break;
        }
        const QString parent = existing.path();
        if (parent == ancestor)
            break;
        ancestor = parent;
    }
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(nativePath(directory).toStdString()),
                                        error);
    if (error) {
        if (isNameTooLong(error.value()))
            return FileError(FileError::Reason::nameTooLong, directory, error.value());
        return FileError(FileError::Reason::folderUncreatable, directory, error.value());
    }
    return std::nullopt;
}

namespace
{
FileResult<QString> writeNew(const QString &directory, const QString &fileName,
                             const QByteArray &bytes, NameRule rule)
{
    TemporaryFile temp(directory);
    if (!temp.isOpen())
        return temporaryFileError(temp, directory);
    if (!writeAll(temp.fd(), bytes.constData(), bytes.size()))
        return FileError::fromErrno(errno, QDir(directory).filePath(fileName),
                                    FileError::Reason::writeFailed);
    return placeTemporary(temp, directory, fileName, rule);
}
} // namespace

FileResult<QString> writeNewFile(const QString &directory, const QString &fileName,
                                 const QByteArray &bytes)
{
    return writeNew(directory, fileName, bytes, NameRule::unique);
}

FileResult<QString> writeNewFileAt(const QString &path, const QByteArray &bytes)
{
    const QFileInfo info(path);
    return writeNew(info.absolutePath(), info.fileName(), bytes, NameRule::exact);
}

FileResult<QString> moveNewFile(const QString &source, const QString &directory,
                                const QString &fileName)
{
    if (!QFileInfo(source).isFile())
        return FileError(FileError::Reason::sourceUnreadable, source, ENOENT);
    bool consumed = false;
    FileResult<QString> placed = placeNew(source, directory, fileName, NameRule::unique, consumed);
    if (!placed && placed.error().errorNumber() == EXDEV) {
        // Another file system: copy into the folder, then let go of the source.
        const int from = ::open(nativePath(source).constData(), O_RDONLY | O_CLOEXEC);
        if (from < 0)
            return FileError(FileError::Reason::sourceUnreadable, source, errno);
        TemporaryFile temp(directory);
        if (!temp.isOpen()) {
            ::close(from);
            return temporaryFileError(temp, directory);
        }
        const bool copied = copyContent(from, temp.fd());
        const int copyError = errno;
        ::close(from);
        if (!copied)
            return FileError::fromErrno(copyError, QDir(directory).filePath(fileName),
                                        FileError::Reason::writeFailed);
        placed = placeTemporary(temp, directory, fileName);
    }
    if (placed && !consumed)
        ::unlink(nativePath(source).constData());
    return placed;
}

std::optional<FileError> replaceFile(const QString &path, const QByteArray &bytes)
{
    const QString directory = QFileInfo(path).absolutePath();
    TemporaryFile temp(directory);
    if (!temp.isOpen())
        return temporaryFileError(temp, directory);
    if (!writeAll(temp.fd(), bytes.constData(), bytes.size()) || !temp.finish())
        return FileError::fromErrno(errno, path, FileError::Reason::writeFailed);
    if (::rename(nativePath(temp.path()).constData(), nativePath(path).constData()) != 0)
        return FileError::fromErrno(errno, path, FileError::Reason::writeFailed);
    temp.release();
    return std::nullopt;
}

int removeStaleTemporaryFiles(const QString &directory)
{
    int removed = 0;
    const QDir dir(directory);
    // Matched here rather than by a name filter, which would load the regular
    // expression engine into an idle tray program.
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &name : names) {
        if (!isTemporaryName(name))
            continue;
        const QByteArray path = nativePath(dir.filePath(name));
        // Only our own regular files: never a link's target, nor another user's write.
        struct stat status {
        };
        if (::lstat(path.constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
            status.st_uid != ::geteuid())
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}

} // namespace FileWriter
} // namespace zorv
