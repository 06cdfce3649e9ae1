// The portal conversation layer against the real portals of the headless Wayland desktop
// (scripts/wayland-desktop.sh run -- wayland_portal_client), and against a stand-in portal on
// the same private bus for what a real one cannot be made to do on demand.
#include "platform/portal/GlobalShortcutsSession.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/PortalVersion.h"
#include "platform/portal/RestoreTokenStore.h"
#include "platform/portal/ScreenCastSession.h"
#include "platform/portal/ScreenshotPortal.h"
#include "platform/wayland/WaylandHotKeyBackend.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QPointer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace zorv;
using Kind = PortalOutcome::Kind;

namespace
{

constexpr int timeoutMs = 10000;

#define REQUIRE_WAYLAND_DESKTOP()                                                                  \
    do {                                                                                           \
        if (qEnvironmentVariableIsEmpty("ZORV_WAYLAND_STATE"))                                     \
            GTEST_SKIP() << "run inside scripts/wayland-desktop.sh run -- …";                      \
    } while (false)

class MemoryTokenStore : public RestoreTokenStore
{
  public:
    QString load() override { return token; }
    void save(const QString &t) override { token = t; }
    QString token;
};

// How often the wlroots backend restored a session from a token instead of choosing an output.
int restores()
{
    QFile log(qEnvironmentVariable("ZORV_WAYLAND_STATE") + "/xdpw.log");
    return log.open(QIODevice::ReadOnly) ? log.readAll().count("restoring session from data") : -1;
}

// A portal that offers every interface at one version, remembers the calls it gets and answers
// a Request only when told to.
class StandIn : public QDBusVirtualObject
{
  public:
    static inline const QString name = QStringLiteral("org.zorv.test.PortalStandIn");

    StandIn() : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, "zorv-standin"))
    {
        bus.registerVirtualObject(portalPath, this, QDBusConnection::SubPath);
        bus.registerService(name);
    }
    ~StandIn() override
    {
        bus.unregisterService(name);
        bus.unregisterObject(portalPath, QDBusConnection::UnregisterTree);
        QDBusConnection::disconnectFromBus("zorv-standin");
    }
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() == "org.freedesktop.DBus.Properties") {
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(version))));
            return true;
        }
        if (message.member() == "OpenPipeWireRemote") {
            int fds[2];
            if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) == 0) {
                connection.send(
                    message.createReply(QVariant::fromValue(QDBusUnixFileDescriptor(fds[0]))));
                ::close(fds[0]);
                ::close(fds[1]);
            }
            return true;
        }
        calls.append(message); // answered only through respond(), if at all
        return true;
    }
    // Answers a call (the last by default) through its Request object, at the path the portal
    // would use.
    void respond(uint code, const QVariantMap &results = {}, int index = -1)
    {
        const QDBusMessage &call = index < 0 ? calls.last() : calls.at(index);
        const QString token = options(call).value("handle_token").toString();
        QDBusMessage response =
            QDBusMessage::createSignal(portalObjectPath("request", call.service(), token),
                                       "org.freedesktop.portal.Request", "Response");
        response << code << results;
        bus.send(response);
    }
    static QVariantMap options(const QDBusMessage &call)
    {
        return qdbus_cast<QVariantMap>(call.arguments().last());
    }

    QDBusConnection bus;
    uint version = 1;
    QList<QDBusMessage> calls;
};

struct Finished {
    std::optional<PortalOutcome> outcome;
    int count = 0;
    QElapsedTimer clock;
    qint64 ms = 0;
};

void watch(PortalRequest &request, Finished &finished)
{
    finished.clock.start();
    QObject::connect(&request, &PortalRequest::finished, [&finished](const PortalOutcome &o) {
        finished.outcome = o;
        finished.ms = finished.clock.elapsed();
        ++finished.count;
    });
}

void screenshotCall(PortalRequest &request, int timeout)
{
    request.send("org.freedesktop.portal.Screenshot", "Screenshot", {QString()},
                 {{"interactive", false}}, timeout);
}

} // namespace

