#include "platform/portal/PortalRequest.h"
#include "platform/portal/PortalVersion.h"
#include "platform/portal/RestoreTokenStore.h"
#include "platform/portal/ScreenshotPortal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
