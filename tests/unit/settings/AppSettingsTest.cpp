#include "settings/AppSettings.h"
#include "platform/KeychainSecretStore.h"
#include "support/Files.h"
#include "support/Images.h"
#include "support/TemporarySettings.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace zorv;

namespace
{

class AppSettingsTest : public ::testing::Test
{
  protected:
    QTemporaryDir dir;
    test::MemorySecretStore keyring{true};
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
        EXPECT_TRUE(test::writeFile(path, contents));
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
        return load(freshPath(test::readFile(path)));
    }
};

TEST_F(AppSettingsTest, DefaultSaveFolderIsInPicturesOrElseInHome)
{
    EXPECT_EQ(load(freshPath(""))->saveDirectoryPath(), dir.filePath("Pictures/Zorv"));
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
        s->recordingCodec.set(RecordingCodec::hevc);
        s->jpegQuality.set(0.75);
        s->copyToClipboard.set(false);
        s->microphoneDeviceID.set(QString("usb-mic"));
        HotKeyMap keys = KeyCombo::defaults();
        keys[CaptureAction::area] = {0x10000 + 99, KeyCombo::shift};
        s->hotkeys.set(keys);
    }
    auto s = reloadFrom(path);
    EXPECT_EQ(s->recordingCodec(), RecordingCodec::hevc);
    EXPECT_DOUBLE_EQ(s->jpegQuality(), 0.75);
    EXPECT_FALSE(s->copyToClipboard());
    EXPECT_EQ(s->microphoneDeviceID(), QString("usb-mic"));
    EXPECT_EQ(s->hotkeys()[CaptureAction::area], (KeyCombo{0x10000 + 99, KeyCombo::shift}));

    load(path)->microphoneDeviceID.set(std::nullopt);
    EXPECT_FALSE(reloadFrom(path)->microphoneDeviceID().has_value());
}

// Every option of the table survives a restart with a value other than its
// default, and a fresh store gives every default.
TEST_F(AppSettingsTest, EveryOptionOfTheTableRoundTrips)
{
    const QString path = freshPath("");
    QHash<QString, QVariant> written;
    {
        auto s = load(path);
        for (OptionBase *option : s->options()) {
            EXPECT_EQ(option->variant(), option->defaultVariant()) << qPrintable(option->key());
            QVariant other;
            const QVariant fallback = option->defaultVariant();
            switch (option->kind()) {
            case OptionKind::boolean:
                other = !fallback.toBool();
                break;
            case OptionKind::integer:
                other = fallback.toInt() + 7;
                break;
            case OptionKind::real:
                other = fallback.toDouble() + 0.25;
                break;
            case OptionKind::text:
            case OptionKind::optionalText:
                other = QStringLiteral("✓%1").arg(fallback.toString());
                if (const int most = option->limits().maxLength)
                    other = other.toString().left(most);
                break;
            case OptionKind::choice:
                other = option->choices().last();
                break;
            case OptionKind::shortcuts: {
                HotKeyMap keys = KeyCombo::defaults();
                keys[CaptureAction::ocr] = {0x10000 + 99, KeyCombo::shift};
                other = encodeHotKeys(keys);
                break;
            }
            }
            ASSERT_NE(other, fallback) << qPrintable(option->key());
            ASSERT_TRUE(option->setVariant(other)) << qPrintable(option->key());
            written.insert(option->key(), option->variant());
        }
    }
    auto s = reloadFrom(path);
    for (OptionBase *option : s->options()) {
        if (option->storage() == OptionStorage::settingsFile) {
            EXPECT_EQ(option->variant(), written.value(option->key())) << qPrintable(option->key());
        }
    }
}

TEST_F(AppSettingsTest, HugeStoredTextsAreCutWhenRead)
{
    QSettings seed(freshPath(""), QSettings::IniFormat);
    seed.setValue("nameTemplate", QString(10 * 1024 * 1024, QLatin1Char('x')));
    seed.sync();
    auto s = reloadFrom(seed.fileName());
    EXPECT_EQ(s->nameTemplate().size(), s->nameTemplate.limits().maxLength);
    EXPECT_GT(s->nameTemplate.limits().maxLength, 0);
}

TEST_F(AppSettingsTest, StoredHotKeysMergeWithDefaultsUnlessUndecodable)
{
    HotKeyMap merged = KeyCombo::defaults();
    merged[CaptureAction::area] = {0, 4352};
    const std::pair<QByteArray, HotKeyMap> cases[] = {
        {R"({"area":{"keyCode":0,"modifiers":4352},"unknown":{"keyCode":1,"modifiers":4096}})",
         merged},
        {"not json", KeyCombo::defaults()},
        {"[1,2]", KeyCombo::defaults()},
        {R"({"area":{"keyCode":21}})", KeyCombo::defaults()},
        {R"({"area":{"keyCode":-1,"modifiers":0}})", KeyCombo::defaults()},
        {R"({"area":{"keyCode":1.5,"modifiers":0}})", KeyCombo::defaults()},
        {R"({"area":"ctrl+4"})", KeyCombo::defaults()},
    };
    for (const auto &[stored, expected] : cases) {
        QSettings seed(freshPath(""), QSettings::IniFormat);
        seed.setValue("hotkeys", stored);
        seed.sync();
        EXPECT_EQ(reloadFrom(seed.fileName())->hotkeys(), expected) << stored.data();
    }
    // Text that is not even a byte array in the file.
    EXPECT_EQ(load(freshPath("[General]\nhotkeys=@Invalid()\n"))->hotkeys(), KeyCombo::defaults());
}

TEST_F(AppSettingsTest, PlainTokenMovesOnlyIntoAKeyringThatKeepsIt)
{
    for (const bool persistent : {true, false}) {
        SCOPED_TRACE(persistent);
        test::MemorySecretStore secrets(persistent);
        const QString path = freshPath("[General]\nuploadToken=secret\n");
        auto s = load(path, &secrets);
        EXPECT_EQ(s->uploadToken(), "secret");
        QSignalSpy ready(s.get(), &AppSettings::uploadTokenReady);
        ASSERT_TRUE(ready.wait(1000));
        QTest::qWait(10);
        EXPECT_EQ(s->uploadToken(), "secret");
        EXPECT_EQ(s->uploadTokenPersistent(), persistent);
        EXPECT_TRUE(secrets.contains("uploadToken"));
        // Without a keyring that keeps it, the plain copy is all there is: it stays.
        EXPECT_EQ(test::readFile(path).contains("secret"), !persistent);
    }
}

TEST_F(AppSettingsTest, TokenNeverReachesThePlainFile)
{
    const QString path = freshPath("");
    auto s = load(path);
    s->uploadToken.set("tok");
    s->uploadEndpoint.set("  \n");
    EXPECT_FALSE(s->uploadConfigured());
    EXPECT_FALSE(test::readFile(path).contains("tok"));
    EXPECT_TRUE(keyring.contains("uploadToken"));
    s->uploadToken.set("");
    EXPECT_FALSE(keyring.contains("uploadToken"));
}

TEST_F(AppSettingsTest, LaunchAtLoginWritesAndRemovesTheAutostartEntry)
{
    auto s = load(freshPath(""));
    const QString entry = dir.filePath("autostart/zorv.desktop");
    s->launchAtLogin.set(true);
    EXPECT_TRUE(test::readFile(entry).contains("Exec=\"/usr/bin/zorv\""));
    s->launchAtLogin.set(false);
    EXPECT_FALSE(QFile::exists(entry));
}

} // namespace
