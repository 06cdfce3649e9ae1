#include "recording/RecordingEngine.h"

#include "support/Files.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <gtest/gtest.h>
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
        if (m_failAfter >= 0 && int(m_log->videoPts.size()) >= m_failAfter)
            return fail(QStringLiteral("Could not write: No space left on device"));
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
    bool grab(QImage &frame, QString &) override
    {
        frame.fill(Qt::darkCyan);
        return true;
    }
};

class FakeAudio : public AudioCapture
{
};

class FakeSources : public RecordingSources
{
  public:
    Expected<std::unique_ptr<FrameGrabber>, QString>
    frameGrabber(const RecordingArea &area) override
    {
        while (hold.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        areas.push_back(area);
        if (!grabberError.isEmpty())
            return grabberError;
        return std::unique_ptr<FrameGrabber>(std::make_unique<FakeGrabber>());
    }
    std::unique_ptr<CursorSource> cursor(const RecordingArea &) override { return nullptr; }
    std::unique_ptr<ClickSource> clicks(const RecordingArea &) override { return nullptr; }
    Expected<std::unique_ptr<AudioCapture>, QString> audio(AudioInput input, const QString &,
                                                           AudioCapture::Samples,
                                                           AudioCapture::Lost lost) override
    {
        if (input == AudioInput::microphone && microphoneMissing)
            return QStringLiteral("no such microphone");
        if (input == AudioInput::microphone)
            microphoneLost = std::move(lost);
        ++audioOpened;
        return std::unique_ptr<AudioCapture>(std::make_unique<FakeAudio>());
    }

    std::atomic<bool> hold{false};
    QString grabberError;
    bool microphoneMissing = false;
    AudioCapture::Lost microphoneLost;
    std::vector<RecordingArea> areas;
    int audioOpened = 0;
};

struct Fixture {
    QTemporaryDir folder;
    FakeSources sources;
    std::shared_ptr<WriterLog> log = std::make_shared<WriterLog>();
    int failAfter = -1;
    QString openError;
    QList<DisplayInfo> displays = {{1, QRectF(0, 0, 1920, 1080)}, {2, QRectF(1920, 0, 1920, 1080)}};
    RecordingEngine engine{
        sources, [this]() -> CaptureExpected<QList<DisplayInfo>> { return displays; },
        [this](const VideoWriterConfig &config) -> Expected<std::unique_ptr<VideoWriter>, QString> {
            if (!openError.isEmpty())
                return openError;
            return std::unique_ptr<VideoWriter>(
                std::make_unique<FakeWriter>(config, log, failAfter));
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

    const auto first = f.stop();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, config.outputPath);
    EXPECT_TRUE(f.log->finished);
    EXPECT_GE(f.log->videoPts.size(), 5u);
    for (size_t i = 1; i < f.log->videoPts.size(); ++i)
        EXPECT_GT(f.log->videoPts[i], f.log->videoPts[i - 1]);

    // The second stop answers at once, with the same file.
    std::optional<std::optional<QString>> second;
    f.engine.stop([&](std::optional<QString> path) { second = path; });
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(*second, config.outputPath);
}

TEST(RecordingEngine, StartFailuresLeaveNoFile)
{
    struct Case {
        const char *name;
        QList<DisplayInfo> displays;
        QString openError;
        QString grabberError;
        QString expected;
    };
    const QList<DisplayInfo> one = {{1, QRectF(0, 0, 800, 600)}};
    const Case cases[] = {
        {"no display", {}, {}, {}, QStringLiteral("No display found for the selected area.")},
        {"writer",
         one,
         QStringLiteral("no H.264 encoder"),
         {},
         QStringLiteral("Recording failed: no H.264 encoder")},
        {"grabber",
         one,
         {},
         QStringLiteral("the X server went away"),
         QStringLiteral("Recording failed: the X server went away")},
    };
    for (const Case &c : cases) {
        Fixture f;
        f.displays = c.displays;
        f.openError = c.openError;
        f.sources.grabberError = c.grabberError;
        const RecordingConfig config = f.config();
        const auto started = f.start(config);
        ASSERT_TRUE(started.has_value()) << c.name;
        EXPECT_EQ(*started, std::optional<QString>(c.expected)) << c.name;
        EXPECT_FALSE(QFile::exists(config.outputPath)) << c.name;
        const auto stopped = f.stop();
        ASSERT_TRUE(stopped.has_value()) << c.name;
        EXPECT_FALSE(stopped->has_value()) << c.name;
    }
}

TEST(RecordingEngine, StopDuringStartEndsTheStart)
{
    Fixture f;
    f.sources.hold = true;
    const RecordingConfig config = f.config();
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
    Fixture f;
    f.failAfter = 5;
    QSignalSpy systemStopped(&f.engine, &Recorder::systemStopped);
    const RecordingConfig config = f.config();
    ASSERT_TRUE(f.start(config).has_value());
    ASSERT_TRUE(systemStopped.wait(3000));
    QTest::qWait(200); // frames keep coming due; no second report
    ASSERT_EQ(systemStopped.size(), 1);
    EXPECT_EQ(systemStopped.at(0).at(0).toString(), QStringLiteral("the disk is full"));
    const auto stopped = f.stop();
    ASSERT_TRUE(stopped.has_value());
    EXPECT_EQ(*stopped, config.outputPath); // what was written is kept
    EXPECT_EQ(f.log->videoPts.size(), 5u);
    EXPECT_TRUE(f.log->finished);
    EXPECT_EQ(systemStopped.size(), 1);
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

} // namespace
