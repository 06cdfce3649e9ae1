#include "app/settingswindow/SettingsWindow.h"
#include "app/CommandLine.h"
#include "app/ShortcutRegistrar.h"
#include "app/WelcomeWindow.h"
#include "app/settingswindow/SettingsBinder.h"
#include "settings/HotKeyCenter.h"
#include "settings/ShortcutRecorder.h"
#include "support/Files.h"
#include "support/TemporarySettings.h"
#include "support/fake/FakePlatform.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace zorv;

namespace
{
constexpr SettingsTab allTabs[] = {SettingsTab::general, SettingsTab::shortcuts,
                                   SettingsTab::recording, SettingsTab::upload, SettingsTab::about};

struct SettingsWindowTest : ::testing::Test {
    test::TemporarySettings temp;
    FakePlatform platform;
    HotKeyCenter center{platform.keys};
    ShortcutRegistrar registrar{center, *temp.settings, platform.caps, [](CaptureAction) {},
                                [](const QString &, const QString &, double) {}};
    int fresh = 0;

    AppSettings &settings() { return *temp.settings; }
    QString storePath() { return temp.dir.filePath(QStringLiteral("settings.ini")); }

    SettingsServices services()
    {
        SettingsServices s;
        s.settings = &settings();
        s.capabilities = platform.caps;
        s.screenCaptureGranted = [] { return true; };
        s.audio = &platform.audio;
        s.suspendShortcuts = [this] { registrar.suspend(); };
        s.resumeShortcuts = [this] { registrar.resume(); };
        s.probeShortcut = [this](const KeyCombo &combo) { return registrar.probe(combo); };
        return s;
    }
    // Every page built, as a user who visits each tab sees them.
    std::unique_ptr<SettingsWindow> window()
    {
        auto w = std::make_unique<SettingsWindow>(services());
        w->setAttribute(Qt::WA_DeleteOnClose, false);
        for (SettingsTab tab : allTabs)
            w->page(tab);
        w->show();
        return w;
    }
    // What a fresh process reads: a copy under a new name escapes QSettings' cache.
    std::unique_ptr<AppSettings> reread()
    {
        const QString copy = temp.dir.filePath(QStringLiteral("fresh%1.ini").arg(++fresh));
        EXPECT_TRUE(test::writeFile(copy, test::readFile(storePath())));
        SettingsLocations locations;
        locations.autostartDirectory = temp.dir.filePath(QStringLiteral("autostart"));
        return std::make_unique<AppSettings>(
            std::make_unique<QSettings>(copy, QSettings::IniFormat), &temp.secrets, locations);
    }
    template <typename T> T *control(SettingsWindow &w, const QString &key)
    {
        for (SettingsTab tab : allTabs) {
            if (T *found = w.page(tab)->findChild<T *>(key))
                return found;
        }
        return nullptr;
    }
};
} // namespace

TEST_F(SettingsWindowTest, EveryOptionHasAControlOrIsHiddenOnPurpose)
{
    const auto w = window();
    for (const OptionBase *option : settings().options()) {
        const QString key = option->key();
        bool shown = false;
        for (SettingsTab tab : allTabs) {
            for (const QWidget *child : w->page(tab)->findChildren<QWidget *>()) {
                const QString name = child->objectName();
                shown = shown || name == key || name.startsWith(key + QLatin1Char('/'));
            }
        }
        EXPECT_NE(shown, SettingsBinder::hiddenKeys().contains(key)) << key.toStdString();
    }
    for (const QString &key : SettingsBinder::hiddenKeys())
        EXPECT_NE(settings().option(key), nullptr) << key.toStdString();
}