TEST(PortalStandIn, EveryWayARequestEndsIsReportedOnceAndPromptly)
{
    REQUIRE_WAYLAND_DESKTOP();
    struct Case {
        const char *what;
        int timeout;
        std::function<void(StandIn &)> then; // done once the call has arrived
        Kind kind;
        qint64 withinMs;
    } cases[] = {
        {"cancelled", timeoutMs, [](StandIn &s) { s.respond(1); }, Kind::Cancelled, 1000},
        {"failed", timeoutMs, [](StandIn &s) { s.respond(2); }, Kind::Failed, 1000},
        {"answered", timeoutMs,
         [](StandIn &s) {
             s.respond(0, {{"uri", "file:///x"}});
         },
         Kind::Success, 1000},
        {"never answered", 300, [](StandIn &) {}, Kind::TimedOut, 1000},
        {"portal gone", timeoutMs, [](StandIn &s) { s.bus.unregisterService(StandIn::name); },
         Kind::Vanished, 1000},
    };
    for (const Case &c : cases) {
        StandIn standIn;
        PortalRequest request(QDBusConnection::sessionBus(), StandIn::name);
        Finished finished;
        watch(request, finished);
        screenshotCall(request, c.timeout);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !standIn.calls.isEmpty(); }, 2000)) << c.what;
        c.then(standIn);
        ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count > 0; }, 3000)) << c.what;
        QTest::qWait(100); // nothing more may come
        EXPECT_EQ(finished.count, 1) << c.what;
        EXPECT_EQ(finished.outcome->kind, c.kind) << c.what;
        EXPECT_LT(finished.ms, c.withinMs) << c.what;
        if (c.kind == Kind::Success)
            EXPECT_EQ(finished.outcome->results.value("uri"), "file:///x");
        else
            EXPECT_TRUE(finished.outcome->message.startsWith("Screenshot.Screenshot: "))
                << finished.outcome->message.toStdString();
    }
}

TEST(PortalStandIn, ADestroyedRequestClosesItAndHearsNothingMore)
{
    REQUIRE_WAYLAND_DESKTOP();
    StandIn standIn;
    Finished finished;
    {
        PortalRequest request(QDBusConnection::sessionBus(), StandIn::name);
        watch(request, finished);
        screenshotCall(request, timeoutMs);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !standIn.calls.isEmpty(); }, 2000));
    }
    const QDBusMessage call = standIn.calls.first();
    ASSERT_TRUE(QTest::qWaitFor([&] { return standIn.calls.size() == 2; }, 2000));
    EXPECT_EQ(standIn.calls.last().member(), "Close");
    EXPECT_EQ(
        standIn.calls.last().path(),
        portalObjectPath(
            "request", call.service(),
            qdbus_cast<QVariantMap>(call.arguments().last()).value("handle_token").toString()));
    standIn.calls.removeLast();
    standIn.respond(0);
    QTest::qWait(200);
    EXPECT_EQ(finished.count, 0);
}

