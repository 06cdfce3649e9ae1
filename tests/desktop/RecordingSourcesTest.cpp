#include "DesktopSupport.h"

#include "common/MonotonicClock.h"
#include "platform/Platform.h"
#include "platform/x11/X11FrameGrabber.h"

#include <QFile>
#include <QScreen>
#include <QTemporaryDir>
#include <cmath>
#include <mutex>

using namespace zorv;
using namespace zorv::desktop;

namespace
{
RecordingSources &sources()
{
    backend(); // the X11 platform
    return Platform::shared().recordingSources();
}

RecordingArea areaOf(const QRectF &rect, double scale, QSize pixels = {})
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return {geometry().displayID(screen), rect, scale,
            pixels.isEmpty() ? (rect.size() * scale).toSize() : pixels};
}

void moveMouse(QPoint at)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("mousemove"), QStringLiteral("--sync"),
                                    QString::number(at.x()), QString::number(at.y())});
}

bool needsSoundServer()
{
    return qEnvironmentVariableIsEmpty("PULSE_SERVER");
}
} // namespace

TEST(RecordingSources, FramesAreTheScreensPixelsWithoutOwnWindows)
{
    REQUIRE_DESKTOP();
    HelperWindow other(QStringLiteral("zorv-recorded"), QRect(200, 200, 500, 360));
    ASSERT_TRUE(other.ready());
    const QRect client = other.clientGeometry();
    const QRect rect(client.x() + 10, client.y() + 10, 301, 201);
    // The engine may round a size to what its encoder takes: a pixel less here.
    const RecordingArea area = areaOf(QRectF(rect), 1.0, QSize(300, 200));
    auto made = sources().frameGrabber(area);
    ASSERT_TRUE(made) << made.error().toStdString();
    FrameGrabber &grabber = *made.value();
    auto *x11 = dynamic_cast<X11FrameGrabber *>(&grabber);
    ASSERT_TRUE(x11);

    QImage frame;
    QString error;
    ASSERT_TRUE(grabber.grab(frame, error)) << error.toStdString();
    keep(frame, QStringLiteral("recording-frame"));
    EXPECT_EQ(frame.size(), QSize(300, 200));
    EXPECT_EQ(frame.format(), QImage::Format_RGB32);
    EXPECT_FALSE(x11->lastComposed());
    EXPECT_EQ(patternMismatches(frame, frame.rect(), QPoint(10, 10)), 0);
    const QImage captured =
        captureService().capture(QRectF(rect.topLeft(), QSizeF(300, 200))).value();
    EXPECT_EQ(frame, captured.convertToFormat(QImage::Format_RGB32));

    // The same buffer is written again: no new memory per frame.
    const uchar *bits = frame.constBits();
    ASSERT_TRUE(grabber.grab(frame, error));
    EXPECT_EQ(frame.constBits(), bits);

    // One of our windows over the area is left out; beside it, it costs nothing.
    const QRgb magenta = qRgb(255, 0, 255);
    auto beside = showOwnWindow(QRect(900, 600, 120, 80), Qt::magenta);
    ASSERT_TRUE(beside);
    ASSERT_TRUE(grabber.grab(frame, error));
    EXPECT_FALSE(x11->lastComposed());
    auto over = showOwnWindow(QRect(rect.x() + 50, rect.y() + 40, 120, 80), Qt::magenta);
    ASSERT_TRUE(over);
    ASSERT_GT(countColour(over->screen()->grabWindow(0).toImage(), magenta), 120 * 80);
    ASSERT_TRUE(grabber.grab(frame, error));
    keep(frame, QStringLiteral("recording-frame-own-window-left-out"));
    EXPECT_TRUE(x11->lastComposed());
    EXPECT_EQ(countColour(frame, magenta), 0);
    EXPECT_EQ(patternMismatches(frame, frame.rect(), QPoint(10, 10)), 0);
}

TEST(RecordingSources, CursorHasItsShapeAndHotSpotAtThePointer)
{
    REQUIRE_DESKTOP();
    // A shape no theme has: 30 × 18 with its hot spot at 5, 7.
    QPixmap shape(30, 18);
    shape.fill(Qt::red);
    auto window = showOwnWindow(QRect(100, 100, 400, 300), Qt::white);
    ASSERT_TRUE(window);
    window->setCursor(QCursor(shape, 5, 7));
    QTest::qWait(100);
    const QPoint pointer(250, 220);
    moveMouse(pointer);

    const struct {
        double scale;
        int factor;
    } rows[] = {{1.0, 1}, {2.0, 2}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.scale);
        const QRect rect(120, 150, 300, 200);
        auto cursor = sources().cursor(areaOf(QRectF(rect), row.scale));
        ASSERT_TRUE(cursor);
        std::optional<CursorSnapshot> snapshot;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return (snapshot = cursor->current()) && snapshot->image.width() != 0; }, 2000));
        EXPECT_TRUE(snapshot->visible);
        EXPECT_EQ(snapshot->image.size(), QSize(30, 18) * row.factor);
        EXPECT_EQ(snapshot->hotspot, QPoint(5, 7) * row.factor);
        EXPECT_EQ(snapshot->position, (pointer - rect.topLeft()) * row.factor);
        EXPECT_EQ(snapshot->image.pixel(snapshot->image.rect().center()), qRgb(255, 0, 0));

        // Moved, the same shape; then off the window, another one.
        moveMouse(pointer + QPoint(40, 30));
        snapshot = cursor->current();
        ASSERT_TRUE(snapshot);
        EXPECT_EQ(snapshot->position, (pointer + QPoint(40, 30) - rect.topLeft()) * row.factor);
        moveMouse(QPoint(700, 700));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                snapshot = cursor->current();
                return snapshot && snapshot->image.size() != QSize(30, 18) * row.factor;
            },
            2000));
        moveMouse(pointer);
    }
}

