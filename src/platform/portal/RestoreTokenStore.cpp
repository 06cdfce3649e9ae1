#include "platform/portal/RestoreTokenStore.h"

#include "common/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace zorv
{

namespace
{
// Tokens are UUIDs in practice; anything far longer is not a token of ours.
constexpr qint64 maxTokenBytes = 4096;
} // namespace

FileRestoreTokenStore::FileRestoreTokenStore(QString path) : m_path(std::move(path)) {}

QString FileRestoreTokenStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/screencast-token");
}

QString FileRestoreTokenStore::load()
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (file.size() > maxTokenBytes)
        return {};
    const QString token = QString::fromUtf8(file.readAll()).trimmed();
    // A token travels in a D-Bus string: one line of printable text.
    for (const QChar c : token)
        if (!c.isPrint() || c.isSpace())
            return {};
    return token;
}

void FileRestoreTokenStore::save(const QString &token)
{
    if (token.isEmpty()) {
        if (QFile::exists(m_path) && !QFile::remove(m_path))
            logLine(QStringLiteral("cannot remove %1").arg(m_path));
        return;
    }
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QSaveFile file(m_path);
    // The token lets anyone with it capture the screen without asking: the owner's alone.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(token.toUtf8() + '\n') < 0 || !file.commit())
        logLine(QStringLiteral("cannot store the screen-capture token in %1: %2")
                    .arg(m_path, file.errorString()));
}

} // namespace zorv
