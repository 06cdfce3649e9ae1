#include "recording/RecordingEngine.h"

#include "common/MonotonicClock.h"
#include "output/encoding/VideoFrames.h"
#include "support/Files.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <atomic>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <thread>

using namespace zorv;

namespace
{

// What a fake writer saw; read by the test once the engine has answered.
struct WriterLog {
    VideoWriterConfig config;
    std::vector<int64_t> videoPts;
    int64_t audioFrames = 0;
    bool finished = false;
    std::atomic<bool> failing{false};     // a write has begun to fail …
    std::atomic<bool> holdFailure{false}; // … and waits for this to clear
};

class FakeWriter : public VideoWriter
{
  public:
    FakeWriter(VideoWriterConfig config, std::shared_ptr<WriterLog> log, int failAfter)
        : m_log(std::move(log)), m_failAfter(failAfter), m_file(config.path)
    {
        m_log->config = config;
        m_file.open(QIODevice::WriteOnly);
        m_file.write("header");
        m_file.flush();
    }
    bool writeVideo(const QImage &frame, int64_t ptsUs) override
    {
        if (frame.size() != m_log->config.frameSize)
            return fail(QStringLiteral("wrong frame size"));
        if (m_failAfter >= 0 && int(m_log->videoPts.size()) >= m_failAfter) {
            m_log->failing = true;
            while (m_log->holdFailure.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return fail(QStringLiteral("Could not write: No space left on device"));
        }
        m_log->videoPts.push_back(ptsUs);
        m_file.write("frame");
        m_file.flush();
        return true;
    }
    bool writeAudio(const float *, int frames, int64_t) override
    {
        m_log->audioFrames += frames;
        return true;
    }
    bool finish() override
    {
        m_log->finished = true;
        m_file.close();
        return true;
    }
    QString error() const override { return m_error; }

  private:
    bool fail(const QString &error)
    {
        m_error = error;
        return false;
    }
    std::shared_ptr<WriterLog> m_log;
    int m_failAfter;
    QFile m_file;
    QString m_error;
};

class FakeGrabber : public FrameGrabber
{
  public:
    explicit FakeGrabber(std::vector<int64_t> *grabs = nullptr, QString refusal = {})
        : m_grabs(grabs), m_refusal(std::move(refusal))
    {
    }
    std::optional<QString> open(const std::atomic<bool> &) override
    {
        return m_refusal.isEmpty() ? std::nullopt : std::optional(m_refusal);
    }
    bool grab(QImage &frame, QString &) override
    {
        frame.fill(Qt::darkCyan);
        if (m_grabs)
            m_grabs->push_back(monotonicNs());
        return true;
    }

  private:
    std::vector<int64_t> *m_grabs;
    QString m_refusal;
};

class FakeAudio : public AudioCapture
{
};

// A sound server's source in real time: 10 ms buffers, silent until
// `toneFromNs`, then a 1 kHz tone, each stamped with when it was heard.
class TimedAudio : public AudioCapture
{
  public:
    TimedAudio(Samples samples, const std::atomic<int64_t> &toneFromNs)
        : m_thread([this, samples = std::move(samples), &toneFromNs] {
              std::vector<float> buffer(480 * 2);
              int64_t heard = monotonicNs();
              while (!m_stop.load()) {
                  const int64_t toneFrom = toneFromNs.load();
                  for (int i = 0; i < 480; ++i) {
                      const int64_t t = heard + int64_t(i) * 1'000'000'000 / 48000;
                      const float v =
                          t >= toneFrom ? 0.5f * float(std::sin(2 * M_PI * 1000 * t / 1e9)) : 0;
                      buffer[size_t(2 * i)] = buffer[size_t(2 * i + 1)] = v;
                  }
                  samples(buffer.data(), 480, heard);
                  heard += 10'000'000;
                  std::this_thread::sleep_until(std::chrono::steady_clock::time_point(
                      std::chrono::nanoseconds(heard + 10'000'000)));
              }
          })
    {
    }
    ~TimedAudio() override
    {
        m_stop = true;
        m_thread.join();
    }