TEST(RecordingSources, ClicksArriveWithTheirPositionAndTimeButNotTheWheel)
{
    REQUIRE_DESKTOP();
    auto window = showOwnWindow(QRect(100, 100, 400, 300), Qt::white);
    ASSERT_TRUE(window);
    const QRect rect(50, 60, 800, 600);
    auto clicks = sources().clicks(areaOf(QRectF(rect), 1.0));
    ASSERT_TRUE(clicks);
    const int64_t before = monotonicNs();
    moveMouse(QPoint(300, 250));
    run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("1")});
    run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("4")});
    moveMouse(QPoint(420, 330));
    run(QStringLiteral("xdotool"), {QStringLiteral("click"), QStringLiteral("3")});
    QList<PointerClick> seen;
    [[maybe_unused]] const bool two = QTest::qWaitFor(
        [&] {
            seen += clicks->takeClicks();
            return seen.size() >= 2;
        },
        2000);
    QTest::qWait(100);
    seen += clicks->takeClicks();
    const int64_t after = monotonicNs();
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].button, 1);
    EXPECT_EQ(seen[0].position, QPoint(250, 190));
    EXPECT_EQ(seen[1].button, 3);
    EXPECT_EQ(seen[1].position, QPoint(370, 270));
    EXPECT_GT(seen[0].timeNs, before);
    EXPECT_LE(seen[0].timeNs, seen[1].timeNs);
    EXPECT_LT(seen[1].timeNs, after);
}

namespace
{
// What an audio source delivered, gathered from the sound server's thread.
struct Received {
    std::mutex mutex;
    QList<int64_t> times;
    QList<int> frames;
    QList<int64_t> deliveredAt;
    float peak = 0;
    int64_t firstLoudNs = 0;
    QStringList lost;

    AudioCapture::Samples samples()
    {
        return [this](const float *data, int count, int64_t captureTimeNs) {
            const int64_t now = monotonicNs();
            const std::lock_guard lock(mutex);
            times.append(captureTimeNs);
            frames.append(count);
            deliveredAt.append(now);
            for (int i = 0; i < count * AudioCapture::channels; ++i) {
                if (std::abs(data[i]) > 0.1f && !firstLoudNs)
                    firstLoudNs = captureTimeNs + int64_t(i / 2) * 1'000'000'000 / 48000;
                peak = std::max(peak, std::abs(data[i]));
            }
        };
    }
    AudioCapture::Lost lostCallback()
    {
        return [this](const QString &reason) {
            const std::lock_guard lock(mutex);
            lost.append(reason);
        };
    }
    bool loud()
    {
        const std::lock_guard lock(mutex);
        return peak > 0.1f;
    }
};

// Raw float stereo at 48 kHz: 0.2 s of silence, then a 440 Hz tone at half scale.
QString writeTone(const QTemporaryDir &dir, double seconds)
{
    const QString path = dir.filePath(QStringLiteral("tone.raw"));
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QList<float> samples;
    for (int i = 0; i < int(seconds * 48000); ++i) {
        const float v = i < 9600 ? 0.0f : 0.5f * float(std::sin(2 * M_PI * 440 * i / 48000.0));
        samples << v << v;
    }
    file.write(reinterpret_cast<const char *>(samples.constData()),
               qint64(samples.size() * sizeof(float)));
    return path;
}
} // namespace

