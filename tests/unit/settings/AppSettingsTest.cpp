#include "settings/AppSettings.h"
#include "platform/KeychainSecretStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

class AppSettingsTest : public ::testing::Test
{
  protected:
    QTemporaryDir dir;
    MemorySecretStore keyring{true};
    int files = 0;

    SettingsLocations locations() const
    {
        return {dir.filePath("Pictures"), dir.filePath("home"), dir.filePath("autostart"),
                "/usr/bin/zorv"};
    }
    // Every load uses a new file name, so nothing is served from QSettings'
    // in-process cache: this is what a fresh process sees.
    QString freshPath(const QByteArray &contents)
    {
        const QString path = dir.filePath(QStringLiteral("settings%1.ini").arg(++files));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
        return path;
    }
    std::unique_ptr<AppSettings> load(const QString &path, SecretStore *secrets = nullptr)
    {
        return std::make_unique<AppSettings>(
            std::make_unique<QSettings>(path, QSettings::IniFormat), secrets ? secrets : &keyring,
            locations());
    }
    std::unique_ptr<AppSettings> reloadFrom(const QString &path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return load(freshPath(file.readAll()));
    }
};

TEST_F(AppSettingsTest, FreshStoreYieldsDefaults)
{
    auto s = load(freshPath(""));
    EXPECT_EQ(s->saveDirectoryPath(), dir.filePath("Pictures/Zorv"));
    EXPECT_TRUE(s->copyToClipboard());
    EXPECT_TRUE(s->playSound());
    EXPECT_FALSE(s->openEditorAfterCapture());
    EXPECT_TRUE(s->showQuickAccess());
    EXPECT_DOUBLE_EQ(s->quickAccessSeconds(), 6.0);
    EXPECT_EQ(s->quickAccessCorner(), QuickAccessCorner::bottomTrailing);
    EXPECT_EQ(s->nameTemplate(), "Zorv {date} at {time}");
    EXPECT_EQ(s->imageFormat(), ImageFormat::png);
    EXPECT_DOUBLE_EQ(s->jpegQuality(), 0.9);
    EXPECT_EQ(s->historyLimit(), 500);
    EXPECT_EQ(s->annotationColorHex(), "#FF3B30");
    EXPECT_EQ(s->recordingFPS(), 60);
    EXPECT_EQ(s->recordingCodec(), RecordingCodec::h264);
    EXPECT_FALSE(s->microphoneDeviceID().has_value());
    EXPECT_EQ(s->gifMaxWidth(), 900);
    EXPECT_EQ(s->uploadFieldName(), "file");
    EXPECT_FALSE(s->uploadConfigured());
    EXPECT_EQ(s->hotkeys(), KeyCombo::defaults());
    EXPECT_EQ(s->hotkeys().size(), 9);
}

TEST_F(AppSettingsTest, WithoutPicturesFolderTheHomeFolderIsUsed)
{
    SettingsLocations l = locations();
    l.picturesDirectory.clear();
    EXPECT_EQ(AppSettings::defaultSaveDirectoryPath(l), dir.filePath("home/Pictures/Zorv"));
}

TEST_F(AppSettingsTest, MalformedValuesFallBackToDefaults)
{
    auto s = load(freshPath("[General]\n"
                            "copyToClipboard=yes\n"
                            "playSound=1\n"
                            "showQuickAccess=false\n"
                            "quickAccessSeconds=abc\n"
                            "quickAccessCorner=middle\n"
                            "imageFormat=gif\n"
                            "jpegQuality=nan\n"
                            "historyLimit=12.5\n"
                            "gifFPS=15\n"
                            "gifMaxWidth=\n"
                            "recordingCodec=HEVC\n"
                            "blurRadius=20.5\n"
                            "recordingFPS=30x\n"
                            "nameTemplate=\"a, b\"\n"
                            "annotationColorHex=#00FF00, #FF0000\n"));
    EXPECT_TRUE(s->copyToClipboard());
    EXPECT_TRUE(s->playSound());
    EXPECT_FALSE(s->showQuickAccess());
    EXPECT_DOUBLE_EQ(s->quickAccessSeconds(), 6.0);
    EXPECT_EQ(s->quickAccessCorner(), QuickAccessCorner::bottomTrailing);
    EXPECT_EQ(s->imageFormat(), ImageFormat::png);
    EXPECT_DOUBLE_EQ(s->jpegQuality(), 0.9);
    EXPECT_EQ(s->historyLimit(), 500);
    EXPECT_EQ(s->gifFPS(), 15);
    EXPECT_EQ(s->gifMaxWidth(), 900);
    EXPECT_EQ(s->recordingCodec(), RecordingCodec::h264);
    EXPECT_DOUBLE_EQ(s->blurRadius(), 20.5);
    EXPECT_EQ(s->recordingFPS(), 60);
    EXPECT_EQ(s->nameTemplate(), "a, b");
    EXPECT_EQ(s->annotationColorHex(), "#FF3B30"); // a list is not a text
}