  private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

class FakeSources : public RecordingSources
{
  public:
    Expected<std::unique_ptr<FrameGrabber>, QString>
    frameGrabber(const RecordingArea &area) override
    {
        areas.push_back(area);
        if (!grabberError.isEmpty())
            return grabberError;
        return std::unique_ptr<FrameGrabber>(std::make_unique<FakeGrabber>(&grabs, refusal));
    }
    std::unique_ptr<CursorSource> cursor(const RecordingArea &) override { return nullptr; }
    std::unique_ptr<ClickSource> clicks(const RecordingArea &) override { return nullptr; }
    Expected<std::unique_ptr<AudioCapture>, QString> audio(AudioInput input, const QString &,
                                                           AudioCapture::Samples samples,
                                                           AudioCapture::Lost lost) override
    {
        while (hold.load()) // the sound server takes its time
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (input == AudioInput::microphone && microphoneMissing)
            return QStringLiteral("no such microphone");
        if (timedAudio) {
            ++audioOpened;
            return std::unique_ptr<AudioCapture>(
                std::make_unique<TimedAudio>(std::move(samples), toneFromNs));
        }
        if (input == AudioInput::microphone)
            microphoneLost = std::move(lost);
        ++audioOpened;
        return std::unique_ptr<AudioCapture>(std::make_unique<FakeAudio>());
    }

    std::atomic<bool> hold{false};
    QString grabberError;
    QString refusal; // what the grabber's open() answers
    bool microphoneMissing = false;
    AudioCapture::Lost microphoneLost;
    std::vector<RecordingArea> areas;
    std::vector<int64_t> grabs;                 // when each frame was grabbed
    bool timedAudio = false;                    // real-time audio with a tone …
    std::atomic<int64_t> toneFromNs{INT64_MAX}; // … from then
    int audioOpened = 0;
};

struct Fixture {
    QTemporaryDir folder;
    FakeSources sources;
    std::shared_ptr<WriterLog> log = std::make_shared<WriterLog>();
    // Logs of other files, made before their recording starts.
    std::map<QString, std::shared_ptr<WriterLog>> logs;
    int failAfter = -1;
    QString openError;
    QList<DisplayInfo> displays = {{1, QRectF(0, 0, 1920, 1080)}, {2, QRectF(1920, 0, 1920, 1080)}};
    RecordingEngine engine{
        sources, [this]() -> CaptureExpected<QList<DisplayInfo>> { return displays; },
        [this](const VideoWriterConfig &config) -> Expected<std::unique_ptr<VideoWriter>, QString> {
            if (!openError.isEmpty())
                return openError;
            const auto other = logs.find(config.path);
            return std::unique_ptr<VideoWriter>(std::make_unique<FakeWriter>(
                config, other == logs.end() ? log : other->second, failAfter));
        }};

    RecordingConfig config()
    {
        RecordingConfig c;
        c.rect = QRectF(2000, 100, 33, 21);
        c.fps = 100;
        c.outputPath = folder.filePath(QStringLiteral("zorv-test.mp4"));
        return c;
    }
    std::optional<std::optional<QString>> start(const RecordingConfig &c)
    {
        std::optional<std::optional<QString>> answer;
        engine.start(c, [&](std::optional<QString> error) { answer = error; });
        (void)QTest::qWaitFor([&] { return answer.has_value(); }, 5000);
        return answer;
    }
    std::optional<std::optional<QString>> stop()
    {
        std::optional<std::optional<QString>> answer;
        engine.stop([&](std::optional<QString> path) { answer = path; });
        (void)QTest::qWaitFor([&] { return answer.has_value(); }, 10000);
        return answer;
    }
};

TEST(RecordingEngine, RecordsFromTheDisplayHoldingTheCentreAndStopsTwice)
{
    Fixture f;
    const RecordingConfig config = f.config();
    const auto started = f.start(config);
    ASSERT_TRUE(started.has_value());
    EXPECT_FALSE(started->has_value()) << started->value_or(QString()).toStdString();
    ASSERT_EQ(f.sources.areas.size(), 1u);
    EXPECT_EQ(f.sources.areas[0].displayID, 2u);
    EXPECT_EQ(f.log->config.frameSize, QSize(34, 22));
    QTest::qWait(150);

    std::optional<std::optional<QString>> first, second;
    f.engine.stop([&](std::optional<QString> path) { first = path; });
    // A second stop answers at once with the same file, while the first still
    // finishes it; and the next recording need not wait for that.
    f.engine.stop([&](std::optional<QString> path) { second = path; });
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, config.outputPath);
    EXPECT_FALSE(first.has_value());
    RecordingConfig next = config;
    next.outputPath = f.folder.filePath(QStringLiteral("next.mp4"));
    f.logs[next.outputPath] = std::make_shared<WriterLog>();
    const auto nextStarted = f.start(next);
    ASSERT_TRUE(nextStarted.has_value());
    EXPECT_FALSE(nextStarted->has_value());

