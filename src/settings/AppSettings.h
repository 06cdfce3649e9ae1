#pragma once

#include "common/CaptureAction.h"
#include "settings/Options.h"

#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class QSettings;

namespace zorv
{

class SecretStore;

// Where settings-related files live; injectable so tests run on a temporary folder.
struct SettingsLocations {
    QString picturesDirectory; // empty when the desktop names none
    QString homeDirectory;
    QString autostartDirectory; // ~/.config/autostart
    QString executablePath;     // for the autostart entry

    static SettingsLocations standard();
};

// Every option of the application, loaded once from QSettings and written back
// on every assignment. Observers connect to changed(key); the key is the
// option's name, which is also its QSettings key.
class AppSettings : public QObject
{
    Q_OBJECT
  public:
    static AppSettings &shared();

    AppSettings(std::unique_ptr<QSettings> store, SecretStore *secrets, SettingsLocations locations,
                QObject *parent = nullptr);
    ~AppSettings() override;

    QString saveDirectoryPath() const { return m_saveDirectoryPath; }
    bool copyToClipboard() const { return m_copyToClipboard; }
    bool playSound() const { return m_playSound; }
    bool openEditorAfterCapture() const { return m_openEditorAfterCapture; }
    bool showQuickAccess() const { return m_showQuickAccess; }
    double quickAccessSeconds() const { return m_quickAccessSeconds; }
    QuickAccessCorner quickAccessCorner() const { return m_quickAccessCorner; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    QString nameTemplate() const { return m_nameTemplate; }
    ImageFormat imageFormat() const { return m_imageFormat; }
    double jpegQuality() const { return m_jpegQuality; }
    bool saveScreenshotsAutomatically() const { return m_saveScreenshotsAutomatically; }
    int historyLimit() const { return m_historyLimit; }
    QString annotationColorHex() const { return m_annotationColorHex; }
    double annotationLineWidth() const { return m_annotationLineWidth; }
    double annotationFontSize() const { return m_annotationFontSize; }
    double blurRadius() const { return m_blurRadius; }
    double pixelateScale() const { return m_pixelateScale; }
    bool autoIncrementNumbers() const { return m_autoIncrementNumbers; }
    int recordingFPS() const { return m_recordingFPS; }
    RecordingCodec recordingCodec() const { return m_recordingCodec; }
    bool recordingShowsCursor() const { return m_recordingShowsCursor; }
    bool recordingShowsClicks() const { return m_recordingShowsClicks; }
    bool recordingCapturesSystemAudio() const { return m_recordingCapturesSystemAudio; }
    bool recordingCapturesMicrophone() const { return m_recordingCapturesMicrophone; }
    std::optional<QString> microphoneDeviceID() const { return m_microphoneDeviceID; }
    int gifFPS() const { return m_gifFPS; }
    int gifMaxWidth() const { return m_gifMaxWidth; }
    QString uploadEndpoint() const { return m_uploadEndpoint; }
    QString uploadToken() const { return m_uploadToken; }
    QString uploadFieldName() const { return m_uploadFieldName; }
    QString uploadHeadersJSON() const { return m_uploadHeadersJSON; }
    HotKeyMap hotkeys() const { return m_hotkeys; }

    // True when the endpoint holds more than white space.
    bool uploadConfigured() const;
    // The token is read from the keyring asynchronously at start; false until it answered.
    bool uploadTokenLoaded() const { return m_uploadTokenLoaded; }
    // False when no keyring answers: the token then lives for this session only.
    bool uploadTokenPersistent() const;

    void setSaveDirectoryPath(const QString &value);
    void setCopyToClipboard(bool value);
    void setPlaySound(bool value);
    void setOpenEditorAfterCapture(bool value);
    void setShowQuickAccess(bool value);
    void setQuickAccessSeconds(double value);
    void setQuickAccessCorner(QuickAccessCorner value);
    void setLaunchAtLogin(bool value);
    void setNameTemplate(const QString &value);
    void setImageFormat(ImageFormat value);
    void setJpegQuality(double value);
    void setSaveScreenshotsAutomatically(bool value);
    void setHistoryLimit(int value);
    void setAnnotationColorHex(const QString &value);
    void setAnnotationLineWidth(double value);
    void setAnnotationFontSize(double value);
    void setBlurRadius(double value);
    void setPixelateScale(double value);
    void setAutoIncrementNumbers(bool value);
    void setRecordingFPS(int value);
    void setRecordingCodec(RecordingCodec value);
    void setRecordingShowsCursor(bool value);
    void setRecordingShowsClicks(bool value);
    void setRecordingCapturesSystemAudio(bool value);
    void setRecordingCapturesMicrophone(bool value);
    void setMicrophoneDeviceID(const std::optional<QString> &value);
    void setGifFPS(int value);
    void setGifMaxWidth(int value);
    void setUploadEndpoint(const QString &value);
    void setUploadToken(const QString &value);
    void setUploadFieldName(const QString &value);
    void setUploadHeadersJSON(const QString &value);
    void setHotkeys(const HotKeyMap &value);

    static QString defaultSaveDirectoryPath(const SettingsLocations &locations);

  Q_SIGNALS:
    void changed(const QString &key);
    void uploadTokenReady();

  private:
    void load();
    void loadUploadToken();
    void applyLaunchAtLogin(bool enabled);
    void persistHotkeys();
    template <typename T> void assign(const char *key, T &field, const T &value);
    void store(const char *key, const QVariant &value);

    std::unique_ptr<QSettings> m_store;
    SecretStore *m_secrets;
    SettingsLocations m_locations;

    QString m_saveDirectoryPath;
    bool m_copyToClipboard = true;
    bool m_playSound = true;
    bool m_openEditorAfterCapture = false;
    bool m_showQuickAccess = true;
    double m_quickAccessSeconds = 6.0;
    QuickAccessCorner m_quickAccessCorner = QuickAccessCorner::bottomTrailing;
    bool m_launchAtLogin = false;
    QString m_nameTemplate = QStringLiteral("Zorv {date} at {time}");
    ImageFormat m_imageFormat = ImageFormat::png;
    double m_jpegQuality = 0.9;
    bool m_saveScreenshotsAutomatically = false;
    int m_historyLimit = 500;
    QString m_annotationColorHex = QStringLiteral("#FF3B30");
    double m_annotationLineWidth = 4.0;
    double m_annotationFontSize = 28.0;
    double m_blurRadius = 14.0;
    double m_pixelateScale = 18.0;
    bool m_autoIncrementNumbers = true;
    int m_recordingFPS = 60;
    RecordingCodec m_recordingCodec = RecordingCodec::h264;
    bool m_recordingShowsCursor = true;
    bool m_recordingShowsClicks = true;
    bool m_recordingCapturesSystemAudio = true;
    bool m_recordingCapturesMicrophone = false;
    std::optional<QString> m_microphoneDeviceID;
    int m_gifFPS = 12;
    int m_gifMaxWidth = 900;
    QString m_uploadEndpoint;
    QString m_uploadToken;
    QString m_uploadFieldName = QStringLiteral("file");
    QString m_uploadHeadersJSON;
    HotKeyMap m_hotkeys;
    bool m_uploadTokenLoaded = false;
};

// Strict readers of stored text: QSettings hands back strings after a restart,
// and a value that does not parse in full gives nullopt.
namespace storedValue
{
std::optional<bool> toBool(const QVariant &value);
std::optional<int> toInt(const QVariant &value);
std::optional<double> toDouble(const QVariant &value);
std::optional<QString> toText(const QVariant &value);
} // namespace storedValue

} // namespace zorv