TEST_F(SettingsWindowTest, AChangeByKeyboardOrMouseIsStoredAtOnceAndReadByAFreshProcess)
{
    // Each row: the option, what the user does to its control, the value a fresh
    // process then reads.
    struct Row {
        const char *key;
        std::function<void(QWidget *)> act;
        QVariant expected;
    };
    const Row rows[] = {
        {"copyToClipboard", [](QWidget *c) { QTest::mouseClick(c, Qt::LeftButton); }, false},
        {"playSound", [](QWidget *c) { QTest::keyClick(c, Qt::Key_Space); }, false},
        {"quickAccessSeconds", [](QWidget *c) { QTest::keyClick(c, Qt::Key_Right); }, 7.0},
        {"jpegQuality", [](QWidget *c) { QTest::keyClick(c, Qt::Key_Left); }, 0.89},
        {"historyLimit", [](QWidget *c) { QTest::keyClick(c, Qt::Key_Up); }, 520},
        {"imageFormat", [](QWidget *c) { QTest::keyClick(c, Qt::Key_Down); },
         QStringLiteral("jpeg")},
        {"gifFPS", [](QWidget *c) { QTest::keyClick(c, Qt::Key_Down); }, 15},
        {"nameTemplate",
         [](QWidget *c) {
             static_cast<QLineEdit *>(c)->selectAll();
             QTest::keyClicks(c, QStringLiteral("shot {timestamp}"));
         },
         QStringLiteral("shot {timestamp}")},
        {"uploadHeadersJSON", [](QWidget *c) { QTest::keyClicks(c, QStringLiteral("{}")); },
         QStringLiteral("{}")},
    };
    const auto w = window();
    for (const Row &row : rows) {
        QWidget *c = control<QWidget>(*w, QString::fromLatin1(row.key));
        ASSERT_NE(c, nullptr) << row.key;
        row.act(c);
    }
    const auto fresh = reread();
    for (const Row &row : rows) {
        const QVariant read = fresh->option(QString::fromLatin1(row.key))->variant();
        if (row.expected.typeId() == QMetaType::Double) {
            EXPECT_NEAR(read.toDouble(), row.expected.toDouble(), 1e-9) << row.key;
        } else {
            EXPECT_EQ(read.toString(), row.expected.toString()) << row.key;
        }
    }
}

TEST_F(SettingsWindowTest, ATypedNumberIsStoredOnlyWhenComplete)
{
    // "8" on the way to "80" would prune the history to eight captures meanwhile.
    const auto w = window();
    auto *limit = control<QSpinBox>(*w, "historyLimit");
    ASSERT_NE(limit, nullptr);
    limit->setFocus();
    limit->selectAll();
    QTest::keyClicks(limit, QStringLiteral("80"));
    EXPECT_EQ(settings().historyLimit(), 500);
    QTest::keyClick(limit, Qt::Key_Return);
    EXPECT_EQ(settings().historyLimit(), 80);
}

TEST_F(SettingsWindowTest, OpeningWritesNothingAndShowsOutOfRangeValuesClamped)
{
    const QByteArray file = "[General]\nquickAccessSeconds=95\njpegQuality=0.1\n"
                            "historyLimit=7\ngifFPS=13\ncopyToClipboard=maybe\n"
                            "someFutureOption=1\nhotkeys=@ByteArray(not json)\n";
    ASSERT_TRUE(test::writeFile(storePath(), file));
    settings().reloadFromStore();
    {
        const auto w = window();
        const auto label = [](QSlider *slider) {
            return slider->parentWidget()->findChild<QLabel *>()->text();
        };
        QSlider *seconds = control<QSlider>(*w, "quickAccessSeconds");
        QSlider *quality = control<QSlider>(*w, "jpegQuality");
        EXPECT_EQ(seconds->value(), seconds->maximum());
        EXPECT_EQ(quality->value(), quality->minimum());
        EXPECT_EQ(label(seconds), QStringLiteral("20s"));
        EXPECT_EQ(label(quality), QStringLiteral("40%"));
        EXPECT_EQ(control<QSpinBox>(*w, "historyLimit")->value(), 20);
        EXPECT_EQ(control<QComboBox>(*w, "gifFPS")->currentText(), QStringLiteral("12 fps"));
        EXPECT_TRUE(control<QCheckBox>(*w, "copyToClipboard")->isChecked());
    }
    EXPECT_EQ(test::readFile(storePath()), file);
}