    ASSERT_TRUE(QTest::qWaitFor([&] { return first.has_value(); }, 5000));
    EXPECT_EQ(*first, config.outputPath);
    EXPECT_TRUE(f.log->finished);
    EXPECT_GE(f.log->videoPts.size(), 5u);
    for (size_t i = 1; i < f.log->videoPts.size(); ++i)
        EXPECT_GT(f.log->videoPts[i], f.log->videoPts[i - 1]);
    EXPECT_EQ(f.stop(), std::optional<QString>(next.outputPath));
    EXPECT_TRUE(f.logs[next.outputPath]->finished);
}

TEST(RecordingEngine, StartFailuresLeaveNoFile)
{
    struct Case {
        const char *name;
        QList<DisplayInfo> displays;
        QString openError;
        QString grabberError;
        QString expected;
        QString refusal;
    };
    const QList<DisplayInfo> one = {{1, QRectF(0, 0, 800, 600)}};
    const Case cases[] = {
        {"no display", {}, {}, {}, QStringLiteral("No display found for the selected area."), {}},
        {"writer",
         one,
         QStringLiteral("no H.264 encoder"),
         {},
         QStringLiteral("Recording failed: no H.264 encoder"),
         {}},
        {"grabber",
         one,
         {},
         QStringLiteral("the X server went away"),
         QStringLiteral("Recording failed: the X server went away"),
         {}},
        // Told as the grabber says it, before any sound is opened or file written.
        {"screen not shared",
         one,
         {},
         {},
         QStringLiteral("Recording cancelled: the screen was not shared."),
         QStringLiteral("Recording cancelled: the screen was not shared.")},
    };
    for (const Case &c : cases) {
        Fixture f;
        f.displays = c.displays;
        f.openError = c.openError;
        f.sources.grabberError = c.grabberError;
        f.sources.refusal = c.refusal;
        RecordingConfig config = f.config();
        config.systemAudio = true;
        const auto started = f.start(config);
        ASSERT_TRUE(started.has_value()) << c.name;
        EXPECT_EQ(*started, std::optional<QString>(c.expected)) << c.name;
        EXPECT_FALSE(QFile::exists(config.outputPath)) << c.name;
        if (!c.refusal.isEmpty()) {
            EXPECT_EQ(f.sources.audioOpened, 0) << c.name;
        }
        const auto stopped = f.stop();
        ASSERT_TRUE(stopped.has_value()) << c.name;
        EXPECT_FALSE(stopped->has_value()) << c.name;
    }
}

TEST(RecordingEngine, StopDuringStartEndsTheStart)
{
    Fixture f;
    f.sources.hold = true;
    RecordingConfig config = f.config();
    config.systemAudio = true;
    std::optional<std::optional<QString>> started;
    std::optional<std::optional<QString>> stopped;
    f.engine.start(config, [&](std::optional<QString> error) { started = error; });
    f.engine.stop([&](std::optional<QString> path) { stopped = path; });
    EXPECT_FALSE(stopped.has_value()); // it waits for the start to end
    f.sources.hold = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return started && stopped; }, 5000));
    EXPECT_EQ(*started, std::optional<QString>(RecordingEngine::stoppedBeforeStartText()));
    EXPECT_FALSE(stopped->has_value());
    EXPECT_FALSE(QFile::exists(config.outputPath));
    // The engine is free for the next recording.
    const auto again = f.start(config);
    ASSERT_TRUE(again.has_value());
    EXPECT_FALSE(again->has_value());
    EXPECT_TRUE(f.stop().has_value());
}

