#include "settings/AppSettings.h"

#include "common/Log.h"
#include "platform/KeychainSecretStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <cmath>

namespace zorv
{

namespace
{
constexpr auto autostartFileName = "zorv.desktop";
} // namespace

SettingsLocations SettingsLocations::standard()
{
    SettingsLocations locations;
    const QStringList pictures =
        QStandardPaths::standardLocations(QStandardPaths::PicturesLocation);
    // Qt answers with the home folder when XDG names no pictures folder.
    if (!pictures.isEmpty() && QDir(pictures.first()) != QDir::home())
        locations.picturesDirectory = pictures.first();
    locations.homeDirectory = QDir::homePath();
    locations.autostartDirectory =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/autostart");
    locations.executablePath = QCoreApplication::applicationFilePath();
    return locations;
}

AppSettings &AppSettings::shared()
{
    static AppSettings *instance = [] {
        // The native format on Linux is INI text in ~/.config/Zorv/Zorv.conf.
        auto store = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                                 QStringLiteral("Zorv"), QStringLiteral("Zorv"));
        auto *secrets = new KeychainSecretStore(QStringLiteral("Zorv"), qApp);
        return new AppSettings(std::move(store), secrets, SettingsLocations::standard(), qApp);
    }();
    return *instance;
}

AppSettings::AppSettings(std::unique_ptr<QSettings> store, SecretStore *secrets,
                         SettingsLocations locations, QObject *parent)
    : QObject(parent), m_store(std::move(store)), m_secrets(secrets),
      m_locations(std::move(locations))
{
    saveDirectoryPath.setDefault(defaultSaveDirectoryPath(m_locations));
    for (OptionBase *option : options()) {
        if (option->storage() == OptionStorage::settingsFile)
            option->load(*m_store);
    }
    loadUploadToken();
}

AppSettings::~AppSettings() = default;

QString AppSettings::defaultSaveDirectoryPath(const SettingsLocations &locations)
{
    if (!locations.picturesDirectory.isEmpty())
        return QDir(locations.picturesDirectory).filePath(QStringLiteral("Zorv"));
    return QDir(locations.homeDirectory).filePath(QStringLiteral("Pictures/Zorv"));
}

void AppSettings::loadUploadToken()
{
    // A token left in the plain settings by an older version moves to the keyring.
    // The plain copy is removed only once the keyring holds it, so it is never lost.
    // The keyring may answer after these settings are gone (a settings object
    // read once and dropped), so the answers check that they still exist.
    const QString account = uploadToken.key();
    const QPointer<AppSettings> self(this);
    if (auto legacy = OptionCodec<QString>::parse(m_store->value(account))) {
        uploadToken.assignQuietly(*legacy);
        m_secrets->write(account, *legacy, [this, self, account](bool stored) {
            if (self && stored) {
                m_store->remove(account);
                m_store->sync();
            }
        });
    }
    m_secrets->read(account, [this, self](std::optional<QString> value) {
        if (!self)
            return;
        if (value)
            uploadToken.assignQuietly(boundedText(*value, uploadToken.limits().maxLength));
        m_uploadTokenLoaded = true;
        Q_EMIT uploadTokenReady();
        Q_EMIT changed(uploadToken.key());
    });
}

bool AppSettings::uploadConfigured() const
{
    return !uploadEndpoint().trimmed().isEmpty();
}

bool AppSettings::uploadTokenPersistent() const
{
    return m_secrets->isPersistent();
}

void AppSettings::optionChanged(OptionBase &option)
{
    if (option.storage() == OptionStorage::keyring) {
        // Secrets never touch the plain settings file.
        m_secrets->write(option.key(), option.variant().toString());
    } else {
        const QVariant value = option.stored();
        if (value.isValid())
            m_store->setValue(option.key(), value);
        else
            m_store->remove(option.key());
        m_store->sync();
    }
    if (&option == &launchAtLogin)
        applyLaunchAtLogin(launchAtLogin());
    Q_EMIT changed(option.key());
}

QString AppSettings::autostartFilePath() const
{
    return QDir(m_locations.autostartDirectory).filePath(QLatin1String(autostartFileName));
}

QString AppSettings::autostartEntry(const QString &executablePath)
{
    // Inside a quoted Exec argument these four characters need a backslash; the
    // value as a whole is then escaped as a string (each backslash doubled), and
    // a percent sign is doubled so it is not read as a field code.
    QString quoted;
    for (const QChar c : executablePath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    quoted.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    quoted.replace(QLatin1String("%"), QLatin1String("%%"));
    return QStringLiteral("[Desktop Entry]\nType=Application\nName=Zorv\n"
                          "Comment=Screenshots and screen recordings\n"
                          "Exec=\"%1\"\nIcon=zorv\nTerminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(quoted);
}

QString AppSettings::storePath() const
{
    return m_store->fileName();
}

void AppSettings::reloadFromStore()
{
    m_store->sync();
    for (OptionBase *option : options()) {
        if (option->storage() != OptionStorage::settingsFile)
            continue;
        const QVariant before = option->variant();
        option->resetQuietly(); // a removed key means the default again
        option->load(*m_store);
        if (option->variant() != before)
            Q_EMIT changed(option->key());
    }
}

void AppSettings::applyLaunchAtLogin(bool enabled)
{
    const QString path = autostartFilePath();
    m_launchAtLoginProblem.clear();
    if (!enabled) {
        if (QFile::exists(path) && !QFile::remove(path))
            m_launchAtLoginProblem = QStringLiteral("Could not remove %1.").arg(path);
    } else if (!QDir().mkpath(m_locations.autostartDirectory)) {
        m_launchAtLoginProblem =
            QStringLiteral("Could not create %1.").arg(m_locations.autostartDirectory);
    } else {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(autostartEntry(m_locations.executablePath).toUtf8()) < 0 || !file.commit())
            m_launchAtLoginProblem =
                QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
    }
    if (!m_launchAtLoginProblem.isEmpty())
        logLine(QStringLiteral("launch-at-login update failed: ") + m_launchAtLoginProblem);
}

} // namespace zorv
