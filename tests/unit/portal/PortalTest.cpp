#include "platform/portal/PortalRequest.h"
#include "platform/portal/PortalVersion.h"
#include "platform/portal/RestoreTokenStore.h"
#include "platform/portal/ScreenshotPortal.h"
#include "platform/portal/ShortcutTrigger.h"

#include "common/CaptureAction.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

using namespace zorv;
using Kind = PortalOutcome::Kind;

TEST(PortalRequestPath, PredictsThePortalsObjectPath)
{
    struct Case {
        QString kind, sender, token, path;
    } cases[] = {
        {"request", ":1.42", "zorv7_1", "/org/freedesktop/portal/desktop/request/1_42/zorv7_1"},
        {"request", ":1.1000", "t", "/org/freedesktop/portal/desktop/request/1_1000/t"},
        {"session", ":12.3", "s1", "/org/freedesktop/portal/desktop/session/12_3/s1"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(portalObjectPath(c.kind, c.sender, c.token), c.path) << c.sender.toStdString();
}

TEST(PortalOutcomeMapping, ResponsesAndErrorRepliesGiveOneKindEach)
{
    const QVariantMap results{{"uri", "file:///tmp/x.png"}};
    EXPECT_EQ(portalResponseOutcome(0, results).kind, Kind::Success);
    EXPECT_EQ(portalResponseOutcome(0, results).results, results);
    struct Case {
        PortalOutcome outcome;
        Kind kind;
        const char *said; // part of the message
    } cases[] = {
        {portalResponseOutcome(1, results), Kind::Cancelled, "cancelled"},
        {portalResponseOutcome(2, results), Kind::Failed, "could not"},
        {portalResponseOutcome(3, {}), Kind::Failed, "code 3"},
        {portalErrorOutcome("org.freedesktop.DBus.Error.NoReply",
                            "Message recipient disconnected from message bus without replying"),
         Kind::Vanished, "stopped"},
        {portalErrorOutcome("org.freedesktop.DBus.Error.NoReply", "Did not receive a reply."),
         Kind::TimedOut, "in time"},
        {portalErrorOutcome("org.freedesktop.DBus.Error.ServiceUnknown", "not provided"),
         Kind::Failed, "no desktop portal"},
        {portalErrorOutcome("org.freedesktop.DBus.Error.AccessDenied", "Only one at a time"),
         Kind::Failed, "Only one at a time"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.outcome.kind, c.kind) << c.said;
        EXPECT_TRUE(c.outcome.message.contains(QLatin1String(c.said)))
            << c.outcome.message.toStdString();
        EXPECT_TRUE(c.outcome.results.isEmpty()) << c.said;
    }
}

TEST(PortalVersionCheck, RefusesMissingAndOlderInterfacesWithTheReason)
{
    struct Case {
        PortalInterface which;
        std::optional<uint> found;
        bool refused;
        const char *said;
    } cases[] = {
        {PortalInterface::Screenshot, std::nullopt, true, "Screenshot is missing"},
        {PortalInterface::Screenshot, 1, true, "version 1, Zorv needs version 2"},
        {PortalInterface::Screenshot, 2, false, ""},
        {PortalInterface::ScreenCast, 3, true, "version 3, Zorv needs version 4"},
        {PortalInterface::ScreenCast, 4, false, ""},
        {PortalInterface::ScreenCast, 5, false, ""},
        {PortalInterface::GlobalShortcuts, 0, true, "GlobalShortcuts is missing"},
        {PortalInterface::GlobalShortcuts, 1, false, ""},
    };
    for (const Case &c : cases) {
        const auto problem = portalVersionProblem(c.which, c.found);
        ASSERT_EQ(problem.has_value(), c.refused) << c.said;
        if (problem) {
            EXPECT_TRUE(problem->contains(QLatin1String(c.said))) << problem->toStdString();
        }
    }
}

TEST(RestoreTokenStore, KeepsOneTokenAndRefusesWhatIsNotOne)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config/Zorv/screencast-token");
    FileRestoreTokenStore store(path);
    EXPECT_EQ(store.load(), QString());
    store.save("9a1f-token");
    EXPECT_EQ(store.load(), "9a1f-token");
    EXPECT_EQ(QFile::permissions(path) & 0x0077, 0) << "readable by others";
    store.save("b2c3-newer");
    EXPECT_EQ(FileRestoreTokenStore(path).load(), "b2c3-newer");
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files).size(), 1);
    store.save({});
    EXPECT_FALSE(QFile::exists(path));

    struct Case {
        QByteArray bytes;
        QString token;
    } files[] = {
        {"  tok-1\n\n", "tok-1"},
        {"two words\n", ""},
        {QByteArray("to\0k", 4), ""},
        {QByteArray(5000, 'a'), ""},
    };
    for (const Case &c : files) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.bytes);
        file.close();
        EXPECT_EQ(store.load(), c.token) << c.bytes.left(20).toStdString();
    }
}

