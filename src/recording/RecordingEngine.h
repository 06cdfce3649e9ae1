#pragma once

#include "common/CaptureTypes.h"
#include "platform/RecordingSources.h"
#include "recording/Recorder.h"
#include "recording/RecordingClock.h"

#include <QList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zorv
{

class RecordingSession;
class ScreenBackend;

// Records an area of one display into an MPEG-4 file: frames grabbed on a
// fixed schedule with the pointer and click marks drawn in, system audio and
// microphone mixed into one track, all stamped from one monotonic clock.
// Starting and stopping run off the GUI thread and answer on it; the GUI
// thread does nothing per frame.
class RecordingEngine : public Recorder
{
    Q_OBJECT
  public:
    // Read on the GUI thread when a recording starts.
    using Displays = std::function<CaptureExpected<QList<DisplayInfo>>()>;
    using WriterFactory =
        std::function<Expected<std::unique_ptr<VideoWriter>, QString>(const VideoWriterConfig &)>;

    RecordingEngine(RecordingSources &sources, Displays displays, WriterFactory writers,
                    RecordingClock clock = {}, QObject *parent = nullptr);
    // The desktop's displays and the video module's writer.
    RecordingEngine(RecordingSources &sources, ScreenBackend &screens, QObject *parent = nullptr);
    ~RecordingEngine() override; // a running recording stops; its file stays playable

    void start(const RecordingConfig &config, Started started) override;
    // While starting, the start is abandoned: it answers with
    // stoppedBeforeStartText, nothing is kept and this answers nullopt. A
    // recording being finished does not hold up the next start.
    void stop(Stopped stopped) override;

    static QString noDisplayText()
    {
        return QStringLiteral("No display found for the selected area.");
    }
    static QString stoppedBeforeStartText()
    {
        return QStringLiteral("Recording stopped before it began.");
    }

    // How the file is watched until it stops changing after a stop.
    static constexpr int64_t settleIntervalNs = 120'000'000;
    static constexpr int settleReadings = 50;

  private:
    enum class State { idle, starting, recording };
    struct StartResult;

    void finishStart(StartResult result, Started started);
    void answerStops(std::optional<QString> path);
    // A session's failure, on the GUI thread: told only while that session is
    // the running recording, and only once.
    void sessionFailed(uint64_t generation, const QString &reason);

    RecordingSources &m_sources;
    Displays m_displays;
    WriterFactory m_writers;
    RecordingClock m_clock;

    State m_state = State::idle;
    std::shared_ptr<RecordingSession> m_session;
    std::shared_ptr<std::atomic<bool>> m_abandonStart;
    std::vector<Stopped> m_waitingStops; // stops that came while starting
    std::optional<QString> m_lastPath;
    uint64_t m_generation = 0; // counts starts; names the session being started or run
    bool m_failureReported = false;
};

// Waits until the file at `path` has had the same non-zero size at three
// readings in a row, `interval` apart, or `readings` have been taken.
// Returns how many readings it took.
int waitForSettledFile(const QString &path, const RecordingClock &clock, int64_t intervalNs,
                       int readings);

} // namespace zorv
