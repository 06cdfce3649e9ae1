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
constexpr auto tokenAccount = "uploadToken";
constexpr auto autostartFileName = "zorv.desktop";

bool isScalar(const QVariant &value)
{
    const int type = value.typeId();
    return value.isValid() && type != QMetaType::QStringList && type != QMetaType::QVariantList &&
           type != QMetaType::QVariantMap && value.canConvert<QString>();
}
} // namespace

namespace storedValue
{
std::optional<bool> toBool(const QVariant &value)
{
    if (!isScalar(value))
        return std::nullopt;
    const QString text = value.toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return std::nullopt;
}

std::optional<int> toInt(const QVariant &value)
{
    if (!isScalar(value))
        return std::nullopt;
    bool ok = false;
    const int number = value.toString().toInt(&ok);
    return ok ? std::optional<int>(number) : std::nullopt;
}

std::optional<double> toDouble(const QVariant &value)
{
    if (!isScalar(value))
        return std::nullopt;
    bool ok = false;
    const double number = value.toString().toDouble(&ok);
    return ok && std::isfinite(number) ? std::optional<double>(number) : std::nullopt;
}

std::optional<QString> toText(const QVariant &value)
{
    if (!isScalar(value) || value.typeId() == QMetaType::QByteArray)
        return std::nullopt;
    return value.toString();
}
} // namespace storedValue

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
    m_saveDirectoryPath = defaultSaveDirectoryPath(m_locations);
    m_hotkeys = KeyCombo::defaults();
    load();
}

AppSettings::~AppSettings() = default;

QString AppSettings::defaultSaveDirectoryPath(const SettingsLocations &locations)
{
    if (!locations.picturesDirectory.isEmpty())
        return QDir(locations.picturesDirectory).filePath(QStringLiteral("Zorv"));
    return QDir(locations.homeDirectory).filePath(QStringLiteral("Pictures/Zorv"));
}

void AppSettings::load()
{
    QSettings &s = *m_store;
    auto readText = [&s](const char *key, QString &field) {
        if (auto v = storedValue::toText(s.value(QLatin1String(key))))
            field = *v;
    };
    auto readBool = [&s](const char *key, bool &field) {
        if (auto v = storedValue::toBool(s.value(QLatin1String(key))))
            field = *v;
    };
    auto readDouble = [&s](const char *key, double &field) {
        if (auto v = storedValue::toDouble(s.value(QLatin1String(key))))
            field = *v;
    };
    auto readInt = [&s](const char *key, int &field) {
        if (auto v = storedValue::toInt(s.value(QLatin1String(key))))
            field = *v;
    };
    auto rawText = [&s](const char *key) {
        return storedValue::toText(s.value(QLatin1String(key))).value_or(QString());
    };

    readText("saveDirectoryPath", m_saveDirectoryPath);
    readBool("copyToClipboard", m_copyToClipboard);
    readBool("playSound", m_playSound);
    readBool("openEditorAfterCapture", m_openEditorAfterCapture);
    readBool("showQuickAccess", m_showQuickAccess);
    readDouble("quickAccessSeconds", m_quickAccessSeconds);
    m_quickAccessCorner =
        quickAccessCorner::fromRawValue(rawText("quickAccessCorner")).value_or(m_quickAccessCorner);
    readBool("launchAtLogin", m_launchAtLogin);
    readText("nameTemplate", m_nameTemplate);
    m_imageFormat = imageFormat::fromRawValue(rawText("imageFormat")).value_or(m_imageFormat);
    readDouble("jpegQuality", m_jpegQuality);
    readBool("saveScreenshotsAutomatically", m_saveScreenshotsAutomatically);
    readInt("historyLimit", m_historyLimit);
    readText("annotationColorHex", m_annotationColorHex);
    readDouble("annotationLineWidth", m_annotationLineWidth);
    readDouble("annotationFontSize", m_annotationFontSize);
    readDouble("blurRadius", m_blurRadius);
    readDouble("pixelateScale", m_pixelateScale);
    readBool("autoIncrementNumbers", m_autoIncrementNumbers);
    readInt("recordingFPS", m_recordingFPS);
    m_recordingCodec = rawText("recordingCodec") == QLatin1String("hevc") ? RecordingCodec::hevc
                                                                          : RecordingCodec::h264;
    readBool("recordingShowsCursor", m_recordingShowsCursor);
    readBool("recordingShowsClicks", m_recordingShowsClicks);
    readBool("recordingCapturesSystemAudio", m_recordingCapturesSystemAudio);
    readBool("recordingCapturesMicrophone", m_recordingCapturesMicrophone);
    m_microphoneDeviceID = storedValue::toText(s.value(QStringLiteral("microphoneDeviceID")));
    readInt("gifFPS", m_gifFPS);
    readInt("gifMaxWidth", m_gifMaxWidth);
    readText("uploadEndpoint", m_uploadEndpoint);
    loadUploadToken();
    readText("uploadFieldName", m_uploadFieldName);
    readText("uploadHeadersJSON", m_uploadHeadersJSON);

    const QVariant hotkeyData = s.value(QStringLiteral("hotkeys"));
    if (hotkeyData.isValid() && hotkeyData.canConvert<QByteArray>()) {
        if (auto map = decodeHotKeys(hotkeyData.toByteArray()))
            m_hotkeys = *map;
    }
}

