// ScreenCast frames through the PipeWire module against the real portal and compositor of the
// headless Wayland desktop (scripts/wayland-desktop.sh run -- wayland_pipewire). Prints the
// figures it measures as "figure: …" lines.
#include "platform/portal/PipeWireStream.h"
#include "common/Modules.h"
#include "common/MonotonicClock.h"
#include "platform/portal/RestoreTokenStore.h"
#include "platform/portal/ScreenCastSession.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <signal.h>

using namespace zorv;

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

long rssKiB()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// A started ScreenCast session on the first output and its stream, opened.
struct Cast {
    MemoryTokenStore tokens;
    ScreenCastSession session{QDBusConnection::sessionBus(), portalService, tokens, timeoutMs,
                              timeoutMs};
    std::unique_ptr<PipeWireStream> stream;
    int64_t startedNs = 0;

    // Empty when started, else why not.
    QString start()
    {
        bool started = false;
        std::optional<PortalOutcome> failure;
        QObject::connect(&session, &ScreenCastSession::started, [&] {
            started = true;
            startedNs = monotonicNs();
        });
        QObject::connect(&session, &ScreenCastSession::failed,
                         [&](const PortalOutcome &o) { failure = o; });
        session.start(CastCursor::Hidden);
        if (!QTest::qWaitFor([&] { return started || failure; }, timeoutMs))
            return "the session did not start in time";
        if (failure)
            return failure->message;
        if (session.streams().size() != 1)
            return QString("%1 streams").arg(session.streams().size());
        QElapsedTimer clock;
        clock.start();
        auto opened = PipeWireStream::open(session.duplicatePipeWireFd(),
                                           session.streams().first().node, timeoutMs);
        if (!opened)
            return opened.error();
        // The format is agreed within milliseconds, screen static or not.
        if (clock.elapsed() > 1000)
            return QString("the stream opened only after %1 ms").arg(clock.elapsed());
        stream = std::move(opened.value());
        return {};
    }
};

bool setBackground(const char *color)
{
    QProcess swaymsg;
    swaymsg.setStandardOutputFile(QProcess::nullDevice());
    swaymsg.start("swaymsg", {"output", "HEADLESS-1", "bg", color, "solid_color"});
    return swaymsg.waitForFinished(timeoutMs) && swaymsg.exitCode() == 0;
}

QString describe(const PipeWireStream::Problem &problem)
{
    return (problem.kind == PipeWireStream::Problem::TimedOut ? "timed out: " : "ended: ") +
           problem.reason;
}

} // namespace

TEST(PipeWireStream, FirstFrameEqualsGrimAndTheLatestFollowsTheScreen)
{
    REQUIRE_WAYLAND_DESKTOP();
    const long rssBefore = rssKiB();
    ASSERT_FALSE(loadModule("libzorv-pipewire", {"zorv_pipewire_open"}, "test").isEmpty());
    std::printf("figure: RSS added by loading the PipeWire module: %ld KiB\n",
                rssKiB() - rssBefore);

    ASSERT_TRUE(setBackground("#336699"));
    QTest::qWait(300); // the background client redraws
    QTemporaryDir folder;
    const QString png = folder.filePath("grim.png");
    ASSERT_EQ(QProcess::execute("grim", {"-o", "HEADLESS-1", png}), 0);
    const QImage grim = QImage(png).convertToFormat(QImage::Format_RGB32);

    const long rssBeforeStream = rssKiB();
    Cast cast;
    const QString problem = cast.start();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    auto first = cast.stream->latest(timeoutMs);
    ASSERT_TRUE(first) << describe(first.error()).toStdString();
    std::printf("figure: first frame after Start answered: %.1f ms\n",
                (first.value().timeNs - cast.startedNs) / 1e6);
    std::printf("figure: RSS added by a running 1080p stream (libpipewire, buffers): %ld KiB\n",
                rssKiB() - rssBeforeStream);
    const QImage &image = first.value().image;
    EXPECT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_TRUE(image == grim) << "the first frame differs from grim's picture";

    // The copy out of the stream, with the frame already there and its image reused.
    std::vector<double> copies;
    QImage reuse = image.copy();
    for (int i = 0; i < 15; ++i) {
        QElapsedTimer clock;
        clock.start();
        auto again = cast.stream->next(-1, timeoutMs, std::move(reuse));
        copies.push_back(clock.nsecsElapsed() / 1e6);
        ASSERT_TRUE(again);
        EXPECT_EQ(again.value().sequence, first.value().sequence) << "a static screen changed";
        reuse = std::move(again.value().image);
    }
    std::sort(copies.begin(), copies.end());
    std::printf("figure: frame copy at 1920×1080: median %.2f ms\n", copies[copies.size() / 2]);

    // Each change of the screen reaches the latest frame within 200 ms.
    int64_t lastNs = first.value().timeNs;
    for (const auto &[color, rgb] : {std::pair{"#c03020", qRgb(0xc0, 0x30, 0x20)},
                                     std::pair{"#20a040", qRgb(0x20, 0xa0, 0x40)},
                                     std::pair{"#101010", qRgb(0x10, 0x10, 0x10)}}) {
        ASSERT_TRUE(setBackground(color));
        const int64_t changedNs = monotonicNs();
        bool seen = false;
        while (!seen && monotonicNs() - changedNs < 2'000'000'000) {
            auto frame = cast.stream->next(lastNs, 500);
            if (!frame) {
                ASSERT_EQ(frame.error().kind, PipeWireStream::Problem::TimedOut)
                    << frame.error().reason.toStdString();
                continue;
            }
            lastNs = frame.value().timeNs;
            const QImage &shown = frame.value().image;
            seen = shown.pixel(0, 0) == rgb &&
                   shown.pixel(shown.width() - 1, shown.height() / 2) == rgb;
        }
        ASSERT_TRUE(seen) << color << " never reached the stream";
        const double ms = (lastNs - changedNs) / 1e6;
        std::printf("figure: background %s in the stream after %.1f ms\n", color, ms);
        EXPECT_LE(ms, 200) << color;
    }
}