TEST(RecordingEngine, AWriterFailureStopsTheRecordingOnce)
{
    // Failing at the first frame, the failure comes while the start is still
    // answering; it must still be told, and only after the start.
    for (const int failAfter : {0, 5}) {
        Fixture f;
        f.failAfter = failAfter;
        bool answered = false;
        std::vector<std::pair<QString, bool>> reports; // reason, start answered by then
        QObject::connect(&f.engine, &Recorder::systemStopped,
                         [&](const QString &reason) { reports.emplace_back(reason, answered); });
        const RecordingConfig config = f.config();
        f.engine.start(config, [&](std::optional<QString>) { answered = true; });
        ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 3000)) << failAfter;
        QTest::qWait(200); // frames keep coming due; no second report
        ASSERT_EQ(reports.size(), 1u) << failAfter;
        EXPECT_EQ(reports[0].first, QStringLiteral("the disk is full")) << failAfter;
        EXPECT_TRUE(reports[0].second) << failAfter;
        const auto stopped = f.stop();
        ASSERT_TRUE(stopped.has_value()) << failAfter;
        // What was written is kept; a file without a frame is no recording.
        EXPECT_EQ(stopped->has_value(), failAfter > 0) << failAfter;
        EXPECT_EQ(QFile::exists(config.outputPath), failAfter > 0) << failAfter;
        EXPECT_EQ(f.log->videoPts.size(), size_t(failAfter));
        EXPECT_TRUE(f.log->finished) << failAfter;
        EXPECT_EQ(reports.size(), 1u) << failAfter;
    }
}

TEST(RecordingEngine, AStoppedRecordingsFailureLeavesTheNextRunning)
{
    Fixture f;
    f.failAfter = 3;
    f.log->holdFailure = true;
    QSignalSpy systemStopped(&f.engine, &Recorder::systemStopped);
    const RecordingConfig first = f.config();
    ASSERT_TRUE(f.start(first).has_value());
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.log->failing.load(); }, 3000));
    // Stopped while its last write is failing; the next starts meanwhile.
    std::optional<std::optional<QString>> firstStopped;
    f.engine.stop([&](std::optional<QString> path) { firstStopped = path; });
    f.failAfter = -1;
    RecordingConfig next = first;
    next.outputPath = f.folder.filePath(QStringLiteral("next.mp4"));
    f.logs[next.outputPath] = std::make_shared<WriterLog>();
    const auto started = f.start(next);
    ASSERT_TRUE(started.has_value());
    EXPECT_FALSE(started->has_value());
    f.log->holdFailure = false;
    ASSERT_TRUE(QTest::qWaitFor([&] { return firstStopped.has_value(); }, 5000));
    QTest::qWait(100);
    EXPECT_EQ(systemStopped.size(), 0);
    EXPECT_EQ(*firstStopped, first.outputPath);
    EXPECT_EQ(f.stop(), std::optional<QString>(next.outputPath));
    EXPECT_TRUE(f.logs[next.outputPath]->finished);
}