TEST_F(SettingsWindowTest, ConditionalRowsFollowTheirSwitchAndFormat)
{
    const auto w = window();
    QWidget *page = w->page(SettingsTab::general);
    // A hidden row hides its control.
    QWidget *timeout = control<QWidget>(*w, "quickAccessSeconds");
    QWidget *corner = control<QWidget>(*w, "quickAccessCorner");
    QWidget *quality = control<QWidget>(*w, "jpegQuality");
    ASSERT_TRUE(timeout && corner && quality);
    const auto shown = [page](QWidget *row) { return row->isVisibleTo(page); };
    EXPECT_TRUE(shown(timeout) && shown(corner));
    EXPECT_FALSE(shown(quality));
    QTest::mouseClick(control<QCheckBox>(*w, "showQuickAccess"), Qt::LeftButton);
    EXPECT_FALSE(shown(timeout) || shown(corner));
    QTest::keyClick(control<QComboBox>(*w, "imageFormat"), Qt::Key_Down);
    EXPECT_TRUE(shown(quality));
}

TEST_F(SettingsWindowTest, AFileChangedOnDiskIsShownAndNotOverwrittenWithStaleValues)
{
    const auto w = window();
    // Another instance turns the sound off while this window is open.
    QSettings other(storePath(), QSettings::IniFormat);
    other.setValue(QStringLiteral("playSound"), false);
    other.sync();
    settings().reloadFromStore(); // what the window's file watcher does
    EXPECT_FALSE(control<QCheckBox>(*w, "playSound")->isChecked());
    QTest::mouseClick(control<QCheckBox>(*w, "copyToClipboard"), Qt::LeftButton);
    const auto fresh = reread();
    EXPECT_FALSE(fresh->playSound());
    EXPECT_FALSE(fresh->copyToClipboard());
}

TEST_F(SettingsWindowTest, RecordedShortcutsAreCheckedRegisteredAndRefusedWithAReason)
{
    registrar.registerAll();
    const auto w = window();
    auto *field = control<ShortcutRecorder>(*w, "hotkeys/area");
    auto *message = control<QLabel>(*w, "shortcutMessage");
    ASSERT_TRUE(field && message);
    const KeyCombo oldArea = settings().hotkeys()[CaptureAction::area];
    const KeyCombo taken{5, KeyCombo::control | KeyCombo::option}; // Ctrl+Alt+G
    platform.keys.refused.insert(taken);
    const KeyCombo windowCombo = settings().hotkeys()[CaptureAction::window];

    // X key codes are evdev codes + 8.
    struct Row {
        quint32 scanCode;
        Qt::KeyboardModifiers modifiers;
        std::optional<KeyCombo> stored; // nullopt: refused, the old one stays
        const char *says;               // part of the message
    };
    const Row rows[] = {
        {KEY_G + 8, Qt::ControlModifier | Qt::AltModifier, std::nullopt, "another program"},
        {KEY_5 + 8, Qt::ControlModifier | Qt::ShiftModifier, std::nullopt, "Capture Window"},
        {KEY_SYSRQ + 8, Qt::NoModifier, KeyCombo{KeyCombo::extendedKeyBase + KEY_SYSRQ, 0}, ""},
    };
    ASSERT_EQ(windowCombo, (KeyCombo{23, KeyCombo::control | KeyCombo::shift}));
    for (const Row &row : rows) {
        QTest::mouseClick(field, Qt::LeftButton);
        ASSERT_TRUE(field->isRecording());
        EXPECT_TRUE(platform.keys.grabbed.isEmpty()) << "shortcuts stay suspended";
        QKeyEvent press(QEvent::KeyPress, Qt::Key_A, row.modifiers, row.scanCode, 0, 0);
        QApplication::sendEvent(field, &press);
        EXPECT_FALSE(field->isRecording());
        EXPECT_FALSE(platform.keys.grabbed.isEmpty()) << "shortcuts come back";
        const KeyCombo area = settings().hotkeys()[CaptureAction::area];
        EXPECT_EQ(area, row.stored.value_or(oldArea)) << row.scanCode;
        EXPECT_EQ(message->isVisibleTo(w->page(SettingsTab::shortcuts)), !row.stored)
            << row.scanCode;
        EXPECT_TRUE(message->text().contains(QLatin1String(row.says))) << row.scanCode;
        EXPECT_EQ(field->text(), area.displayString());
    }
    EXPECT_TRUE(platform.keys.grabbed.values().contains(
        KeyCombo{KeyCombo::extendedKeyBase + KEY_SYSRQ, 0}));

    auto *reset = control<QPushButton>(*w, "resetShortcuts");
    QTest::mouseClick(reset, Qt::LeftButton);
    EXPECT_EQ(reread()->hotkeys(), KeyCombo::defaults());
    EXPECT_EQ(field->text(), QStringLiteral("Ctrl+Shift+4"));
}

