#include "settings/AppSettings.h"
#include "support/Files.h"
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

TEST_F(AppSettingsTest, StoredValuesAreReadStrictly)
{
    // What each stored line reads as; an invalid QVariant: the option keeps its default.
    // A list is not a text.
    const std::pair<QByteArray, QVariant> rows[] = {{"copyToClipboard=no", QVariant()},
                                                    {"playSound=0", QVariant()},
                                                    {"showQuickAccess=false", false},
                                                    {"quickAccessSeconds=abc", QVariant()},
                                                    {"quickAccessCorner=middle", QVariant()},
                                                    {"imageFormat=gif", QVariant()},
                                                    {"jpegQuality=nan", QVariant()},
                                                    {"historyLimit=12.5", QVariant()},
                                                    {"gifFPS=15", 15},
                                                    {"gifMaxWidth=", QVariant()},
                                                    {"recordingCodec=HEVC", QVariant()},
                                                    {"blurRadius=20.5", 20.5},
                                                    {"recordingFPS=30x", QVariant()},
                                                    {"nameTemplate=\"a, b\"", "a, b"},
                                                    {"annotationColorHex=a, b", QVariant()}};
    QByteArray file = "[General]\n";
    for (const auto &[line, read] : rows)
        file += line + "\n";
    const auto s = load(freshPath(file));
    for (const auto &[line, read] : rows) {
        const OptionBase *option = s->option(QString::fromLatin1(line.split('=').first()));
        ASSERT_NE(option, nullptr) << line.data();
        EXPECT_EQ(option->variant(), read.isValid() ? read : option->defaultVariant())
            << line.data();
    }
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
            const QVariant fallback = option->defaultVariant();
            const QVariant other = [&]() -> QVariant {
                switch (option->kind()) {
                case OptionKind::boolean:
                    return !fallback.toBool();
                case OptionKind::integer:
                    return fallback.toInt() + 7;
                case OptionKind::real:
                    return fallback.toDouble() + 0.25;
                case OptionKind::text:
                case OptionKind::optionalText:
                    return QStringLiteral("✓%1")
                        .arg(fallback.toString())
                        .left(option->limits().maxLength ? option->limits().maxLength : -1);
                case OptionKind::choice:
                    return option->choices().last();
                case OptionKind::shortcuts:
                    HotKeyMap keys = KeyCombo::defaults();
                    keys[CaptureAction::ocr] = {0x10000 + 99, KeyCombo::shift};
                    return encodeHotKeys(keys);
                }
                return {};
            }();
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
    load(path)->microphoneDeviceID.set(std::nullopt);
    EXPECT_FALSE(reloadFrom(path)->microphoneDeviceID().has_value());
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
    const auto readBack = [&](const QVariant &stored) {
        QSettings seed(freshPath(""), QSettings::IniFormat);
        seed.setValue("hotkeys", stored);
        seed.sync();
        return reloadFrom(seed.fileName())->hotkeys();
    };
    HotKeyMap merged = KeyCombo::defaults();
    merged[CaptureAction::area] = {0, 4352};
    EXPECT_EQ(readBack(QByteArray(R"({"area":{"keyCode":0,"modifiers":4352},)"
                                  R"("unknown":{"keyCode":1,"modifiers":4096}})")),
              merged);
    for (const char *stored :
         {"not json", "[1,2]", R"({"area":{"keyCode":21}})", R"({"area":"ctrl+4"})",
          R"({"area":{"keyCode":-1,"modifiers":0}})", R"({"area":{"keyCode":1.5,"modifiers":0}})"})
        EXPECT_EQ(readBack(QByteArray(stored)), KeyCombo::defaults()) << stored;
    // Text that is not even a byte array in the file.
    EXPECT_EQ(load(freshPath("[General]\nhotkeys=@Invalid()\n"))->hotkeys(), KeyCombo::defaults());
}

TEST_F(AppSettingsTest, TheTokenLivesInAKeyringThatKeepsItNeverInThePlainFile)
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
    // A token set here goes only to the keyring, and leaves it when cleared.
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
    // A path with characters the desktop entry format treats specially stays one argument.
    const std::pair<QString, QByteArray> paths[] = {
        {"/opt/my apps/zorv", "Exec=\"/opt/my apps/zorv\"\n"},
        {"/home/a\"b/$x`y\\z/100%/zorv",
         "Exec=\"/home/a\\\\\"b/\\\\$x\\\\`y\\\\\\\\z/100%%/zorv\"\n"},
    };
    for (const auto &[path, line] : paths)
        EXPECT_TRUE(AppSettings::autostartEntry(path).toUtf8().contains(line)) << line.data();
}

} // namespace