// One stream of a ScreenCast Start answer, as the portal marshals it.
struct CastStream {
    uint node = 0;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(CastStream)
QDBusArgument &operator<<(QDBusArgument &argument, const CastStream &stream)
{
    argument.beginStructure();
    argument << stream.node << stream.properties;
    argument.endStructure();
    return argument;
}
const QDBusArgument &operator>>(const QDBusArgument &argument, CastStream &stream)
{
    argument.beginStructure();
    argument >> stream.node >> stream.properties;
    argument.endStructure();
    return argument;
}

TEST(PortalStandIn, ARefusedRestoreTokenCostsOneMoreDialogAndIsReplaced)
{
    REQUIRE_WAYLAND_DESKTOP();
    qDBusRegisterMetaType<CastStream>();
    qDBusRegisterMetaType<QList<CastStream>>();
    const QVariantMap started{{"restore_token", "new-token"},
                              {"streams", QVariant::fromValue(QList<CastStream>{{7, {}}})}};
    // The portal's answers to the Start calls, in order; then what the session reports.
    constexpr uint closeInstead = 1000; // the portal closes the session instead of answering
    struct Case {
        const char *what;
        QList<uint> startCodes;
        bool started;
        QString tokenAfter;
        QList<bool> tokenOffered; // per SelectSources
    } cases[] = {
        {"accepted", {0}, true, "new-token", {true}},
        {"refused, then chosen again", {2, 0}, true, "new-token", {true, false}},
        {"refused twice", {2, 2}, false, "old-token", {true, false}},
        {"dialog cancelled", {1}, false, "old-token", {true}},
        {"session closed by the portal", {closeInstead}, false, "old-token", {true}},
    };
    for (const Case &c : cases) {
        StandIn standIn;
        MemoryTokenStore tokens;
        tokens.token = "old-token";
        ScreenCastSession session(QDBusConnection::sessionBus(), StandIn::name, tokens, 2000, 2000);
        int startedCount = 0, failedCount = 0;
        QObject::connect(&session, &ScreenCastSession::started, [&] { ++startedCount; });
        QObject::connect(&session, &ScreenCastSession::failed,
                         [&](const PortalOutcome &) { ++failedCount; });
        session.start(CastCursor::Metadata);
        QList<bool> offered;
        int answered = 0;
        for (uint code : c.startCodes) {
            for (const char *member : {"CreateSession", "SelectSources", "Start"}) {
                ASSERT_TRUE(QTest::qWaitFor([&] { return standIn.calls.size() > answered; }, 2000))
                    << c.what << ": no " << member;
                const QDBusMessage call = standIn.calls.at(answered);
                ASSERT_EQ(call.member(), member) << c.what;
                QVariantMap results;
                if (call.member() == "CreateSession")
                    results["session_handle"] = portalObjectPath(
                        "session", call.service(),
                        StandIn::options(call).value("session_handle_token").toString());
                if (call.member() == "SelectSources") {
                    offered << (StandIn::options(call).value("restore_token") == "old-token");
                    EXPECT_EQ(StandIn::options(call).value("cursor_mode").toUInt(), 4u);
                    EXPECT_EQ(StandIn::options(call).value("persist_mode").toUInt(), 2u);
                }
                if (call.member() == "Start" && code == closeInstead)
                    standIn.bus.send(QDBusMessage::createSignal(
                                         call.arguments().first().value<QDBusObjectPath>().path(),
                                         "org.freedesktop.portal.Session", "Closed")
                                     << QVariantMap());
                else
                    standIn.respond(call.member() == "Start" ? code : 0,
                                    call.member() == "Start" ? started : results, answered);
                ++answered;
            }
            // A failed session is closed before the next begins.
            QTest::qWait(50);
            while (standIn.calls.size() > answered &&
                   standIn.calls.at(answered).member() == "Close")
                ++answered;
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return startedCount + failedCount > 0; }, 2000))
            << c.what;
        QTest::qWait(100);
        EXPECT_EQ(startedCount, c.started ? 1 : 0) << c.what;
        EXPECT_EQ(failedCount, c.started ? 0 : 1) << c.what;
        EXPECT_EQ(tokens.token, c.tokenAfter) << c.what;
        EXPECT_EQ(offered, c.tokenOffered) << c.what;
        if (c.started) {
            EXPECT_EQ(session.streams().value(0).node, 7u) << c.what;
            EXPECT_GE(session.pipeWireFd(), 0) << c.what;
        }
    }
}

TEST(PortalStandIn, GlobalShortcutsFailuresAreReportedOnceAndCloseTheSession)
{
    REQUIRE_WAYLAND_DESKTOP();
    constexpr uint silent = 1000, closeInstead = 1001, noHandle = 1002;
    struct Case {
        const char *what;
        uint createCode, bindCode;
        Kind kind;
        bool closeSent;
    } cases[] = {
        {"create unanswered", silent, 0, Kind::TimedOut, false},
        {"no session handle", noHandle, 0, Kind::Failed, false},
        {"bind cancelled", 0, 1, Kind::Cancelled, true},
        {"bind unanswered", 0, silent, Kind::TimedOut, true},
        {"closed while binding", 0, closeInstead, Kind::Failed, false},
    };
    for (const Case &c : cases) {
        StandIn standIn;
        GlobalShortcutsSession session(QDBusConnection::sessionBus(), StandIn::name, 300);
        int bound = 0;
        QList<PortalOutcome> failures;
        QObject::connect(&session, &GlobalShortcutsSession::bound, [&] { ++bound; });
        QObject::connect(&session, &GlobalShortcutsSession::failed,
                         [&](const PortalOutcome &o) { failures << o; });
        session.bind({{CaptureAction::area, KeyCombo::defaults().value(CaptureAction::area)},
                      {CaptureAction::ocr, KeyCombo{999, KeyCombo::control}}});
        QString sessionPath;
        for (uint code : {c.createCode, c.bindCode}) {
            const qsizetype index = standIn.calls.size();
            if (!QTest::qWaitFor(
                    [&] { return standIn.calls.size() > index || !failures.isEmpty(); }, 2000) ||
                standIn.calls.size() == index)
                break;
            const QDBusMessage call = standIn.calls.at(index);
            if (call.member() == "CreateSession") {
                sessionPath = portalObjectPath(
                    "session", call.service(),
                    StandIn::options(call).value("session_handle_token").toString());
            } else {
                ASSERT_EQ(call.member(), "BindShortcuts") << c.what;
                // One entry per action, titled; a combo without a trigger goes without one.
                QMap<QString, QVariantMap> entries;
                const QDBusArgument list = call.arguments().value(1).value<QDBusArgument>();
                list.beginArray();
                while (!list.atEnd()) {
                    QString id;
                    QVariantMap properties;
                    list.beginStructure();
                    list >> id >> properties;
                    list.endStructure();
                    entries.insert(id, properties);
                }
                list.endArray();
                EXPECT_EQ(entries.keys(), (QStringList{"area", "ocr"})) << c.what;
                EXPECT_EQ(entries["area"].value("description"),
                          captureAction::title(CaptureAction::area));
                EXPECT_EQ(entries["area"].value("preferred_trigger"), "CTRL+SHIFT+4");
                EXPECT_FALSE(entries["ocr"].contains("preferred_trigger"));
            }
            if (code == closeInstead)
                standIn.bus.send(QDBusMessage::createSignal(
                                     sessionPath, "org.freedesktop.portal.Session", "Closed")
                                 << QVariantMap());
            else if (code == noHandle)
                standIn.respond(0, {}, int(index));
            else if (code != silent)
                standIn.respond(
                    code, {{"session_handle", QVariant::fromValue(QDBusObjectPath(sessionPath))}},
                    int(index));
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return !failures.isEmpty(); }, 2000)) << c.what;
        QTest::qWait(100); // nothing more may come
        EXPECT_EQ(bound, 0) << c.what;
        ASSERT_EQ(failures.size(), 1) << c.what;
        EXPECT_EQ(failures[0].kind, c.kind) << c.what;
        EXPECT_TRUE(failures[0].message.startsWith("GlobalShortcuts")) << c.what;
        EXPECT_FALSE(session.isActive()) << c.what;
        const bool closeSent =
            std::any_of(standIn.calls.cbegin(), standIn.calls.cend(),
                        [&](auto &m) { return m.member() == "Close" && m.path() == sessionPath; });
        EXPECT_EQ(closeSent, c.closeSent) << c.what;
    }
}