TEST_F(SettingsWindowTest, WithoutGlobalShortcutsThePageListsCommandsForTheDesktopToBind)
{
    platform.caps.globalHotKeys = false;
    platform.caps.windowCapture = false;
    const auto w = window();
    QWidget *page = w->page(SettingsTab::shortcuts);
    EXPECT_TRUE(page->findChildren<ShortcutRecorder *>().isEmpty());
    EXPECT_EQ(page->findChild<QPushButton *>("resetShortcuts"), nullptr);
    QList<CaptureAction> listed;
    for (const QLabel *label : page->findChildren<QLabel *>()) {
        if (!label->objectName().startsWith("command/"))
            continue;
        // The desktop runs the text as it stands: the command line must take it.
        const QStringList words = label->text().split(' ');
        EXPECT_EQ(words.value(0), "zorv");
        const Command command = parseCommandLine(words.mid(1));
        ASSERT_EQ(command.kind, Command::Kind::action) << label->text().toStdString();
        listed.append(*command.action);
    }
    EXPECT_TRUE(listed.contains(CaptureAction::area));
    EXPECT_TRUE(listed.contains(CaptureAction::repeatLastArea));
    EXPECT_FALSE(listed.contains(CaptureAction::window)) << "this desktop cannot do it";
}

TEST_F(SettingsWindowTest, EveryControlIsNamedAndTabFollowsTheVisualOrder)
{
    const auto w = window();
    for (SettingsTab tab : allTabs) {
        w->select(tab);
        QWidget *page = w->page(tab);
        // Walk the focus chain from the sidebar through the page's controls.
        QList<QWidget *> order;
        QWidget *next = page->nextInFocusChain();
        for (int guard = 0; guard < 500 && next != page; ++guard, next = next->nextInFocusChain()) {
            // A control's inner editor hands its focus to the control (focus proxy).
            if (page->isAncestorOf(next) && next->isVisibleTo(page) && !next->focusProxy() &&
                (next->focusPolicy() & Qt::TabFocus) && !order.contains(next))
                order.append(next);
        }
        ASSERT_FALSE(order.isEmpty());
        QPoint previous(-1, -1);
        for (QWidget *control : order) {
            const auto *button = qobject_cast<QAbstractButton *>(control);
            EXPECT_TRUE(!control->accessibleName().isEmpty() ||
                        (button && !button->text().isEmpty()))
                << control->metaObject()->className() << " " << control->objectName().toStdString();
            // Rows go down the page; controls of one row go left to right.
            const QRect at(control->mapTo(page, QPoint(0, 0)), control->size());
            const bool sameRow = at.top() < previous.y() + 8 && at.bottom() > previous.y();
            EXPECT_TRUE(at.top() >= previous.y() || (sameRow && at.left() > previous.x()))
                << "out of order: " << control->metaObject()->className() << " "
                << control->accessibleName().toStdString();
            previous = QPoint(at.left(), at.center().y());
        }
    }
}

