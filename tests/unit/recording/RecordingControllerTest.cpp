#include "recording/RecordingController.h"
#include "output/history/HistoryStore.h"
#include "support/Files.h"
#include "support/TemporarySettings.h"
#include "support/fake/FakeRecorder.h"
#include "support/fake/FakeWindowSystem.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QtConcurrent>
#include <gtest/gtest.h>

namespace zorv::test
{
namespace
{

const QList<RecordingScreen> twoScreens{
    {QRectF(0, 0, 1920, 1080), QRectF(0, 32, 1920, 1048), 1.0},
    {QRectF(1920, 0, 1280, 800), QRectF(1920, 0, 1280, 800), 2.0},
};

struct RecordingWorld : ::testing::Test {
    // Called again by table-driven tests: each round gets a history of its own.
    void SetUp() override
    {
        controller.reset();
        toasts.clear();
        panels.clear();
        sounds = beeps = 0;
        history =
            std::make_unique<HistoryStore>(temp.dir.filePath(QString::number(++round)), settings());
        RecordingServices services;
        services.recorder = &recorder;
        services.settings = &settings();
        services.windows = &windows;
        services.screens = [] { return twoScreens; };
        services.pointer = [] { return QPointF(10, 10); };
        services.toast = [this](const QString &message, const QString &, double) {
            toasts.append(message);
        };
        refuseGIFs = false;
        services.recordFile = [this](const QString &path, CaptureKind kind, const QString &name,
                                     QSizeF size) {
            if (refuseGIFs && kind == CaptureKind::gif)
                return QtFuture::makeReadyFuture(std::optional<HistoryItem>());
            return history->recordFileAsync(path, kind, name, size);
        };
        services.showQuickAccess = [this](QuickAccessPayload payload) {
            panels.append(std::move(payload));
        };
        services.playSound = [this] {
            ++sounds;
            return true;
        };
        services.beep = [this] { ++beeps; };
        services.thumbnail = [](const QString &path) {
            return QtConcurrent::run([path]() -> std::optional<QImage> {
                if (!QFileInfo(path).isFile())
                    return std::nullopt;
                QImage image(60, 40, QImage::Format_RGB32);
                image.fill(Qt::red);
                return image;
            });
        };
        services.now = [] { return QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9)); };
        services.temporaryDirectory = temp.dir.filePath("tmp");
        QDir().mkpath(services.temporaryDirectory);
        gifCalls = 0;
        makeGIF = writeGIF;
        services.makeGIF = [this](const QString &video, int fps, int maxWidth,
                                  const QString &folder, const GIFEncoder::Progress &progress,
                                  const std::atomic<bool> *cancel) {
            ++gifCalls;
            return makeGIF({video, fps, maxWidth, folder, progress, cancel});
        };
        progressToasts.clear();
        closedProgress = 0;
        services.progressToast = [this](const QString &message, const QString &, double fraction,
                                        std::function<void()> cancel) {
            progressToasts.append({message, fraction, sinceStop.elapsed()});
            cancelConversion = std::move(cancel);
        };
        services.closeProgressToast = [this] { ++closedProgress; };
        controller = std::make_unique<RecordingController>(services);
    }

    AppSettings &settings() { return *temp.settings; }
    QString outputPath() const { return recorder.starts.last().outputPath; }
    void startRecording(const QRectF &rect = QRectF(100, 100, 640, 360))
    {
        controller->start(rect, CaptureKind::recording);
        recorder.answerStart();
    }
    // Stops answered and the first frame made.
    void settle()
    {
        recorder.answerStops();
        QTest::qWait(50);
        QCoreApplication::processEvents();
    }