// One shortcut of a BindShortcuts answer, as the portal marshals it.
struct GivenShortcut {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(GivenShortcut)
QDBusArgument &operator<<(QDBusArgument &argument, const GivenShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}
const QDBusArgument &operator>>(const QDBusArgument &argument, GivenShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

TEST(PortalStandIn, WaylandShortcutsTheDesktopDeclinesLaterAreRefusedAndPressesFollowTheirIds)
{
    REQUIRE_WAYLAND_DESKTOP();
    qDBusRegisterMetaType<GivenShortcut>();
    qDBusRegisterMetaType<QList<GivenShortcut>>();
    const KeyCombo areaKeys = KeyCombo::defaults().value(CaptureAction::area);
    const KeyCombo ocrKeys = KeyCombo::defaults().value(CaptureAction::ocr);
    // How the desktop answers the first binding (area and ocr), what is refused then (by
    // action, with a piece of the reason), and whether area's presses arrive.
    constexpr uint silent = 1000, onlyArea = 1001, bothThenClosed = 1002, bothThenGone = 1003;
    struct Case {
        const char *what;
        uint bindAnswer;
        QMap<QString, QString> refused;
        bool areaFires;
    } cases[] = {
        {"area given, ocr not", onlyArea, {{"ocr", "did not give it a trigger"}}, true},
        {"cancelled", 1, {{"area", "cancelled"}, {"ocr", "cancelled"}}, false},
        {"unanswered", silent, {{"area", "in time"}, {"ocr", "in time"}}, false},
        {"ended by the desktop", bothThenClosed, {{"area", "ended"}, {"ocr", "ended"}}, false},
        {"portal gone", bothThenGone, {{"area", "stopped"}, {"ocr", "stopped"}}, false},
    };
    for (const Case &c : cases) {
        StandIn standIn;
        WaylandHotKeyBackend backend(QDBusConnection::sessionBus(), StandIn::name, 300);
        QMap<QString, QString> refused;
        QList<uint32_t> pressed;
        int settled = 0;
        QHash<uint32_t, QString> ids{{1, "area"}, {2, "ocr"}};
        QObject::connect(&backend, &HotKeyBackend::refused,
                         [&](uint32_t id, const QString &why) { refused.insert(ids[id], why); });
        QObject::connect(&backend, &HotKeyBackend::pressed, [&](uint32_t id) { pressed << id; });
        QObject::connect(&backend, &HotKeyBackend::settled, [&] { ++settled; });
        EXPECT_TRUE(
            backend.grabAll({{1, CaptureAction::area, areaKeys}, {2, CaptureAction::ocr, ocrKeys}})
                .isEmpty())
            << c.what;
        ASSERT_TRUE(QTest::qWaitFor([&] { return !standIn.calls.isEmpty(); }, 2000)) << c.what;
        const QString session = portalObjectPath(
            "session", standIn.calls[0].service(),
            StandIn::options(standIn.calls[0]).value("session_handle_token").toString());
        standIn.respond(0, {{"session_handle", QVariant::fromValue(QDBusObjectPath(session))}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return standIn.calls.size() > 1; }, 2000)) << c.what;
        ASSERT_EQ(standIn.calls[1].member(), "BindShortcuts") << c.what;
        QList<GivenShortcut> given{{"area", {{"trigger_description", "CTRL+SHIFT+4"}}}};
        if (c.bindAnswer != onlyArea)
            given.append({"ocr", {{"trigger_description", "CTRL+SHIFT+9"}}});
        if (c.bindAnswer != silent)
            standIn.respond(c.bindAnswer >= silent ? 0 : c.bindAnswer,
                            {{"shortcuts", QVariant::fromValue(given)}});
        ASSERT_TRUE(QTest::qWaitFor([&] { return settled > 0; }, 2000)) << c.what;
        if (c.bindAnswer == bothThenClosed || c.bindAnswer == bothThenGone) {
            EXPECT_TRUE(refused.isEmpty()) << c.what;
            if (c.bindAnswer == bothThenGone)
                standIn.bus.unregisterService(StandIn::name);
            else
                standIn.bus.send(
                    QDBusMessage::createSignal(session, "org.freedesktop.portal.Session", "Closed")
                    << QVariantMap());
            EXPECT_TRUE(QTest::qWaitFor([&] { return !refused.isEmpty(); }, 2000)) << c.what;
        }
        standIn.bus.send(QDBusMessage::createSignal(
                             portalPath, "org.freedesktop.portal.GlobalShortcuts", "Activated")
                         << QVariant::fromValue(QDBusObjectPath(session)) << QString("area")
                         << qulonglong(1) << QVariantMap());
        QTest::qWait(200); // and nothing more
        EXPECT_EQ(settled, 1) << c.what;
        EXPECT_EQ(refused.keys(), c.refused.keys()) << c.what;
        for (auto it = c.refused.cbegin(); it != c.refused.cend(); ++it)
            EXPECT_TRUE(refused.value(it.key()).contains(it.value()))
                << c.what << ": " << refused.value(it.key()).toStdString();
        EXPECT_EQ(pressed, c.areaFires ? QList<uint32_t>{1} : QList<uint32_t>{}) << c.what;

        // The next reload with the same map: a bound session is kept and answers at once for
        // the new ids; after a failure or the end of the session, the binding is tried again.
        if (c.bindAnswer == bothThenGone)
            standIn.bus.registerService(StandIn::name); // the portal is started again
        const qsizetype callsBefore = standIn.calls.size();
        ids = {{3, "area"}, {4, "ocr"}};
        refused.clear();
        const auto again =
            backend.grabAll({{3, CaptureAction::area, areaKeys}, {4, CaptureAction::ocr, ocrKeys}});
        QTest::qWait(200);
        const bool rebinding = standIn.calls.size() > callsBefore;
        EXPECT_EQ(rebinding, !c.areaFires) << c.what;
        if (rebinding)
            EXPECT_EQ(standIn.calls.last().member(), "CreateSession") << c.what;
        else
            EXPECT_EQ(again.keys(), QList<uint32_t>{4}) << c.what;
        if (c.areaFires) {
            standIn.bus.send(QDBusMessage::createSignal(
                                 portalPath, "org.freedesktop.portal.GlobalShortcuts", "Activated")
                             << QVariant::fromValue(QDBusObjectPath(session)) << QString("area")
                             << qulonglong(2) << QVariantMap());
            QTest::qWait(200);
            EXPECT_EQ(pressed, (QList<uint32_t>{1, 3})) << c.what;
        }
    }
}

TEST(PortalVersions, TheRealPortalIsNewEnoughAndAnOldOneIsRefusedWithItsReason)
{
    REQUIRE_WAYLAND_DESKTOP();
    StandIn standIn; // announces version 1 of everything
    struct Case {
        QString service;
        PortalInterface which;
        const char *reason; // empty: accepted
    } cases[] = {
        {portalService, PortalInterface::Screenshot, ""},
        {portalService, PortalInterface::ScreenCast, ""},
        {portalService, PortalInterface::GlobalShortcuts, ""},
        {StandIn::name, PortalInterface::Screenshot,
         "Screenshot is version 1, Zorv needs version 2"},
        {StandIn::name, PortalInterface::ScreenCast,
         "ScreenCast is version 1, Zorv needs version 4"},
        {StandIn::name, PortalInterface::GlobalShortcuts, ""},
        {"org.zorv.test.NoSuchPortal", PortalInterface::Screenshot, "no desktop portal"},
    };
    QObject context;
    for (const Case &c : cases) {
        std::optional<std::optional<QString>> answer;
        checkPortalVersion(QDBusConnection::sessionBus(), c.service, c.which, 2000, &context,
                           [&](std::optional<QString> problem) { answer = problem; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return answer.has_value(); }, 3000)) << c.reason;
        const QString reason = answer->value_or(QString());
        EXPECT_EQ(reason.isEmpty(), QByteArray(c.reason).isEmpty()) << reason.toStdString();
        EXPECT_TRUE(reason.contains(QLatin1String(c.reason))) << reason.toStdString();
    }
}