TEST(RecordingEngine, AMissingOrLostMicrophoneIsANoticeNotAFailure)
{
    Fixture f;
    f.sources.microphoneMissing = true;
    QSignalSpy notices(&f.engine, &Recorder::notice);
    QSignalSpy systemStopped(&f.engine, &Recorder::systemStopped);
    RecordingConfig config = f.config();
    config.systemAudio = true;
    config.captureMicrophone = true;
    const auto started = f.start(config);
    ASSERT_TRUE(started.has_value());
    EXPECT_FALSE(started->has_value());
    ASSERT_TRUE(notices.size() == 1 || notices.wait(1000));
    EXPECT_TRUE(notices.at(0).at(0).toString().contains(QStringLiteral("microphone")));
    EXPECT_TRUE(f.log->config.audio); // system audio still has its track
    f.stop();
    EXPECT_GT(f.log->audioFrames, 0);
    EXPECT_EQ(systemStopped.size(), 0);

    Fixture g;
    QSignalSpy lostNotices(&g.engine, &Recorder::notice);
    config.outputPath = g.folder.filePath(QStringLiteral("second.mp4"));
    ASSERT_TRUE(g.start(config).has_value());
    ASSERT_TRUE(g.sources.microphoneLost);
    std::thread([&] { g.sources.microphoneLost(QStringLiteral("unplugged")); }).join();
    ASSERT_TRUE(lostNotices.wait(1000));
    EXPECT_TRUE(lostNotices.at(0).at(0).toString().contains(QStringLiteral("unplugged")));
    const auto stopped = g.stop();
    ASSERT_TRUE(stopped.has_value());
    EXPECT_EQ(*stopped, config.outputPath);
}

// The whole path with the video module: every grabbed frame is in the file at
// its grab time, and a tone sounds in the audio track when it was heard.
TEST(RecordingEngine, TheFileHoldsEveryFrameAndTheToneInTime)
{
    Fixture f;
    f.sources.timedAudio = true;
    RecordingEngine engine(
        f.sources, [&]() -> CaptureExpected<QList<DisplayInfo>> { return f.displays; },
        &VideoWriter::open);
    RecordingConfig config = f.config();
    config.fps = 30;
    config.systemAudio = true;
    std::optional<std::optional<QString>> started;
    engine.start(config, [&](std::optional<QString> error) { started = error; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.has_value(); }, 10000));
    ASSERT_FALSE(started->has_value()) << started->value().toStdString();
    f.sources.toneFromNs = monotonicNs() + 500'000'000;
    QTest::qWait(1500);
    std::optional<std::optional<QString>> stopped;
    engine.stop([&](std::optional<QString> path) { stopped = path; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return stopped.has_value(); }, 20000));
    ASSERT_EQ(*stopped, config.outputPath);

    QString error;
    auto reader = VideoFrameReader::open(config.outputPath, {}, &error);
    ASSERT_TRUE(reader) << error.toStdString();
    EXPECT_EQ(reader->info().size, QSize(34, 22));
    std::vector<int64_t> pts;
    while (const auto frame = reader->next())
        pts.push_back(frame->ptsUs);
    ASSERT_EQ(pts.size(), f.sources.grabs.size());
    ASSERT_GE(pts.size(), 40u);
    // Where the file's time 0 lies on the clock: each frame is stamped with
    // its grab, so the typical difference of the two tells, even when a busy
    // machine holds up some grabs.
    std::vector<int64_t> offsets;
    for (size_t i = 0; i < pts.size(); ++i)
        offsets.push_back(f.sources.grabs[i] / 1000 - pts[i]);
    std::vector<int64_t> sorted = offsets;
    std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(sorted.size() / 2),
                     sorted.end());
    const int64_t zeroUs = sorted[sorted.size() / 2];
    for (size_t i = 0; i < pts.size(); ++i) // within half a frame of its grab
        EXPECT_NEAR(double(offsets[i]), double(zeroUs), 16000) << i;

    QProcess decode;
    decode.start(QStringLiteral("ffmpeg"), {"-v", "error", "-i", config.outputPath, "-map", "0:a",
                                            "-ac", "1", "-f", "f32le", "-"});
    ASSERT_TRUE(decode.waitForFinished(30000));
    const QByteArray pcm = decode.readAllStandardOutput();
    const auto *samples = reinterpret_cast<const float *>(pcm.constData());
    const qsizetype count = pcm.size() / qsizetype(sizeof(float));
    qsizetype onset = 0;
    while (onset < count && std::abs(samples[onset]) < 0.05f)
        ++onset;
    ASSERT_LT(onset, count) << "no tone in the audio track";
    // The file's time 0 is the first frame's; the tone must sound where it
    // was heard, well within a frame.
    const double expected = double(f.sources.toneFromNs.load() / 1000 - zeroUs) / 1e6;
    EXPECT_NEAR(double(onset) / 48000, expected, 0.005);
}

} // namespace
