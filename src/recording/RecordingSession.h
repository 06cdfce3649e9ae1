#pragma once

#include "platform/RecordingSources.h"
#include "recording/AudioTimeline.h"
#include "recording/CaptureLoop.h"
#include "recording/FrameQueue.h"
#include "recording/RecordingClock.h"
#include "recording/RecordingGeometry.h"
#include "recording/VideoWriter.h"

#include <QString>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace zorv
{

class FrameDecorations;

// One running recording: a capture thread that grabs frames on schedule, an
// encode thread that writes them and the mixed audio, and the audio sources
// feeding the time line from their own threads. Its mutex is the engine's one
// lock; it is held only to hand frames and audio across.
class RecordingSession : public FrameSink
{
  public:
    // Called at most once, from a worker thread: the recording cannot go on.
    using Failed = std::function<void(const QString &reason)>;
    // Something to tell the user, from a worker thread.
    using Notice = std::function<void(const QString &text)>;

    RecordingSession(RecordingClock clock, int fps, RecordingGeometry::Plan plan, Failed failed,
                     Notice notice);
    ~RecordingSession() override; // stops the threads; the file stays as written

    // Callbacks for audio source `index` (0 or 1), which may run before begin():
    // audio heard before the recording starts is left out.
    AudioCapture::Samples samplesFor(int index);
    AudioCapture::Lost lostFor(int index, const QString &what);
    void keepAudio(std::unique_ptr<AudioCapture> capture);

    // Starts the clock and the threads. `audioSources` is how many sources feed
    // the one audio track (0 for none).
    void begin(std::unique_ptr<VideoWriter> writer, std::shared_ptr<FrameGrabber> grabber,
               std::unique_ptr<FrameDecorations> decorations, int audioSources);

    struct Summary {
        int64_t frames = 0;
        int64_t dropped = 0;
        double paddedSeconds = 0;
        std::optional<QString> finishError;
    };
    // Stops capturing, writes what is queued and the audio up to the stop,
    // and finishes the file. Blocks: never on the GUI thread.
    Summary end();

    // FrameSink, for the capture thread.
    int acquire() override;
    QImage &frame(int index) override;
    void submit(int index, int64_t stampNs) override;

    static QString writerFailureText(const QString &error);

    // The reason given to Failed, once it has been called; any thread.
    std::optional<QString> failure();

  private:
    void encodeLoop();
    void fail(const QString &reason);
    void stopThreads();
    bool writeAudio(const AudioTimeline::Chunk &chunk);

    RecordingClock m_clock;
    int m_fps;
    RecordingGeometry::Plan m_plan;
    Failed m_failed;
    Notice m_notice;

    std::mutex m_lock;
    std::condition_variable m_wake;
    FrameQueue m_queue;                   // guarded by m_lock
    std::optional<AudioTimeline> m_audio; // guarded by m_lock; set by begin()
    bool m_encodeStop = false;            // guarded by m_lock
    int64_t m_lastStampNs = -1;           // guarded by m_lock
    std::optional<QString> m_failure;     // guarded by m_lock

    int64_t m_t0 = 0;
    std::unique_ptr<VideoWriter> m_writer;
    std::shared_ptr<FrameGrabber> m_grabber;
    std::unique_ptr<FrameDecorations> m_decorations;
    std::unique_ptr<CaptureLoop> m_capture;
    std::vector<std::unique_ptr<AudioCapture>> m_audioCaptures;
    std::thread m_captureThread;
    std::thread m_encodeThread;
    std::atomic<bool> m_captureStop{false};
    std::atomic<bool> m_writeFailed{false};
    std::atomic<bool> m_hasFailed{false};
    int64_t m_written = 0;    // encode thread
    int64_t m_lastPtsUs = -1; // encode thread
    bool m_ended = false;
};

} // namespace zorv
