#include "settings/AppSettings.h"

#include "common/Log.h"
#include "platform/KeychainSecretStore.h"

#include <QCoreApplication>
#include <QDir>
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
    const QString account = uploadToken.key();
    if (auto legacy = OptionCodec<QString>::parse(m_store->value(account))) {
        uploadToken.assignQuietly(*legacy);
        m_secrets->write(account, *legacy, [this, account](bool stored) {
            if (stored) {
                m_store->remove(account);
                m_store->sync();
            }
        });
    }
    m_secrets->read(account, [this](std::optional<QString> value) {
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

void AppSettings::applyLaunchAtLogin(bool enabled)
{
    const QString path =
        QDir(m_locations.autostartDirectory).filePath(QLatin1String(autostartFileName));
    if (!enabled) {
        if (QFile::exists(path) && !QFile::remove(path))
            logLine(QStringLiteral("launch-at-login update failed: could not remove ") + path);
        return;
    }
    if (!QDir().mkpath(m_locations.autostartDirectory)) {
        logLine(QStringLiteral("launch-at-login update failed: could not create ") +
                m_locations.autostartDirectory);
        return;
    }
    QSaveFile file(path);
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=Zorv\n"
                                         "Comment=Screenshots and screen recordings\n"
                                         "Exec=\"%1\"\nIcon=zorv\nTerminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(m_locations.executablePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(entry.toUtf8()) < 0 || !file.commit())
        logLine(QStringLiteral("launch-at-login update failed: ") + file.errorString());
}

} // namespace zorv
