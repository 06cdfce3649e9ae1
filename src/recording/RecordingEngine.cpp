#include "recording/RecordingEngine.h"

#include "common/Log.h"
#include "common/WhenReady.h"
#include "platform/Platform.h"
#include "recording/FrameDecorations.h"
#include "recording/RecordingGeometry.h"
#include "recording/RecordingSession.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QStringList>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>

namespace zorv
{

struct RecordingEngine::StartResult {
    std::shared_ptr<RecordingSession> session;
    std::optional<QString> error;
    QStringList notices;
    QString path;
};

namespace
{

// Starts and stops wait on the sound server, the encoder's flush and the file
// settling; their own threads keep those waits out of the shared pool.
QThreadPool &recordingPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(2);
        return p;
    }();
    return *pool;
}

// Runs `use` on the GUI thread while `engine` lives; from any thread.
template <typename Use> void onGuiThread(QPointer<RecordingEngine> engine, Use use)
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [engine, use = std::move(use)]() {
            if (engine)
                use(engine.data());
        },
        Qt::QueuedConnection);
}

// What the GUI thread prepared for a start: the plan and the desktop sources,
// which are made there because they map the area through the screens.
struct StartInput {
    RecordingConfig config;
    RecordingGeometry::Plan plan;
    RecordingClock clock;
    RecordingEngine::WriterFactory writers;
    std::shared_ptr<std::atomic<bool>> abandon;
    QPointer<RecordingEngine> engine;
    RecordingSession::Failed failed;
    std::shared_ptr<FrameGrabber> grabber;
    std::shared_ptr<CursorSource> cursor;
    std::shared_ptr<ClickSource> clicks;
};

// Opens the rest of a recording off the GUI thread, in an order that lets a
// failure undo what was opened: audio first (its absence only changes the
// writer's tracks), then the file.
template <typename Result> Result openRecording(RecordingSources &sources, const StartInput &in)
{
    Result result;
    const RecordingConfig &config = in.config;
    result.path = config.outputPath;
    const QPointer<RecordingEngine> engine = in.engine;
    auto session = std::make_shared<RecordingSession>(
        in.clock, config.fps, in.plan, in.failed, [engine](const QString &text) {
            onGuiThread(engine, [text](RecordingEngine *e) { Q_EMIT e->notice(text); });
        });

    // The screen first: a desktop that asks the user whether to share it waits here, and a
    // refusal must leave nothing behind.
    if (const std::optional<QString> refused = in.grabber->open(*in.abandon)) {
        result.error = in.abandon->load() ? RecordingEngine::stoppedBeforeStartText() : *refused;
        return result;
    }
    if (in.abandon->load()) {
        result.error = RecordingEngine::stoppedBeforeStartText();
        return result;
    }

    int audioSources = 0;
    const auto openAudio = [&](AudioInput input, const QString &device, const QString &what,
                               const QString &without) {
        auto capture = sources.audio(input, device, session->samplesFor(audioSources),
                                     session->lostFor(audioSources, what));
        if (capture) {
            session->keepAudio(std::move(capture.value()));
            ++audioSources;
        } else {
            result.notices.append(QStringLiteral("%1: %2").arg(without, capture.error()));
        }
    };
    if (config.systemAudio) {
        openAudio(AudioInput::systemOutput, QString(), QStringLiteral("System audio"),
                  QStringLiteral("Recording without system audio"));
    }
    if (config.captureMicrophone) {
        openAudio(AudioInput::microphone, config.microphoneDeviceID,
                  QStringLiteral("The microphone"),
                  QStringLiteral("Recording without the microphone"));
    }
    if (in.abandon->load()) {
        result.error = RecordingEngine::stoppedBeforeStartText();
        return result;
    }

    VideoWriterConfig writerConfig;
    writerConfig.path = config.outputPath;
    writerConfig.frameSize = in.plan.frameSize;
    writerConfig.fps = std::max(1, config.fps);
    writerConfig.codec = config.codec;
    writerConfig.audio = audioSources > 0;
    auto writer = in.writers(writerConfig);
    if (!writer) {
        result.error = QStringLiteral("Recording failed: ") + writer.error();
        return result;
    }
    if (in.abandon->load()) {
        writer.value().reset();
        QFile::remove(config.outputPath);
        result.error = RecordingEngine::stoppedBeforeStartText();
        return result;
    }
    std::unique_ptr<FrameDecorations> decorations;
    if (in.cursor || in.clicks) {
        decorations = std::make_unique<FrameDecorations>(in.cursor, in.clicks, in.plan.area.scale);
    }
    session->begin(std::move(writer.value()), in.grabber, std::move(decorations), audioSources);
    result.session = std::move(session);
    return result;
}

} // namespace

