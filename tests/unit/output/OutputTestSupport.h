#pragma once

#include "platform/KeychainSecretStore.h"
#include "settings/AppSettings.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <memory>

namespace zorv::test
{

// Fresh settings on a temporary folder, so no test sees another's options.
struct TemporarySettings {
    QTemporaryDir dir;
    MemorySecretStore secrets;
    std::unique_ptr<AppSettings> settings;

    TemporarySettings()
    {
        SettingsLocations locations;
        locations.homeDirectory = dir.path();
        locations.picturesDirectory = dir.filePath(QStringLiteral("Pictures"));
        locations.autostartDirectory = dir.filePath(QStringLiteral("autostart"));
        settings = std::make_unique<AppSettings>(
            std::make_unique<QSettings>(dir.filePath(QStringLiteral("settings.ini")),
                                        QSettings::IniFormat),
            &secrets, locations);
    }
};

inline bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Every entry of a folder, hidden ones included, sorted by name.
inline QStringList folderEntries(const QString &path)
{
    return QDir(path).entryList(
        QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace zorv::test
