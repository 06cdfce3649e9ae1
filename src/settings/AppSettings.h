#pragma once

#include "common/CaptureAction.h"
#include "settings/Option.h"
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

// Every option of the application, each declared once below with its key (the
// member's name, also its QSettings key), default and limits. Loaded once from
// QSettings and written back on every assignment; observers connect to
// changed(key).
class AppSettings : public QObject, public OptionTable
{
    Q_OBJECT
  public:
    static AppSettings &shared();

    AppSettings(std::unique_ptr<QSettings> store, SecretStore *secrets, SettingsLocations locations,
                QObject *parent = nullptr);
    ~AppSettings() override;

    // Options, in the order of the settings store. The save folder's default
    // comes from the locations.
    Option<QString> saveDirectoryPath{*this, "saveDirectoryPath", {}, {.maxLength = 4096}};
    Option<bool> copyToClipboard{*this, "copyToClipboard", true};
    Option<bool> playSound{*this, "playSound", true};
    Option<bool> openEditorAfterCapture{*this, "openEditorAfterCapture", false};
    Option<bool> showQuickAccess{*this, "showQuickAccess", true};
    Option<double> quickAccessSeconds{*this, "quickAccessSeconds", 6.0, {2, 20, 1}};
    Option<QuickAccessCorner> quickAccessCorner{*this, "quickAccessCorner",
                                                QuickAccessCorner::bottomTrailing};
    Option<bool> launchAtLogin{*this, "launchAtLogin", false};
    Option<QString> nameTemplate{
        *this, "nameTemplate", QStringLiteral("Zorv {date} at {time}"), {.maxLength = 1024}};
    Option<ImageFormat> imageFormat{*this, "imageFormat", ImageFormat::png};
    Option<double> jpegQuality{*this, "jpegQuality", 0.9, {0.4, 1.0}};
    Option<bool> saveScreenshotsAutomatically{*this, "saveScreenshotsAutomatically", false};
    Option<int> historyLimit{*this, "historyLimit", 500, {20, 5000, 20}};
    Option<QString> annotationColorHex{
        *this, "annotationColorHex", QStringLiteral("#FF3B30"), {.maxLength = 9}};
    Option<double> annotationLineWidth{*this, "annotationLineWidth", 4.0, {1, 40}};
    Option<double> annotationFontSize{*this, "annotationFontSize", 28.0, {8, 200}};
    Option<double> blurRadius{*this, "blurRadius", 14.0, {2, 80}};
    Option<double> pixelateScale{*this, "pixelateScale", 18.0, {4, 80}};
    Option<bool> autoIncrementNumbers{*this, "autoIncrementNumbers", true};
    Option<int> recordingFPS{*this, "recordingFPS", 60, {30, 60, 30}};
    Option<RecordingCodec> recordingCodec{*this, "recordingCodec", RecordingCodec::h264};
    Option<bool> recordingShowsCursor{*this, "recordingShowsCursor", true};
    Option<bool> recordingShowsClicks{*this, "recordingShowsClicks", true};
    Option<bool> recordingCapturesSystemAudio{*this, "recordingCapturesSystemAudio", true};
    Option<bool> recordingCapturesMicrophone{*this, "recordingCapturesMicrophone", false};
    Option<std::optional<QString>> microphoneDeviceID{
        *this, "microphoneDeviceID", std::nullopt, {.maxLength = 1024}};
    Option<int> gifFPS{*this, "gifFPS", 12, {10, 20}};
    Option<int> gifMaxWidth{*this, "gifMaxWidth", 900, {600, 1600}};
    Option<QString> uploadEndpoint{*this, "uploadEndpoint", {}, {.maxLength = 4096}};
    Option<QString> uploadToken{
        *this, "uploadToken", {}, {.maxLength = 4096}, OptionStorage::keyring};
    Option<QString> uploadFieldName{
        *this, "uploadFieldName", QStringLiteral("file"), {.maxLength = 256}};
    Option<QString> uploadHeadersJSON{*this, "uploadHeadersJSON", {}, {.maxLength = 65536}};
    Option<HotKeyMap> hotkeys{*this, "hotkeys", KeyCombo::defaults()};
    // Set once the welcome window has been dismissed in any way.
    Option<bool> hasSeenWelcome{*this, "hasSeenWelcome", false};

    // True when the endpoint holds more than white space.
    bool uploadConfigured() const;
    // The token is read from the keyring asynchronously at start; false until it answered.
    bool uploadTokenLoaded() const { return m_uploadTokenLoaded; }
    // False when no keyring answers: the token then lives for this session only.
    bool uploadTokenPersistent() const;

    static QString defaultSaveDirectoryPath(const SettingsLocations &locations);
    // The desktop entry that starts Zorv at login, and its contents.
    QString autostartFilePath() const;
    static QString autostartEntry(const QString &executablePath);
    // Why the last change of launchAtLogin could not be carried out; empty when it was.
    const QString &launchAtLoginProblem() const { return m_launchAtLoginProblem; }
    // The file the plain options live in.
    QString storePath() const;
    // Reads the settings file again (another instance or an editor changed it);
    // emits changed() for each option whose value differs.
    void reloadFromStore();

  Q_SIGNALS:
    void changed(const QString &key);
    void uploadTokenReady();

  private:
    void optionChanged(OptionBase &option) override;
    void loadUploadToken();
    void applyLaunchAtLogin(bool enabled);

    std::unique_ptr<QSettings> m_store;
    SecretStore *m_secrets;
    SettingsLocations m_locations;
    bool m_uploadTokenLoaded = false;
    QString m_launchAtLoginProblem;
};

} // namespace zorv