TEST_F(AppSettingsTest, AssignmentsSurviveARestart)
{
    const QString path = freshPath("");
    {
        auto s = load(path);
        s->setImageFormat(ImageFormat::jpeg);
        s->setJpegQuality(0.75);
        s->setCopyToClipboard(false);
        s->setHistoryLimit(40);
        s->setQuickAccessCorner(QuickAccessCorner::topLeading);
        s->setRecordingCodec(RecordingCodec::hevc);
        s->setNameTemplate("shot {timestamp}");
        s->setMicrophoneDeviceID(QString("usb-mic"));
        HotKeyMap keys = KeyCombo::defaults();
        keys[CaptureAction::area] = {0x10000 + 99, KeyCombo::shift};
        s->setHotkeys(keys);
    }
    auto s = reloadFrom(path);
    EXPECT_EQ(s->imageFormat(), ImageFormat::jpeg);
    EXPECT_DOUBLE_EQ(s->jpegQuality(), 0.75);
    EXPECT_FALSE(s->copyToClipboard());
    EXPECT_EQ(s->historyLimit(), 40);
    EXPECT_EQ(s->quickAccessCorner(), QuickAccessCorner::topLeading);
    EXPECT_EQ(s->recordingCodec(), RecordingCodec::hevc);
    EXPECT_EQ(s->nameTemplate(), "shot {timestamp}");
    EXPECT_EQ(s->microphoneDeviceID(), QString("usb-mic"));
    EXPECT_EQ(s->hotkeys()[CaptureAction::area], (KeyCombo{0x10000 + 99, KeyCombo::shift}));

    load(path)->setMicrophoneDeviceID(std::nullopt);
    EXPECT_FALSE(reloadFrom(path)->microphoneDeviceID().has_value());
}

TEST_F(AppSettingsTest, AssignmentNotifiesObservers)
{
    auto s = load(freshPath(""));
    QSignalSpy spy(s.get(), &AppSettings::changed);
    s->setPlaySound(true); // equal value: still stored and announced
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), "playSound");
}

TEST_F(AppSettingsTest, HotKeyMapMergesWithDefaults)
{
    const QByteArray stored =
        R"({"area":{"keyCode":0,"modifiers":4352},"unknown":{"keyCode":1,"modifiers":4096}})";
    QSettings seed(freshPath(""), QSettings::IniFormat);
    seed.setValue("hotkeys", stored);
    seed.sync();
    auto s = reloadFrom(seed.fileName());
    const HotKeyMap keys = s->hotkeys();
    EXPECT_EQ(keys.size(), 9);
    EXPECT_EQ(keys[CaptureAction::area], (KeyCombo{0, 4352}));
    EXPECT_EQ(keys[CaptureAction::window], KeyCombo::defaults()[CaptureAction::window]);
}

TEST_F(AppSettingsTest, UndecodableHotKeysGiveTheDefaultTable)
{
    for (const QByteArray &bad :
         {QByteArray("not json"), QByteArray("[1,2]"), QByteArray(R"({"area":{"keyCode":21}})"),
          QByteArray(R"({"area":{"keyCode":-1,"modifiers":0}})"),
          QByteArray(R"({"area":{"keyCode":1.5,"modifiers":0}})"),
          QByteArray(R"({"area":"ctrl+4"})")}) {
        QSettings seed(freshPath(""), QSettings::IniFormat);
        seed.setValue("hotkeys", bad);
        seed.sync();
        EXPECT_EQ(reloadFrom(seed.fileName())->hotkeys(), KeyCombo::defaults()) << bad.data();
    }
    // Text that is not even a byte array in the file.
    EXPECT_EQ(load(freshPath("[General]\nhotkeys=@Invalid()\n"))->hotkeys(), KeyCombo::defaults());
}

TEST_F(AppSettingsTest, PlainTokenMovesToTheKeyring)
{
    const QString path = freshPath("[General]\nuploadToken=secret-1\n");
    auto s = load(path);
    EXPECT_EQ(s->uploadToken(), "secret-1");
    QSignalSpy ready(s.get(), &AppSettings::uploadTokenReady);
    ASSERT_TRUE(ready.wait(1000));
    QTest::qWait(10);
    EXPECT_TRUE(keyring.contains("uploadToken"));
    EXPECT_EQ(reloadFrom(path)->uploadToken(), ""); // no longer in the plain file
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("secret-1"));

    s->setUploadToken("");
    EXPECT_FALSE(keyring.contains("uploadToken"));
}

TEST_F(AppSettingsTest, PlainTokenStaysWhenNoKeyringTakesIt)
{
    MemorySecretStore sessionOnly(false);
    const QString path = freshPath("[General]\nuploadToken=secret-2\n");
    auto s = load(path, &sessionOnly);
    QSignalSpy ready(s.get(), &AppSettings::uploadTokenReady);
    ASSERT_TRUE(ready.wait(1000));
    QTest::qWait(10);
    EXPECT_EQ(s->uploadToken(), "secret-2");
    EXPECT_FALSE(s->uploadTokenPersistent());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("secret-2")); // not lost
}

TEST_F(AppSettingsTest, TokenNeverReachesThePlainFile)
{
    const QString path = freshPath("");
    auto s = load(path);
    s->setUploadToken("tok");
    s->setUploadEndpoint("  \n");
    EXPECT_FALSE(s->uploadConfigured());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("tok"));
    EXPECT_TRUE(keyring.contains("uploadToken"));
}

TEST_F(AppSettingsTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry)
{
    auto s = load(freshPath(""));
    const QString entry = dir.filePath("autostart/zorv.desktop");
    s->setLaunchAtLogin(true);
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains("Exec=\"/usr/bin/zorv\""));
    s->setLaunchAtLogin(false);
    EXPECT_FALSE(QFile::exists(entry));
}

} // namespace