TEST_F(SettingsWindowTest, HeaderWarningAndHistoryClearingAskFirst)
{
    const auto w = window();
    auto *headers = control<QPlainTextEdit>(*w, "uploadHeadersJSON");
    auto *field = control<QLineEdit>(*w, "uploadFieldName");
    QWidget *warning = control<QWidget>(*w, "headersWarning");
    QWidget *unsafe = control<QWidget>(*w, "requestWarning");
    // Any well-formed JSON value passes; empty or blank text needs no warning. Header or
    // field text that would break the request gets a warning of its own.
    const std::tuple<QString, QString, bool, bool> texts[] = {
        {"[1, 2]", "file", false, false},
        {"{", "file", true, false},
        {"   ", "file", false, false},
        {"{\"X-Key\": \"a\"}", "file", false, false},
        {"x", "file", true, false},
        {"{\"X-Key\": \"a\\r\\nHost: b\"}", "file", false, true},
        {"{\"X Key\": \"a\"}", "file", false, true},
        {"{}", "a\"b", false, true},
    };
    QWidget *page = w->page(SettingsTab::upload);
    for (const auto &[text, fieldName, warned, refused] : texts) {
        headers->setPlainText(text);
        field->setText(fieldName);
        EXPECT_EQ(warning->isVisibleTo(page), warned) << text.toStdString();
        EXPECT_EQ(unsafe->isVisibleTo(page), refused) << text.toStdString();
        EXPECT_EQ(reread()->uploadHeadersJSON(), text); // stored even when not JSON
    }

    int cleared = 0;
    SettingsServices s = services();
    s.historyFolder = [this] { return temp.dir.path(); };
    s.historyCount = [] { return 3; };
    s.clearHistory = [&cleared] { ++cleared; };
    s.revealFolder = [](const QString &) {};
    SettingsWindow about(s);
    about.select(SettingsTab::about);
    about.show();
    for (const QString &answer : {QStringLiteral("Cancel"), QStringLiteral("Delete")}) {
        QTest::mouseClick(about.page(SettingsTab::about)->findChild<QPushButton *>("clearHistory"),
                          Qt::LeftButton);
        QMessageBox *box = nullptr;
        QTRY_VERIFY((box = about.findChild<QMessageBox *>()) != nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("Delete all capture history?"));
        for (QAbstractButton *button : box->buttons()) {
            if (button->text() == answer)
                button->click();
        }
        EXPECT_EQ(cleared, answer == QLatin1String("Delete") ? 1 : 0);
        QTRY_VERIFY(about.findChild<QMessageBox *>() == nullptr);
    }
}

TEST_F(SettingsWindowTest, LaunchAtLoginFailureIsShownBesideTheSwitchAndTheSettingStays)
{
    // A file where the autostart folder should be: the folder cannot be made.
    ASSERT_TRUE(test::writeFile(temp.dir.filePath(QStringLiteral("autostart")), "x"));
    const auto w = window();
    testing::internal::CaptureStderr();
    QTest::mouseClick(control<QCheckBox>(*w, "launchAtLogin"), Qt::LeftButton);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("Zorv: launch-at-login update failed"), std::string::npos);
    auto *problem = control<QLabel>(*w, "launchAtLoginProblem");
    EXPECT_TRUE(problem->isVisibleTo(w->page(SettingsTab::general)));
    EXPECT_TRUE(problem->text().contains(QLatin1String("autostart")));
    EXPECT_TRUE(reread()->launchAtLogin());
}

TEST_F(SettingsWindowTest, MicrophonesAreListedAndNoneFoundIsSaid)
{
    const std::pair<QList<AudioSource>, int> cases[] = {
        {{{"alsa_input.usb", "USB Mic"}}, 2}, // System Default + the microphone
        {{}, 1},
    };
    for (const auto &[microphones, items] : cases) {
        platform.audio.microphones = microphones;
        const auto w = window();
        auto *picker = control<QComboBox>(*w, "microphoneDeviceID");
        auto *note = control<QLabel>(*w, "microphoneNote");
        QTRY_VERIFY(!note->text().startsWith(QLatin1String("Looking")));
        EXPECT_EQ(picker->count(), items);
        EXPECT_EQ(note->isVisibleTo(w->page(SettingsTab::recording)), microphones.isEmpty());
        if (microphones.isEmpty()) {
            EXPECT_EQ(note->text(), QStringLiteral("No microphones found."));
        }
    }
}

TEST_F(SettingsWindowTest, TheWelcomeWindowIsMarkedSeenByAnyDismissal)
{
    WelcomeServices services;
    services.settings = &settings();
    services.screenCaptureGranted = [] { return true; };
    auto *welcome = new WelcomeWindow(services);
    welcome->show();
    EXPECT_TRUE(welcome->close()); // the window manager's close button comes here too
    EXPECT_TRUE(reread()->hasSeenWelcome());
}