TEST(RealPortals, ScreenshotEqualsTheCompositorsOwnAndLeavesNoFileBehind)
{
    REQUIRE_WAYLAND_DESKTOP();
    QTemporaryDir folder;
    const QString grim = folder.filePath("grim.png");
    ASSERT_EQ(QProcess::execute("grim", {grim}), 0);
    ScreenshotPortal portal(QDBusConnection::sessionBus(), portalService, timeoutMs);
    QObject context;
    std::optional<Expected<QImage, PortalOutcome>> shot;
    QElapsedTimer clock;
    clock.start();
    portal.take(&context, [&](Expected<QImage, PortalOutcome> result) { shot = result; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return shot.has_value(); }, timeoutMs));
    std::printf("figure: screenshot through the portal, read and decoded: %lld ms\n",
                static_cast<long long>(clock.elapsed()));
    ASSERT_TRUE(shot->hasValue()) << shot->error().message.toStdString();
    const QImage expected = QImage(grim).convertToFormat(QImage::Format_RGB32);
    const QImage image = shot->value().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(image.size(), QSize(1920 + 1280, 1080));
    EXPECT_TRUE(image == expected) << "differs from grim's picture";
    // The wlroots backend writes to /tmp/out.png, a shared temporary folder.
    EXPECT_FALSE(QFile::exists("/tmp/out.png"));
}