RecordingEngine::RecordingEngine(RecordingSources &sources, Displays displays,
                                 WriterFactory writers, RecordingClock clock, QObject *parent)
    : Recorder(parent), m_sources(sources), m_displays(std::move(displays)),
      m_writers(std::move(writers)), m_clock(std::move(clock))
{
}

RecordingEngine::RecordingEngine(RecordingSources &sources, ScreenBackend &screens, QObject *parent)
    : RecordingEngine(
          sources, [&screens] { return screens.displays(); }, &VideoWriter::open, {}, parent)
{
}

RecordingEngine::~RecordingEngine()
{
    if (m_abandonStart)
        m_abandonStart->store(true);
}

void RecordingEngine::start(const RecordingConfig &config, Started started)
{
    // Answers always come from the event loop, never from inside start().
    const auto answer = [this, &started](const QString &error) {
        QMetaObject::invokeMethod(
            this, [started = std::move(started), error] { started(error); }, Qt::QueuedConnection);
    };
    if (m_state != State::idle)
        return answer(QStringLiteral("Recording failed: a recording is already running"));
    const CaptureExpected<QList<DisplayInfo>> displays = m_displays();
    if (!displays)
        return answer(displays.error().description());
    const std::optional<DisplayInfo> display =
        RecordingGeometry::chooseDisplay(displays.value(), config.rect);
    if (!display)
        return answer(noDisplayText());

    StartInput input{config,
                     RecordingGeometry::plan(*display, config.rect, config.scale),
                     m_clock,
                     m_writers,
                     std::make_shared<std::atomic<bool>>(false),
                     this,
                     {},
                     nullptr,
                     nullptr,
                     nullptr};
    input.failed = [engine = QPointer(this), generation = ++m_generation](const QString &reason) {
        onGuiThread(engine, [generation, reason](RecordingEngine *e) {
            e->sessionFailed(generation, reason);
        });
    };
    auto grabber = m_sources.frameGrabber(input.plan.area);
    if (!grabber)
        return answer(QStringLiteral("Recording failed: ") + grabber.error());
    input.grabber = std::move(grabber.value());
    if (config.showsCursor)
        input.cursor = m_sources.cursor(input.plan.area);
    if (config.showsClicks)
        input.clicks = m_sources.clicks(input.plan.area);
    QStringList notices;
    if (config.showsClicks && !input.clicks)
        notices.append(QStringLiteral("Clicks cannot be seen here; they are not marked."));

    m_state = State::starting;
    m_abandonStart = input.abandon;
    RecordingSources *sources = &m_sources;
    whenReady(QtConcurrent::run(&recordingPool(),
                                [sources, input = std::move(input), notices]() {
                                    StartResult result =
                                        openRecording<StartResult>(*sources, input);
                                    result.notices = notices + result.notices;
                                    return result;
                                }),
              this, [this, started = std::move(started)](StartResult result) mutable {
                  finishStart(std::move(result), std::move(started));
              });
}