TEST(PipeWireStream, AnAnimated1080pScreenIsReadAt30FramesASecondWithNoneLost)
{
    REQUIRE_WAYLAND_DESKTOP();
    const QString anim = qEnvironmentVariable("ZORV_RECORD_ANIM");
    ASSERT_FALSE(anim.isEmpty()) << "ZORV_RECORD_ANIM names the animated test window";
    QProcess window;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "wayland");
    window.setProcessEnvironment(env);
    window.start(anim, {"0", "0", "1920", "1080", "60", "100000000"});
    ASSERT_TRUE(window.waitForReadyRead(timeoutMs)) << "the animated window never painted";

    Cast cast;
    const QString problem = cast.start();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
    auto first = cast.stream->latest(timeoutMs);
    ASSERT_TRUE(first) << describe(first.error()).toStdString();

    // A consumer that takes every frame once: the sequence must advance by one each time.
    int64_t lastNs = first.value().timeNs;
    uint64_t lastSequence = first.value().sequence;
    QImage reuse = std::move(first.value().image);
    int frames = 0, lost = 0;
    const int64_t beganNs = monotonicNs();
    while (monotonicNs() - beganNs < 3'000'000'000) {
        auto frame = cast.stream->next(lastNs, 1000, std::move(reuse));
        ASSERT_TRUE(frame) << describe(frame.error()).toStdString();
        EXPECT_EQ(frame.value().image.size(), QSize(1920, 1080));
        lost += int(frame.value().sequence - lastSequence - 1);
        lastSequence = frame.value().sequence;
        lastNs = frame.value().timeNs;
        reuse = std::move(frame.value().image);
        ++frames;
    }
    const double fps = frames / ((lastNs - beganNs) / 1e9);
    std::printf("figure: delivered at 1920×1080: %d frames in 3 s, %.1f per second, %d lost\n",
                frames, fps, lost);
    EXPECT_GE(fps, 29);
    EXPECT_EQ(lost, 0);
    window.kill();
    window.waitForFinished();
}

// The portal's backend process, found among the desktop's own processes.
pid_t portalBackend()
{
    QFile pids(qEnvironmentVariable("ZORV_WAYLAND_STATE") + "/pids");
    if (!pids.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &pid : pids.readAll().split('\n')) {
        QFile cmdline("/proc/" + pid.trimmed() + "/cmdline");
        if (!pid.trimmed().isEmpty() && cmdline.open(QIODevice::ReadOnly) &&
            cmdline.readAll().contains("xdg-desktop-portal-wlr"))
            return pid.trimmed().toInt();
    }
    return 0;
}

// Last: it takes the ScreenCast backend down.
TEST(PipeWireStream, AStreamThatCannotStartOrGoOnSaysWhy)
{
    REQUIRE_WAYLAND_DESKTOP();
    Cast cast;
    const QString problem = cast.start();
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();

    // A node that is not the session's stream is refused, after the open's timeout at most.
    QElapsedTimer clock;
    clock.start();
    auto foreign = PipeWireStream::open(cast.session.duplicatePipeWireFd(),
                                        cast.session.streams().first().node + 1000, 2000);
    EXPECT_FALSE(foreign) << "a node that is not the stream was opened";
    if (!foreign)
        std::printf("figure: foreign node refused after %lld ms: %s\n",
                    static_cast<long long>(clock.elapsed()), qPrintable(foreign.error()));
    EXPECT_LT(clock.elapsed(), 3500);

    // Every way the stream ends is reported with its reason, promptly; the last case takes the
    // ScreenCast backend down.
    struct Case {
        const char *what;
        const char *background; // a later session's first frame waits for a change
        std::function<bool(Cast &)> end;
    } cases[] = {
        {"session closed", "#404040",
         [](Cast &c) {
             c.session.close();
             // The wlroots backend tears its stream down at its next frame: the screen changes.
             QTest::qWait(50);
             return setBackground("#445566");
         }},
        {"portal backend killed", "#505050",
         [](Cast &) {
             const pid_t backend = portalBackend();
             return backend > 0 && kill(backend, SIGKILL) == 0;
         }},
    };
    for (const Case &c : cases) {
        Cast ending;
        const QString problem = ending.start();
        ASSERT_TRUE(problem.isEmpty()) << c.what << ": " << problem.toStdString();
        ASSERT_TRUE(setBackground(c.background));
        auto frame = ending.stream->latest(timeoutMs);
        ASSERT_TRUE(frame) << c.what << ": " << describe(frame.error()).toStdString();
        int64_t lastNs = frame.value().timeNs;
        ASSERT_TRUE(c.end(ending)) << c.what;
        clock.restart();
        std::optional<PipeWireStream::Problem> ended;
        while (!ended && clock.elapsed() < 3000) {
            QTest::qWait(10); // lets a close reach the portal
            auto next = ending.stream->next(lastNs, 50);
            if (next)
                lastNs = next.value().timeNs;
            else if (next.error().kind == PipeWireStream::Problem::Ended)
                ended = next.error();
        }
        ASSERT_TRUE(ended) << c.what << ": the stream went on";
        EXPECT_FALSE(ended->reason.isEmpty()) << c.what;
        std::printf("figure: %s, end of the stream seen after %lld ms: %s\n", c.what,
                    static_cast<long long>(clock.elapsed()), qPrintable(ended->reason));
    }
}