TEST(RealPortals, ScreenCastStoresItsTokenAndIsRestoredFromIt)
{
    REQUIRE_WAYLAND_DESKTOP();
    MemoryTokenStore tokens;
    QObject context;
    // Starts a session with what `tokens` holds; whether it started and whether the portal
    // restored it from the token.
    QTemporaryDir folder;
    ASSERT_EQ(QProcess::execute("grim", {"-o", "HEADLESS-1", folder.filePath("grim.png")}), 0);
    const QImage grim = QImage(folder.filePath("grim.png")).convertToFormat(QImage::Format_RGB32);
    // One frame of the stream through the PipeWire remote `fd`.
    auto pullFrame = [&](int fd, uint node) {
        const QString png = folder.filePath("frame.png");
        QProcess gst;
        gst.setChildProcessModifier([fd] { dup2(fd, 3); });
        gst.start("gst-launch-1.0",
                  {"-q", "pipewiresrc", "fd=3", QString("path=%1").arg(node), "num-buffers=1", "!",
                   "videoconvert", "!", "pngenc", "!", "filesink", "location=" + png});
        if (!gst.waitForFinished(timeoutMs) || gst.exitCode() != 0)
            ADD_FAILURE() << "gst-launch: " << gst.readAllStandardError().toStdString();
        return QImage(png).convertToFormat(QImage::Format_RGB32);
    };
    auto run = [&](const char *what, bool frame = false) {
        const int before = restores();
        ScreenCastSession session(QDBusConnection::sessionBus(), portalService, tokens, timeoutMs,
                                  timeoutMs);
        std::optional<PortalOutcome> failure;
        bool started = false;
        QObject::connect(&session, &ScreenCastSession::started, [&] { started = true; });
        QObject::connect(&session, &ScreenCastSession::failed,
                         [&](const PortalOutcome &o) { failure = o; });
        QElapsedTimer clock;
        clock.start();
        session.start(CastCursor::Embedded);
        EXPECT_TRUE(QTest::qWaitFor([&] { return started || failure; }, timeoutMs)) << what;
        std::printf("figure: ScreenCast session set up (%s): %lld ms\n", what,
                    static_cast<long long>(clock.elapsed()));
        EXPECT_TRUE(started) << what << ": " << (failure ? failure->message.toStdString() : "");
        if (started) {
            EXPECT_EQ(session.streams().size(), 1) << what;
            const ScreenCastStream stream = session.streams().value(0);
            EXPECT_GT(stream.node, 0u) << what;
            EXPECT_EQ(stream.size, QSize(1920, 1080)) << what;
            const int fd = session.duplicatePipeWireFd();
            EXPECT_GE(fd, 0) << what;
            // A static screen yields one frame per screen change, for any session: only the
            // first session can count on one.
            if (fd >= 0 && frame) {
                EXPECT_TRUE(pullFrame(fd, stream.node) == grim) << what << ": frame differs";
            }
            if (fd >= 0)
                close(fd);
        }
        return restores() - before;
    };

    EXPECT_EQ(run("first session", true), 0);
    const QString first = tokens.token;
    EXPECT_FALSE(first.isEmpty()) << "no token stored";
    EXPECT_EQ(run("with the stored token"), 1);
    EXPECT_FALSE(tokens.token.isEmpty()) << "the restored session left no token";
    // The portal ignores an unknown token and refuses one that is not a UUID.
    for (const QString stale : {"3f2b8c1e-0a4d-4c57-9a51-2f0d6c7b9e11", "zorv-not-a-token"}) {
        tokens.token = stale;
        EXPECT_EQ(run(qPrintable(stale)), 0);
        EXPECT_FALSE(tokens.token.isEmpty());
        EXPECT_NE(tokens.token, stale);
    }
}