    // What the converter was asked, on the converting thread.
    struct GIFRequest {
        QString video;
        int fps;
        int maxWidth;
        QString folder;
        const GIFEncoder::Progress &progress;
        const std::atomic<bool> *cancel;
    };
    using GIFResult = Expected<QString, GIFFailure>;
    static GIFResult writeGIF(const GIFRequest &request)
    {
        const QString path = QDir(request.folder).filePath(QStringLiteral("zorv-1.gif"));
        writeFile(path, "gif bytes");
        return path;
    }
    // Reports frames every 10 ms until cancelled (or 10 s).
    static GIFResult slowGIF(const GIFRequest &request)
    {
        for (int i = 0; i < 1000; ++i) {
            if (*request.cancel)
                return GIFFailure{GIFError::cancelled, QStringLiteral("cancelled")};
            request.progress(i, 1000);
            QThread::msleep(10);
        }
        return writeGIF(request);
    }
    // A GIF recording of `rect`, stopped, its video handed to the converter.
    void recordGIF(const QRectF &rect = QRectF(1800, 100, 400, 200))
    {
        controller->start(rect, CaptureKind::gif);
        recorder.answerStart();
        controller->stop();
        sinceStop.start();
        recorder.answerStops();
    }
    bool waitFor(const std::function<bool()> &done) { return QTest::qWaitFor(done, 10000); }

    TemporarySettings temp;
    FakeWindowSystem windows;
    FakeRecorder recorder;
    std::unique_ptr<HistoryStore> history;
    std::unique_ptr<RecordingController> controller;
    QStringList toasts;
    QList<QuickAccessPayload> panels;
    int sounds = 0;
    int beeps = 0;
    int round = 0;
    std::function<GIFResult(const GIFRequest &)> makeGIF;
    std::atomic<int> gifCalls = 0;
    bool refuseGIFs = false;
    struct ProgressShown {
        QString message;
        double fraction;
        qint64 ms; // since the stop
    };
    QList<ProgressShown> progressToasts;
    std::function<void()> cancelConversion;
    int closedProgress = 0;
    QElapsedTimer sinceStop;
};

TEST_F(RecordingWorld, StartRecordsTheAreaWithTheSettingsAndFinishesIntoTheHistory)
{
    settings().recordingFPS.set(30);
    settings().recordingCodec.set(RecordingCodec::hevc);
    settings().recordingCapturesMicrophone.set(true);
    settings().microphoneDeviceID.set(QStringLiteral("alsa_input.usb"));
    QSignalSpy changed(controller.get(), &RecordingController::recordingChanged);

    startRecording();
    ASSERT_EQ(recorder.starts.size(), 1);
    const RecordingConfig &config = recorder.starts.last();
    EXPECT_EQ(config.fps, 30);
    EXPECT_EQ(config.codec, VideoCodec::hevc);
    EXPECT_TRUE(config.captureMicrophone);
    EXPECT_EQ(config.microphoneDeviceID, QStringLiteral("alsa_input.usb"));
    EXPECT_EQ(QFileInfo(config.outputPath).absolutePath(), temp.dir.filePath("tmp"));
    EXPECT_TRUE(RecordingController::isOutputName(QFileInfo(config.outputPath).fileName()));
    EXPECT_TRUE(controller->isRecording());
    ASSERT_NE(controller->hud(), nullptr);
    EXPECT_EQ(controller->hud()->windowTitle(), QStringLiteral("Zorv Recording"));
    EXPECT_EQ(controller->hud()->clockText(), QStringLiteral("00:00"));

    controller->hud()->stopButton()->click();
    EXPECT_FALSE(controller->isRecording());
    EXPECT_EQ(controller->hud(), nullptr);
    settle();

    ASSERT_EQ(changed.size(), 2);
    EXPECT_TRUE(changed[0][0].toBool());
    EXPECT_FALSE(changed[1][0].toBool());
    ASSERT_EQ(history->items().size(), 1);
    const HistoryItem &entry = history->items().first();
    EXPECT_EQ(entry.kind, CaptureKind::recording);
    EXPECT_TRUE(entry.fileName.endsWith(QStringLiteral(".mp4")));
    EXPECT_EQ(readFile(entry.filePath), QByteArray("mp4 bytes"));
    EXPECT_FALSE(QFileInfo::exists(config.outputPath));
    EXPECT_EQ(sounds, 1);
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Recording saved")});
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels[0].title, QStringLiteral("Screen Recording"));
    EXPECT_EQ(panels[0].subtitle, QStringLiteral("640 × 360"));
    EXPECT_EQ(panels[0].filePath, entry.filePath);
    EXPECT_EQ(panels[0].historyID, entry.id);
    EXPECT_TRUE(panels[0].hasImage());
}