void RecordingEngine::finishStart(StartResult result, Started started)
{
    const bool abandoned = m_abandonStart && m_abandonStart->load();
    m_abandonStart.reset();
    if (result.error || abandoned) {
        m_state = State::idle;
        started(result.error ? result.error : stoppedBeforeStartText());
        if (result.session) {
            // Stopped while the last pieces opened: end it off this thread and
            // keep nothing.
            auto session = std::move(result.session);
            whenReady(QtConcurrent::run(&recordingPool(),
                                        [session, path = result.path]() mutable {
                                            session->end();
                                            session.reset();
                                            QFile::remove(path);
                                            return true;
                                        }),
                      this, [this](bool) { answerStops(std::nullopt); });
            return;
        }
        answerStops(std::nullopt);
        return;
    }
    m_state = State::recording;
    m_session = std::move(result.session);
    m_lastPath = result.path;
    m_failureReported = false;
    const uint64_t generation = m_generation;
    started(std::nullopt);
    for (const QString &text : std::as_const(result.notices))
        Q_EMIT notice(text);
    // A failure in the first frames came while the start had not answered;
    // the controller hears of it only now that it knows the recording runs.
    if (m_generation == generation && m_session) {
        if (const std::optional<QString> reason = m_session->failure())
            sessionFailed(generation, *reason);
    }
}

void RecordingEngine::sessionFailed(uint64_t generation, const QString &reason)
{
    // A session already stopped, or one still starting, says nothing here: the
    // first has been let go, the second is asked by finishStart().
    if (m_state != State::recording || generation != m_generation || m_failureReported)
        return;
    m_failureReported = true;
    Q_EMIT systemStopped(reason);
}

void RecordingEngine::answerStops(std::optional<QString> path)
{
    std::vector<Stopped> waiting;
    waiting.swap(m_waitingStops);
    for (Stopped &stopped : waiting)
        stopped(path);
}

int waitForSettledFile(const QString &path, const RecordingClock &clock, int64_t intervalNs,
                       int readings)
{
    qint64 previous = -1;
    qint64 beforePrevious = -2;
    for (int reading = 1; reading <= readings; ++reading) {
        clock.sleepUntil(clock.now() + intervalNs);
        const QFileInfo info(path);
        const qint64 size = info.exists() ? info.size() : 0;
        if (size > 0 && size == previous && size == beforePrevious)
            return reading;
        beforePrevious = previous;
        previous = size;
    }
    return readings;
}

void RecordingEngine::stop(Stopped stopped)
{
    switch (m_state) {
    case State::starting:
        m_abandonStart->store(true);
        m_waitingStops.push_back(std::move(stopped));
        return;
    case State::idle:
        stopped(m_lastPath);
        return;
    case State::recording:
        break;
    }
    // The session finishes on its own from here; the engine is free for the
    // next recording at once.
    m_state = State::idle;
    auto session = std::move(m_session);
    const RecordingClock clock = m_clock;
    whenReady(QtConcurrent::run(
                  &recordingPool(),
                  [session, clock,
                   file = m_lastPath.value_or(QString())]() mutable -> std::optional<QString> {
                      const RecordingSession::Summary summary = session->end();
                      session.reset();
                      logLine(
                          QStringLiteral("recording: %1 frames, %2 dropped, %3 s of silence padded")
                              .arg(summary.frames)
                              .arg(summary.dropped)
                              .arg(summary.paddedSeconds, 0, 'f', 1));
                      if (summary.finishError)
                          logLine(QStringLiteral("recording: finishing the file failed: ") +
                                  *summary.finishError);
                      if (summary.frames == 0) {
                          // Failed before its first frame: a video without a picture
                          // is no recording, and the half file is ours to remove.
                          QFile::remove(file);
                          return std::nullopt;
                      }
                      waitForSettledFile(file, clock, settleIntervalNs, settleReadings);
                      if (!QFileInfo::exists(file))
                          return std::nullopt;
                      return file;
                  }),
              this, [stopped = std::move(stopped)](std::optional<QString> path) { stopped(path); });
}

} // namespace zorv