void AppSettings::loadUploadToken()
{
    // A token left in the plain settings by an older version moves to the keyring.
    // The plain copy is removed only once the keyring holds it, so it is never lost.
    if (auto legacy = storedValue::toText(m_store->value(QLatin1String(tokenAccount)))) {
        m_uploadToken = *legacy;
        m_secrets->write(QLatin1String(tokenAccount), *legacy, [this](bool stored) {
            if (stored) {
                m_store->remove(QLatin1String(tokenAccount));
                m_store->sync();
            }
        });
    }
    m_secrets->read(QLatin1String(tokenAccount), [this](std::optional<QString> value) {
        if (value)
            m_uploadToken = *value;
        m_uploadTokenLoaded = true;
        Q_EMIT uploadTokenReady();
        Q_EMIT changed(QStringLiteral("uploadToken"));
    });
}

bool AppSettings::uploadConfigured() const
{
    return !m_uploadEndpoint.trimmed().isEmpty();
}

bool AppSettings::uploadTokenPersistent() const
{
    return m_secrets->isPersistent();
}

void AppSettings::store(const char *key, const QVariant &value)
{
    m_store->setValue(QLatin1String(key), value);
    m_store->sync();
}

template <typename T> void AppSettings::assign(const char *key, T &field, const T &value)
{
    field = value;
    Q_EMIT changed(QLatin1String(key));
    if constexpr (std::is_same_v<T, ImageFormat>)
        store(key, imageFormat::rawValue(value));
    else if constexpr (std::is_same_v<T, QuickAccessCorner>)
        store(key, quickAccessCorner::rawValue(value));
    else if constexpr (std::is_same_v<T, RecordingCodec>)
        store(key, recordingCodec::rawValue(value));
    else
        store(key, QVariant::fromValue(value));
}