namespace
{
// What a session heard: "area" when activated, "area up" when deactivated.
struct Heard {
    QStringList events;
    int closed = 0;
    std::optional<PortalOutcome> failure;
    int bound = 0;
    void follow(GlobalShortcutsSession &session)
    {
        QObject::connect(&session, &GlobalShortcutsSession::activated,
                         [this](CaptureAction a) { events << captureAction::rawValue(a); });
        QObject::connect(&session, &GlobalShortcutsSession::deactivated,
                         [this](CaptureAction a) { events << captureAction::rawValue(a) + " up"; });
        QObject::connect(&session, &GlobalShortcutsSession::closed, [this] { ++closed; });
        QObject::connect(&session, &GlobalShortcutsSession::bound, [this] { ++bound; });
        QObject::connect(&session, &GlobalShortcutsSession::failed,
                         [this](const PortalOutcome &o) { failure = o; });
    }
};

// Types `keys` (wtype's arguments) on the compositor; what each session heard within a moment.
QList<QStringList> press(const QStringList &keys, const QList<Heard *> &sessions, int expected)
{
    for (Heard *h : sessions)
        h->events.clear();
    // Named keys need a moment before they reach sway.
    if (QProcess::execute("wtype", QStringList{"-s", "250"} + keys) != 0)
        ADD_FAILURE() << "wtype failed";
    const auto count = [&] {
        int n = 0;
        for (Heard *h : sessions)
            n += int(h->events.size());
        return n;
    };
    (void)QTest::qWaitFor([&] { return count() >= expected; }, 2000);
    QTest::qWait(expected == 0 ? 700 : 200); // and nothing more
    QList<QStringList> heard;
    for (Heard *h : sessions)
        heard << h->events;
    return heard;
}

QStringList combo(std::initializer_list<const char *> modifiers, const char *key)
{
    QStringList args;
    for (const char *m : modifiers)
        args << "-M" << m;
    args << "-k" << key;
    for (const char *m : modifiers)
        args << "-m" << m;
    return args;
}
} // namespace