TEST(RecordingSources, SystemAudioHearsAToneWithStampsThatFollowTheClock)
{
    REQUIRE_DESKTOP();
    if (needsSoundServer())
        GTEST_SKIP() << "no sound server: run inside scripts/desktop.sh without --no-audio";
    Received received;
    auto capture = sources().audio(AudioInput::systemOutput, QString(), received.samples(),
                                   received.lostCallback());
    ASSERT_TRUE(capture) << capture.error().toStdString();
    QTemporaryDir dir;
    const QString tone = writeTone(dir, 6.0);
    QProcess player;
    const int64_t played = monotonicNs();
    player.start(QStringLiteral("pacat"),
                 {QStringLiteral("--playback"), QStringLiteral("--device=vd_sink"),
                  QStringLiteral("--format=float32le"), QStringLiteral("--rate=48000"),
                  QStringLiteral("--channels=2"), QStringLiteral("--latency-msec=20"), tone});
    // The null sink's monitor starts late on this desktop (about 2 s).
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.loud(); }, 10000));
    QTest::qWait(1000); // then it runs in real time, buffer by buffer
    player.kill();
    player.waitForFinished();
    capture.value().reset();

    const std::lock_guard lock(received.mutex);
    ASSERT_GT(received.times.size(), 10);
    // The tone starts 0.2 s into the file: it cannot be heard before that.
    EXPECT_GT(received.firstLoudNs, played + 200'000'000);
    int64_t worstStep = 0;
    for (qsizetype i = 0; i < received.times.size(); ++i) {
        // Heard before it was handed over, and not long before.
        EXPECT_LE(received.times[i], received.deliveredAt[i]);
        EXPECT_GT(received.times[i], received.deliveredAt[i] - 3'000'000'000);
        if (i > 0) {
            const int64_t expected =
                received.times[i - 1] + int64_t(received.frames[i - 1]) * 1'000'000'000 / 48000;
            worstStep = std::max(worstStep, std::abs(received.times[i] - expected));
        }
    }
    // One buffer follows the other: stamps do not jump by more than a few ms.
    EXPECT_LT(worstStep, 5'000'000) << "worst step " << worstStep / 1e6 << " ms";
    EXPECT_TRUE(received.lost.isEmpty());
}

TEST(RecordingSources, MicrophonesRecordFailClearlyWhenMissingAndSayWhenTheyGo)
{
    REQUIRE_DESKTOP();
    if (needsSoundServer())
        GTEST_SKIP() << "no sound server: run inside scripts/desktop.sh without --no-audio";
    {
        Received received; // the default microphone: the desktop's sine source
        auto capture = sources().audio(AudioInput::microphone, QString(), received.samples(),
                                       received.lostCallback());
        ASSERT_TRUE(capture) << capture.error().toStdString();
        EXPECT_TRUE(QTest::qWaitFor([&] { return received.loud(); }, 5000));
    }

    Received nothing;
    const auto missing = sources().audio(AudioInput::microphone, QStringLiteral("zorv_no_such_mic"),
                                         nothing.samples(), nothing.lostCallback());
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.error().contains(QStringLiteral("zorv_no_such_mic")))
        << missing.error().toStdString();

    // A microphone that is unplugged while it records.
    const QByteArray module =
        run(QStringLiteral("pactl"),
            {QStringLiteral("load-module"), QStringLiteral("module-null-source"),
             QStringLiteral("source_name=zorv_unplugged")})
            .trimmed();
    ASSERT_FALSE(module.isEmpty());
    Received gone;
    auto capture = sources().audio(AudioInput::microphone, QStringLiteral("zorv_unplugged"),
                                   gone.samples(), gone.lostCallback());
    run(QStringLiteral("pactl"), {QStringLiteral("unload-module"), QString::fromLatin1(module)});
    ASSERT_TRUE(capture) << capture.error().toStdString();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const std::lock_guard lock(gone.mutex);
            return !gone.lost.isEmpty();
        },
        3000));
    QTest::qWait(200);
    const std::lock_guard lock(gone.mutex);
    EXPECT_EQ(gone.lost.size(), 1);
}

TEST(RecordingSources, FramesComeFromTheSecondDisplayAndStopWhenItIsUnplugged)
{
    REQUIRE_DESKTOP();
    const QList<QScreen *> screens = QGuiApplication::screens();
    if (screens.size() < 2 || screens[1]->name() != QLatin1String("M2"))
        GTEST_SKIP() << "needs two monitors (desktop.sh --monitors 1920x1080,1920x1080)";
    const QRect onSecond = screens[1]->geometry();
    HelperWindow other(QStringLiteral("zorv-second-display"),
                       QRect(onSecond.x() + 100, 150, 400, 300));
    ASSERT_TRUE(other.ready());
    const QRect rect(other.clientGeometry().topLeft(), QSize(200, 120));
    const RecordingArea area{geometry().displayID(screens[1]), QRectF(rect), 1.0, rect.size()};
    auto made = sources().frameGrabber(area);
    ASSERT_TRUE(made) << made.error().toStdString();
    QImage frame;
    QString error;
    ASSERT_TRUE(made.value()->grab(frame, error)) << error.toStdString();
    EXPECT_EQ(patternMismatches(frame, frame.rect()), 0);

    const QSize size = onSecond.size();
    const QString layout = QStringLiteral("%1/%2x%3/%4+%5+0")
                               .arg(size.width())
                               .arg(size.width() * 254 / 960)
                               .arg(size.height())
                               .arg(size.height() * 254 / 960)
                               .arg(onSecond.x());
    run(QStringLiteral("xrandr"), {QStringLiteral("--delmonitor"), QStringLiteral("M2")});
    const bool stopped = QTest::qWaitFor([&] { return !made.value()->grab(frame, error); }, 3000);
    run(QStringLiteral("xrandr"),
        {QStringLiteral("--setmonitor"), QStringLiteral("M2"), layout, QStringLiteral("none")});
    const bool back = QTest::qWaitFor([] { return QGuiApplication::screens().size() >= 2; }, 3000);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(back);
    EXPECT_EQ(error, QStringLiteral("the recorded display was disconnected"));
}