void AppSettings::setSaveDirectoryPath(const QString &v)
{
    assign("saveDirectoryPath", m_saveDirectoryPath, v);
}
void AppSettings::setCopyToClipboard(bool v)
{
    assign("copyToClipboard", m_copyToClipboard, v);
}
void AppSettings::setPlaySound(bool v)
{
    assign("playSound", m_playSound, v);
}
void AppSettings::setOpenEditorAfterCapture(bool v)
{
    assign("openEditorAfterCapture", m_openEditorAfterCapture, v);
}
void AppSettings::setShowQuickAccess(bool v)
{
    assign("showQuickAccess", m_showQuickAccess, v);
}
void AppSettings::setQuickAccessSeconds(double v)
{
    assign("quickAccessSeconds", m_quickAccessSeconds, v);
}
void AppSettings::setQuickAccessCorner(QuickAccessCorner v)
{
    assign("quickAccessCorner", m_quickAccessCorner, v);
}
void AppSettings::setNameTemplate(const QString &v)
{
    assign("nameTemplate", m_nameTemplate, v);
}
void AppSettings::setImageFormat(ImageFormat v)
{
    assign("imageFormat", m_imageFormat, v);
}
void AppSettings::setJpegQuality(double v)
{
    assign("jpegQuality", m_jpegQuality, v);
}
void AppSettings::setSaveScreenshotsAutomatically(bool v)
{
    assign("saveScreenshotsAutomatically", m_saveScreenshotsAutomatically, v);
}
void AppSettings::setHistoryLimit(int v)
{
    assign("historyLimit", m_historyLimit, v);
}
void AppSettings::setAnnotationColorHex(const QString &v)
{
    assign("annotationColorHex", m_annotationColorHex, v);
}
void AppSettings::setAnnotationLineWidth(double v)
{
    assign("annotationLineWidth", m_annotationLineWidth, v);
}
void AppSettings::setAnnotationFontSize(double v)
{
    assign("annotationFontSize", m_annotationFontSize, v);
}
void AppSettings::setBlurRadius(double v)
{
    assign("blurRadius", m_blurRadius, v);
}
void AppSettings::setPixelateScale(double v)
{
    assign("pixelateScale", m_pixelateScale, v);
}
void AppSettings::setAutoIncrementNumbers(bool v)
{
    assign("autoIncrementNumbers", m_autoIncrementNumbers, v);
}
void AppSettings::setRecordingFPS(int v)
{
    assign("recordingFPS", m_recordingFPS, v);
}
void AppSettings::setRecordingCodec(RecordingCodec v)
{
    assign("recordingCodec", m_recordingCodec, v);
}
void AppSettings::setRecordingShowsCursor(bool v)
{
    assign("recordingShowsCursor", m_recordingShowsCursor, v);
}
void AppSettings::setRecordingShowsClicks(bool v)
{
    assign("recordingShowsClicks", m_recordingShowsClicks, v);
}
void AppSettings::setRecordingCapturesSystemAudio(bool v)
{
    assign("recordingCapturesSystemAudio", m_recordingCapturesSystemAudio, v);
}
void AppSettings::setRecordingCapturesMicrophone(bool v)
{
    assign("recordingCapturesMicrophone", m_recordingCapturesMicrophone, v);
}
void AppSettings::setGifFPS(int v)
{
    assign("gifFPS", m_gifFPS, v);
}
void AppSettings::setGifMaxWidth(int v)
{
    assign("gifMaxWidth", m_gifMaxWidth, v);
}
void AppSettings::setUploadEndpoint(const QString &v)
{
    assign("uploadEndpoint", m_uploadEndpoint, v);
}
void AppSettings::setUploadFieldName(const QString &v)
{
    assign("uploadFieldName", m_uploadFieldName, v);
}
void AppSettings::setUploadHeadersJSON(const QString &v)
{
    assign("uploadHeadersJSON", m_uploadHeadersJSON, v);
}

void AppSettings::setMicrophoneDeviceID(const std::optional<QString> &value)
{
    m_microphoneDeviceID = value;
    Q_EMIT changed(QStringLiteral("microphoneDeviceID"));
    if (value) {
        store("microphoneDeviceID", *value);
    } else {
        m_store->remove(QStringLiteral("microphoneDeviceID"));
        m_store->sync();
    }
}

void AppSettings::setUploadToken(const QString &value)
{
    // The token never touches the plain settings file.
    m_uploadToken = value;
    m_secrets->write(QLatin1String(tokenAccount), value);
    Q_EMIT changed(QStringLiteral("uploadToken"));
}

void AppSettings::setHotkeys(const HotKeyMap &value)
{
    m_hotkeys = value;
    Q_EMIT changed(QStringLiteral("hotkeys"));
    persistHotkeys();
}

void AppSettings::persistHotkeys()
{
    store("hotkeys", encodeHotKeys(m_hotkeys));
}

void AppSettings::setLaunchAtLogin(bool value)
{
    assign("launchAtLogin", m_launchAtLogin, value);
    applyLaunchAtLogin(value);
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