// Two ends of one recording in quick succession: only the first acts.
TEST_F(RecordingWorld, OnlyTheFirstEndOfARecordingActs)
{
    enum class End { stop, discard, system, hudStop, hudDiscard };
    const struct {
        const char *name;
        End first, second;
        bool kept;
    } cases[] = {
        {"stop, then discard before the stop completes", End::stop, End::discard, true},
        {"discard, then stop", End::discard, End::stop, false},
        {"stop, then the system's stop", End::stop, End::system, true},
        {"Stop clicked, then the shortcut's stop", End::hudStop, End::stop, true},
        {"discard clicked, then the system's stop", End::hudDiscard, End::system, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        startRecording();
        const auto end = [&](End how) {
            switch (how) {
            case End::stop:
                controller->stop();
                break;
            case End::discard:
                controller->cancel();
                break;
            case End::system:
                Q_EMIT recorder.systemStopped(QStringLiteral("the display went away"));
                break;
            case End::hudStop:
                controller->hud()->stopButton()->click();
                break;
            case End::hudDiscard:
                controller->hud()->discardButton()->click();
                break;
            }
        };
        end(c.first);
        end(c.second);
        EXPECT_EQ(recorder.stops.size(), 1);
        const QString output = outputPath();
        settle();
        EXPECT_EQ(history->items().size(), c.kept ? 1 : 0);
        EXPECT_FALSE(QFileInfo::exists(output));
        EXPECT_EQ(toasts, c.kept ? QStringList{QStringLiteral("Recording saved")} : QStringList());
    }
}

TEST_F(RecordingWorld, TheSystemsStopKeepsWhatWasRecordedAndSaysWhy)
{
    startRecording();
    Q_EMIT recorder.systemStopped(QStringLiteral("the disk is full"));
    settle();
    EXPECT_EQ(history->items().size(), 1);
    // The second toast replaces the first at once: it must still say why.
    EXPECT_EQ(toasts,
              (QStringList{QStringLiteral("Recording stopped: the disk is full"),
                           QStringLiteral("Recording saved — stopped early: the disk is full")}));
}

// A GIF recording's video goes to the converter; what comes back decides what is filed.
TEST_F(RecordingWorld, AGIFRecordingIsConvertedOrKeptAsAVideo)
{
    using Request = GIFRequest;
    const struct {
        const char *name;
        std::function<GIFResult(const Request &)> convert;
        CaptureKind kind;
        QByteArray bytes;
        QString lastToast;
    } cases[] = {
        {"converted", &writeGIF, CaptureKind::gif, "gif bytes", QStringLiteral("GIF ready")},
        {"failed",
         [](const Request &) -> GIFResult {
             return GIFFailure{GIFError::destinationFailed, QStringLiteral("No room.")};
         },
         CaptureKind::recording, "mp4 bytes",
         QStringLiteral("GIF failed, kept the video: No room.")},
        {"cancelled",
         [](const Request &) -> GIFResult {
             return GIFFailure{GIFError::cancelled, QStringLiteral("Cancelled.")};
         },
         CaptureKind::recording, "mp4 bytes", QStringLiteral("Recording saved")},
        // Until the GIF is in the history its video is not thrown away.
        {"converted, the history refuses GIFs", &writeGIF, CaptureKind::recording, "mp4 bytes",
         QStringLiteral("Recording saved")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        refuseGIFs = QByteArray(c.name).contains("refuses");
        settings().gifFPS.set(15);
        settings().gifMaxWidth.set(600);
        QString video;
        std::optional<std::pair<int, int>> asked;
        makeGIF = [&](const Request &request) {
            video = request.video;
            asked = {request.fps, request.maxWidth};
            EXPECT_EQ(request.folder, temp.dir.filePath("tmp"));
            return c.convert(request);
        };
        // On the screen of scale 2: 800 × 400 pixels, whatever size the GIF has.
        recordGIF();
        ASSERT_TRUE(waitFor([&] { return !panels.isEmpty(); }));
        EXPECT_EQ(video, outputPath());
        EXPECT_EQ(asked, std::pair(15, 600));
        ASSERT_EQ(history->items().size(), 1);
        const HistoryItem &entry = history->items().first();
        EXPECT_EQ(entry.kind, c.kind);
        EXPECT_EQ(QFileInfo(entry.fileName).suffix(), c.kind == CaptureKind::gif ? "gif" : "mp4");
        EXPECT_EQ(readFile(entry.filePath), c.bytes);
        EXPECT_EQ(QSize(entry.pixelWidth, entry.pixelHeight), QSize(800, 400));
        EXPECT_EQ(QDir(temp.dir.filePath("tmp")).entryList(QDir::Files), QStringList());
        EXPECT_EQ(toasts, (QStringList{QStringLiteral("Building GIF…"), c.lastToast}));
        EXPECT_EQ(panels[0].kind, c.kind);
        EXPECT_EQ(panels[0].title, c.kind == CaptureKind::gif ? QStringLiteral("GIF")
                                                              : QStringLiteral("Screen Recording"));
        EXPECT_EQ(panels[0].subtitle, QStringLiteral("800 × 400"));
        EXPECT_EQ(controller->conversions(), 0);
        EXPECT_TRUE(progressToasts.isEmpty()); // done well within a second
    }
}

// A long conversion shows how far it is after a second, and its Cancel keeps the video.
TEST_F(RecordingWorld, ALongConversionShowsProgressAndCanBeCancelled)
{
    // Quiet for over a second, then a burst of frames, then one every 10 ms.
    makeGIF = [](const GIFRequest &request) -> GIFResult {
        QThread::msleep(RecordingController::progressAfterMs + 100);
        for (int i = 0; i < 5000; ++i)
            request.progress(i, 10000);
        for (int i = 5000; i < 10000 && !*request.cancel; ++i) {
            request.progress(i, 10000);
            QThread::msleep(10);
        }
        return GIFFailure{GIFError::cancelled, QStringLiteral("cancelled")};
    };
    recordGIF();
    ASSERT_TRUE(waitFor([&] { return !progressToasts.isEmpty(); }));
    // Shown at one second by the clock, not by the first frame's report.
    EXPECT_GE(progressToasts.first().ms, RecordingController::progressAfterMs - 20);
    EXPECT_LT(progressToasts.first().ms, RecordingController::progressAfterMs + 90);
    EXPECT_EQ(progressToasts.first().fraction, 0.0);
    ASSERT_TRUE(waitFor([&] { return progressToasts.last().fraction > 0.5; }));
    for (qsizetype i = 1; i < progressToasts.size(); ++i)
        EXPECT_GE(progressToasts[i].fraction, progressToasts[i - 1].fraction);
    EXPECT_TRUE(progressToasts.last().message.startsWith(QStringLiteral("Building GIF… 5")))
        << progressToasts.last().message.toStdString();
    // The burst of 5000 frames reached the GUI thread as a handful of calls.
    EXPECT_LT(progressToasts.size(), 60);
    EXPECT_EQ(history->items().size(), 0);

    ASSERT_TRUE(cancelConversion);
    cancelConversion();
    ASSERT_TRUE(waitFor([&] { return !panels.isEmpty(); }));
    EXPECT_EQ(closedProgress, 1);
    ASSERT_EQ(history->items().size(), 1);
    EXPECT_EQ(history->items().first().kind, CaptureKind::recording);
    EXPECT_EQ(toasts.last(), QStringLiteral("Recording saved"));
    // A Cancel pressed after the end does nothing.
    const qsizetype shown = progressToasts.size();
    cancelConversion();
    QTest::qWait(50);
    EXPECT_EQ(progressToasts.size(), shown);
}

// The flags of a new recording and the conversion of the last one stay apart.
TEST_F(RecordingWorld, ARecordingCanRunWhileTheLastOneBecomesAGIF)
{
    std::atomic<bool> release = false;
    makeGIF = [&release](const GIFRequest &request) {
        while (!release)
            QThread::msleep(5);
        return writeGIF(request);
    };
    recordGIF();
    const QString gifVideo = outputPath();
    ASSERT_TRUE(waitFor([&] { return gifCalls == 1; }));
    EXPECT_FALSE(controller->isRecording());

    startRecording();
    EXPECT_TRUE(controller->isRecording());
    EXPECT_EQ(controller->kind(), CaptureKind::recording);
    EXPECT_NE(outputPath(), gifVideo);
    controller->stop();
    settle();
    ASSERT_EQ(history->items().size(), 1);
    EXPECT_EQ(history->items().first().kind, CaptureKind::recording);
    EXPECT_EQ(controller->conversions(), 1);

    // Quitting now waits for the GIF (this converter does not heed the cancel).
    int done = 0;
    controller->finishThen([&done] { ++done; });
    QTest::qWait(50);
    EXPECT_EQ(done, 0);
    release = true;
    ASSERT_TRUE(waitFor([&] { return done == 1; }));
    ASSERT_EQ(history->items().size(), 2);
    EXPECT_EQ(history->items().first().kind, CaptureKind::gif);
    EXPECT_FALSE(QFileInfo::exists(gifVideo));
    EXPECT_EQ(gifCalls, 1);
}

// Quitting waits until the recording is in the history, whatever state it is in.
TEST_F(RecordingWorld, FinishingBeforeQuittingFilesTheRecordingFirst)
{
    enum class State {
        idle,
        starting,
        failingStart,
        recording,
        finishing,
        recordingGIF,
        converting
    };
    const struct {
        const char *name;
        State state;
        int filed;
    } cases[] = {
        {"no recording", State::idle, 0},
        {"starting", State::starting, 1},
        {"a start that fails", State::failingStart, 0},
        {"recording", State::recording, 1},
        {"stopped, not yet filed", State::finishing, 1},
        // A GIF is given up for the video, filed as a recording.
        {"recording a GIF", State::recordingGIF, 1},
        {"building a GIF", State::converting, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        makeGIF = &slowGIF;
        const bool gif = c.state == State::recordingGIF || c.state == State::converting;
        if (c.state != State::idle)
            controller->start(QRectF(100, 100, 640, 360),
                              gif ? CaptureKind::gif : CaptureKind::recording);
        if (c.state == State::recording || c.state == State::finishing || gif)
            recorder.answerStart();
        if (c.state == State::finishing || c.state == State::converting)
            controller->stop();
        if (c.state == State::converting) {
            recorder.answerStops();
            ASSERT_TRUE(waitFor([&] { return gifCalls == 1; }));
        }
        int done = 0;
        controller->finishThen([&] {
            EXPECT_EQ(history->items().size(), c.filed);
            ++done;
        });
        if (c.state == State::starting || c.state == State::failingStart)
            recorder.answerStart(c.state == State::failingStart
                                     ? std::optional(QStringLiteral("Recording failed: no"))
                                     : std::nullopt);
        EXPECT_EQ(done, c.filed ? 0 : 1);
        EXPECT_FALSE(controller->isRecording());
        if (c.state != State::idle)
            settle();
        EXPECT_TRUE(waitFor([&] { return done == 1; }));
        EXPECT_EQ(history->items().size(), c.filed);
        if (c.filed) {
            EXPECT_EQ(history->items().first().kind, CaptureKind::recording);
        }
        EXPECT_EQ(gifCalls, c.state == State::converting ? 1 : 0);
    }
}

TEST_F(RecordingWorld, ASecondStartIsIgnoredAndAFailedStartLeavesNothing)
{
    controller->start(QRectF(0, 0, 100, 100), CaptureKind::recording);
    controller->start(QRectF(0, 0, 200, 200), CaptureKind::recording);
    EXPECT_EQ(recorder.starts.size(), 1);
    EXPECT_TRUE(controller->isStarting());

    QSignalSpy changed(controller.get(), &RecordingController::recordingChanged);
    recorder.answerStart(QStringLiteral("Recording failed: no encoder"));
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Recording failed: no encoder")});
    EXPECT_FALSE(QFileInfo::exists(outputPath()));
    EXPECT_FALSE(controller->isStarting());
    EXPECT_FALSE(controller->isRecording());
    EXPECT_EQ(controller->hud(), nullptr);
    EXPECT_EQ(changed.size(), 0);
    controller->stop();
    EXPECT_TRUE(recorder.stops.isEmpty());

    // After a failure the next start goes ahead.
    startRecording();
    EXPECT_EQ(recorder.starts.size(), 2);
    EXPECT_TRUE(controller->isRecording());
}

TEST_F(RecordingWorld, WithoutThePanelOnlyTheToastFollowsAndTheEntryStays)
{
    settings().showQuickAccess.set(false);
    settings().playSound.set(false);
    startRecording();
    controller->stop();
    settle();
    EXPECT_EQ(history->items().size(), 1);
    EXPECT_TRUE(panels.isEmpty());
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Recording saved")});
    EXPECT_EQ(sounds + beeps, 0);
}

TEST_F(RecordingWorld, AFileTheHistoryCannotTakeIsRemovedAndStillAnnounced)
{
    QDir(history->mediaDirectory()).removeRecursively();
    ASSERT_TRUE(writeFile(history->mediaDirectory(), "in the way"));
    startRecording();
    const QString output = outputPath();
    controller->stop();
    settle();
    EXPECT_TRUE(history->items().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_EQ(toasts, QStringList{QStringLiteral("Recording saved")});
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels[0].filePath, std::nullopt);
    EXPECT_EQ(panels[0].historyID, std::nullopt);
}

TEST_F(RecordingWorld, TheScaleIsThatOfTheScreenHoldingTheAreasCentre)
{
    const struct {
        QRectF rect;
        double scale;
        QString subtitle;
    } cases[] = {
        {QRectF(1800, 100, 400, 200), 2.0, QStringLiteral("800 × 400")},
        {QRectF(1500, 100, 401, 201), 1.0, QStringLiteral("401 × 201")},
        {QRectF(1910, 0, 21, 11), 2.0, QStringLiteral("42 × 22")},
        // Off every screen: the one under the pointer.
        {QRectF(5000, 5000, 10, 10), 1.0, QStringLiteral("10 × 10")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rect.x());
        SetUp();
        startRecording(c.rect);
        EXPECT_EQ(recorder.starts.last().scale, c.scale);
        EXPECT_EQ(recorder.starts.last().rect, c.rect);
        controller->stop();
        settle();
        ASSERT_EQ(panels.size(), 1);
        EXPECT_EQ(panels[0].subtitle, c.subtitle);
        EXPECT_EQ(QString::number(history->items().first().pixelWidth),
                  c.subtitle.section(u' ', 0, 0));
    }
}

TEST_F(RecordingWorld, RecordingsACrashLeftAreKeptWhenTheyPlayElseRemoved)
{
    const QDir tmp(temp.dir.filePath("tmp"));
    const QString playable = tmp.filePath("zorv-0F8FAD5B-D9CB-469F-A165-70867728950E.mp4");
    const QString broken = tmp.filePath("zorv-7C9E6679-7425-40DE-944B-E07FC1F90AE7.mp4");
    const QString running = tmp.filePath("zorv-9A6B1C3E-0000-4000-8000-000000000001.mp4");
    // A GIF cut short by the crash goes; its video is what is kept.
    const QString gif = tmp.filePath("zorv-3D1F2C4B-0000-4000-8000-000000000002.gif");
    const QStringList others{tmp.filePath("zorv-lowercase-0f8fad5b.mp4"), tmp.filePath("clip.mp4"),
                             tmp.filePath("zorv-0F8FAD5B-D9CB-469F-A165-70867728950E.mov"),
                             tmp.filePath("zorv-lowercase-0f8fad5b.gif")};
    const QDateTime hourAgo = QDateTime::currentDateTime().addSecs(-3600);
    for (const QString &path : QStringList{playable, broken, running, gif} + others) {
        ASSERT_TRUE(writeFile(path, path == broken ? "junk" : "video"));
        QFile file(path);
        if (path != running) { // that one is still being written
            ASSERT_TRUE(file.open(QIODevice::ReadWrite) &&
                        file.setFileTime(hourAgo, QFileDevice::FileModificationTime));
        }
    }
    bool done = false;
    controller->adoptLeftovers(
        [](const QString &path) -> std::optional<QSize> {
            if (readFile(path) == "video")
                return QSize(1280, 720);
            return std::nullopt;
        },
        [&done] { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&done] { return done; }, 5000));

    ASSERT_EQ(history->items().size(), 1);
    const HistoryItem &entry = history->items().first();
    EXPECT_EQ(entry.kind, CaptureKind::recording);
    EXPECT_EQ(QSize(entry.pixelWidth, entry.pixelHeight), QSize(1280, 720));
    EXPECT_EQ(readFile(entry.filePath), QByteArray("video"));
    EXPECT_FALSE(QFileInfo::exists(playable));
    EXPECT_FALSE(QFileInfo::exists(broken));
    EXPECT_FALSE(QFileInfo::exists(gif));
    EXPECT_TRUE(QFileInfo::exists(running));
    for (const QString &path : others)
        EXPECT_TRUE(QFileInfo::exists(path)) << path.toStdString();
    EXPECT_EQ(toasts.size(), 1);
}

TEST(RecordingHUD, ClockText)
{
    const struct {
        qint64 ms;
        const char *text;
    } cases[] = {{0, "00:00"},         {59'999, "00:59"},     {60'000, "01:00"},
                 {3'599'000, "59:59"}, {6'000'000, "100:00"}, {7'385'000, "123:05"},
                 {-1500, "00:00"}};
    for (const auto &c : cases)
        EXPECT_EQ(RecordingHUD::elapsedText(c.ms), QLatin1String(c.text)) << c.ms;
}

TEST(RecordingHUD, StaysOutOfTheRecordedAreaWhereItCan)
{
    const RecordingScreen &main = twoScreens[0];
    const struct {
        const char *name;
        QRectF area;
        QList<RecordingScreen> screens;
        QRect expected;
    } cases[] = {
        {"clear of the top: top centre", QRectF(100, 300, 400, 300), twoScreens,
         QRect(830, 44, 260, 46)},
        {"over the top centre: bottom centre", QRectF(800, 40, 400, 300), twoScreens,
         QRect(830, 1022, 260, 46)},
        {"the whole screen: the other screen", main.frame, twoScreens, QRect(2430, 12, 260, 46)},
        {"the whole screen and no other: top centre", main.frame, {main}, QRect(830, 44, 260, 46)},
    };
    for (const auto &c : cases)
        EXPECT_EQ(RecordingHUD::placement(c.screens, main, c.area), c.expected) << c.name;
}

} // namespace
} // namespace zorv::test