TEST(RealPortals, GlobalShortcutsFireTheirActionsFollowARebindAndReportAClosedSession)
{
    REQUIRE_WAYLAND_DESKTOP();
    constexpr uint32_t ctrlShift = KeyCombo::control | KeyCombo::shift;
    const KeyCombo print{KeyCombo::extendedKeyBase + 99 /* KEY_SYSRQ */, KeyCombo::command};
    const KeyCombo f9{101, ctrlShift};
    GlobalShortcutsSession zorv(QDBusConnection::sessionBus(), portalService, timeoutMs);
    Heard heard;
    heard.follow(zorv);
    zorv.bind({{CaptureAction::area, KeyCombo::defaults().value(CaptureAction::area)},
               {CaptureAction::fullScreen, print}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.bound || heard.failure; }, timeoutMs));
    ASSERT_FALSE(heard.failure) << heard.failure->message.toStdString();
    EXPECT_EQ(zorv.boundShortcuts(),
              (QList<BoundShortcut>{{CaptureAction::area, "CTRL+SHIFT+4"},
                                    {CaptureAction::fullScreen, "LOGO+Print"}}));
    EXPECT_TRUE(zorv.refused().isEmpty());

    // Another client's session (with the same ids) hears only its own triggers, and Zorv's only
    // its own.
    GlobalShortcutsSession other(QDBusConnection::sessionBus(), portalService, timeoutMs);
    Heard otherHeard;
    otherHeard.follow(other);
    other.bind({{CaptureAction::area, f9}, {CaptureAction::pinLast, KeyCombo{4, ctrlShift}}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return otherHeard.bound || otherHeard.failure; }, timeoutMs));

    const QStringList ctrlShift4 = combo({"ctrl", "shift"}, "4");
    const QStringList ctrlShiftF9 = combo({"ctrl", "shift"}, "F9");
    const QStringList logoPrint = combo({"logo"}, "Print");
    struct Case {
        const char *what;
        QStringList keys;
        QStringList zorv, other;
    };
    const auto run = [&](const char *stage, std::initializer_list<Case> cases) {
        for (const Case &c : cases) {
            const auto got =
                press(c.keys, {&heard, &otherHeard}, int(c.zorv.size() + c.other.size()));
            EXPECT_EQ(got.value(0), c.zorv) << stage << ": " << c.what;
            EXPECT_EQ(got.value(1), c.other) << stage << ": " << c.what;
        }
    };
    run("bound", {
                     {"ctrl+shift+4", ctrlShift4, {"area", "area up"}, {}},
                     {"logo+Print", logoPrint, {"fullScreen", "fullScreen up"}, {}},
                     {"ctrl+4", combo({"ctrl"}, "4"), {}, {}},
                     {"ctrl+shift+5", combo({"ctrl", "shift"}, "5"), {}, {}},
                     {"ctrl+shift+F9", ctrlShiftF9, {}, {"area", "area up"}},
                     {"ctrl+shift+h", combo({"ctrl", "shift"}, "h"), {}, {"pinLast", "pinLast up"}},
                 });

    // The user moves area to ctrl+shift+F9, which the other client holds, and back.
    other.close();
    const QString before = zorv.sessionPath();
    heard.bound = 0;
    zorv.bind({{CaptureAction::area, f9}, {CaptureAction::fullScreen, print}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.bound || heard.failure; }, timeoutMs));
    ASSERT_FALSE(heard.failure) << heard.failure->message.toStdString();
    EXPECT_NE(zorv.sessionPath(), before);
    EXPECT_EQ(zorv.boundShortcuts().value(0),
              (BoundShortcut{CaptureAction::area, "CTRL+SHIFT+F9"}));
    run("rebound", {
                       {"ctrl+shift+4", ctrlShift4, {}, {}},
                       {"ctrl+shift+F9", ctrlShiftF9, {"area", "area up"}, {}},
                       {"logo+Print", logoPrint, {"fullScreen", "fullScreen up"}, {}},
                   });

    // A trigger held by another client is reported as refused, and the rest still bound.
    other.bind({{CaptureAction::ocr, KeyCombo{21, ctrlShift}}});
    otherHeard.bound = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return otherHeard.bound || otherHeard.failure; }, timeoutMs));
    heard.bound = 0;
    zorv.bind({{CaptureAction::area, f9}, {CaptureAction::ocr, KeyCombo{21, ctrlShift}}});
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.bound || heard.failure; }, timeoutMs));
    EXPECT_EQ(zorv.refused(), QList<CaptureAction>{CaptureAction::ocr});
    other.close();

    // The desktop ends the session (here its backend closes it): reported once, and quiet after.
    QDBusMessage close = QDBusMessage::createMethodCall(
        "org.freedesktop.impl.portal.desktop.zorvshortcuts", zorv.sessionPath(),
        "org.freedesktop.impl.portal.Session", "Close");
    EXPECT_NE(QDBusConnection::sessionBus().call(close, QDBus::Block, timeoutMs).type(),
              QDBusMessage::ErrorMessage);
    ASSERT_TRUE(QTest::qWaitFor([&] { return heard.closed > 0; }, 3000));
    EXPECT_FALSE(zorv.isActive());
    run("closed", {{"ctrl+shift+F9", ctrlShiftF9, {}, {}}});
    EXPECT_EQ(heard.closed, 1);
}