TEST(ScreenshotScratchFile, OnlyFilesDirectlyInATemporaryFolderAreRemoved)
{
    QTemporaryDir temporary, other;
    QDir().mkpath(temporary.filePath("sub"));
    const QString link = other.filePath("link");
    ASSERT_TRUE(QFile::link(temporary.path(), link));
    const QStringList folders{temporary.path()};
    struct Case {
        QString path;
        bool scratch;
    } cases[] = {
        {temporary.filePath("out.png"), true},
        {temporary.filePath("sub/../out.png"), true},
        {link + "/out.png", true},
        {temporary.filePath("sub/out.png"), false},
        {other.filePath("Screenshot.png"), false},
        {"/nonexistent/out.png", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(isPortalScratchFile(c.path, folders), c.scratch) << c.path.toStdString();
}

TEST(ShortcutTrigger, DefaultsAndLinuxKeysBecomeTriggersAndComeBack)
{
    constexpr uint32_t ctrlShift = KeyCombo::control | KeyCombo::shift;
    constexpr uint32_t ext = KeyCombo::extendedKeyBase;
    const QMap<CaptureAction, QString> defaults{
        {CaptureAction::area, "CTRL+SHIFT+4"},
        {CaptureAction::window, "CTRL+SHIFT+5"},
        {CaptureAction::fullScreen, "CTRL+SHIFT+3"},
        {CaptureAction::scrolling, "CTRL+SHIFT+6"},
        {CaptureAction::recordVideo, "CTRL+SHIFT+7"},
        {CaptureAction::recordGIF, "CTRL+SHIFT+8"},
        {CaptureAction::ocr, "CTRL+SHIFT+9"},
        {CaptureAction::pinLast, "CTRL+SHIFT+p"},
        {CaptureAction::repeatLastArea, "CTRL+SHIFT+r"},
    };
    struct Case {
        KeyCombo combo;
        QString trigger;
    };
    QList<Case> cases;
    for (CaptureAction action : captureAction::all())
        cases.append({KeyCombo::defaults().value(action), defaults.value(action)});
    cases += QList<Case>{
        {{ext + KEY_SYSRQ, KeyCombo::command}, "LOGO+Print"},
        {{ext + KEY_SYSRQ, 0}, "Print"},
        {{ext + KEY_PAUSE, KeyCombo::option}, "ALT+Pause"},
        {{ext + KEY_SCROLLLOCK, ctrlShift}, "CTRL+SHIFT+Scroll_Lock"},
        {{ext + KEY_COMPOSE, KeyCombo::command | KeyCombo::option}, "ALT+LOGO+Menu"},
        {{ext + KEY_INSERT, KeyCombo::shift}, "SHIFT+Insert"},
        {{ext + KEY_KP0, KeyCombo::control}, "CTRL+KP_0"},
        {{ext + KEY_KP9, KeyCombo::control}, "CTRL+KP_9"},
        {{ext + KEY_KPDOT, 0}, "KP_Decimal"},
        {{ext + KEY_KPENTER, 0}, "KP_Enter"},
        {{ext + KEY_KPPLUS, 0}, "KP_Add"},
        {{ext + KEY_KPMINUS, 0}, "KP_Subtract"},
        {{ext + KEY_KPASTERISK, 0}, "KP_Multiply"},
        {{ext + KEY_KPSLASH, 0}, "KP_Divide"},
        {{ext + KEY_102ND, KeyCombo::option}, "ALT+less"},
        {{101, ctrlShift | KeyCombo::option | KeyCombo::command}, "CTRL+ALT+SHIFT+LOGO+F9"},
        {{121, KeyCombo::command}, "LOGO+Page_Down"},
        {{47, KeyCombo::control}, "CTRL+period"},
        {{36, KeyCombo::control}, "CTRL+Return"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(portalTrigger(c.combo).value_or("(none)"), c.trigger)
            << c.combo.displayString().toStdString();
        EXPECT_EQ(comboFromPortalTrigger(c.trigger), c.combo) << c.trigger.toStdString();
    }
    // Every key Zorv can store has a trigger that names it again, with every modifier.
    for (uint32_t evdev = 1; evdev < 256; ++evdev) {
        const auto code = KeyCombo::keyCodeForEvdev(evdev);
        if (!code)
            continue;
        const KeyCombo combo{*code, KeyCombo::control | KeyCombo::option | KeyCombo::shift |
                                        KeyCombo::command};
        const auto trigger = portalTrigger(combo);
        ASSERT_TRUE(trigger) << combo.displayString().toStdString();
        EXPECT_EQ(comboFromPortalTrigger(*trigger), combo) << trigger->toStdString();
    }
    EXPECT_FALSE(portalTrigger({999, KeyCombo::control})) << "a code that names no key";
}

TEST(ShortcutTrigger, DescriptionsThatAreNotTriggersGiveNoCombo)
{
    const struct {
        QString text;
        std::optional<KeyCombo> combo;
    } cases[] = {
        {"ctrl+shift+P", KeyCombo{35, KeyCombo::control | KeyCombo::shift}},
        {" LOGO+Prior ", KeyCombo{116, KeyCombo::command}},
        {"Alt+next", KeyCombo{121, KeyCombo::option}},
        {"", std::nullopt},
        {"CTRL+", std::nullopt},
        {"+a", std::nullopt},
        {"CTRL+CTRL+a", std::nullopt},
        {"HYPER+a", std::nullopt},
        {"CTRL+SHIFT", std::nullopt},
        {"Press Ctrl and A", std::nullopt},
        {"Ctrl+Shift+Ä", std::nullopt},
        {"CTRL+F21", std::nullopt},
    };
    for (const auto &c : cases)
        EXPECT_EQ(comboFromPortalTrigger(c.text), c.combo) << c.text.toStdString();
}
