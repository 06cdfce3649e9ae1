#include "recording/RecordingSession.h"

#include "common/PlatformTexts.h"
#include "recording/FrameDecorations.h"

#include <algorithm>
#include <chrono>

namespace zorv
{

namespace
{
// Enough frames to ride out a slow write or two without dropping (six at
// 1080p), fewer for larger areas so the pool stays near 48 MB, never under three.
int poolFrames(const QSize &size)
{
    const qint64 frameBytes = qint64(size.width()) * size.height() * 4;
    const qint64 budget = 48LL * 1024 * 1024;
    return int(std::clamp<qint64>(budget / std::max<qint64>(1, frameBytes), 3, 6));
}
} // namespace

RecordingSession::RecordingSession(RecordingClock clock, int fps, RecordingGeometry::Plan plan,
                                   Failed failed, Notice notice)
    : m_clock(std::move(clock)), m_fps(std::max(1, fps)), m_plan(plan), m_failed(std::move(failed)),
      m_notice(std::move(notice)), m_queue(poolFrames(plan.frameSize), plan.frameSize)
{
}

RecordingSession::~RecordingSession()
{
    // Sources first: their callbacks reach into the time line.
    m_audioCaptures.clear();
    stopThreads();
}

AudioCapture::Samples RecordingSession::samplesFor(int index)
{
    return [this, index](const float *data, int frames, int64_t captureTimeNs) {
        const std::lock_guard lock(m_lock);
        if (m_audio)
            m_audio->add(index, data, frames, captureTimeNs);
    };
}

AudioCapture::Lost RecordingSession::lostFor(int index, const QString &what)
{
    return [this, index, what](const QString &reason) {
        {
            const std::lock_guard lock(m_lock);
            if (m_audio)
                m_audio->lose(index);
        }
        if (m_notice) {
            m_notice(QStringLiteral("%1 stopped (%2); the recording goes on without it.")
                         .arg(what, reason));
        }
    };
}

void RecordingSession::keepAudio(std::unique_ptr<AudioCapture> capture)
{
    m_audioCaptures.push_back(std::move(capture));
}

void RecordingSession::begin(std::unique_ptr<VideoWriter> writer,
                             std::shared_ptr<FrameGrabber> grabber,
                             std::unique_ptr<FrameDecorations> decorations, int audioSources)
{
    m_writer = std::move(writer);
    m_grabber = std::move(grabber);
    m_decorations = std::move(decorations);
    m_t0 = m_clock.now();
    if (audioSources > 0) {
        const std::lock_guard lock(m_lock);
        m_audio.emplace(m_t0, audioSources);
    }
    m_capture = std::make_unique<CaptureLoop>(m_clock, m_t0, m_fps, *m_grabber,
                                              m_plan.area.pixelSize, m_decorations.get(), *this);
    m_encodeThread = std::thread([this] { encodeLoop(); });
    m_captureThread = std::thread([this] {
        if (const std::optional<QString> error = m_capture->run(m_captureStop)) {
            const QString changed = QStringLiteral("the recorded display changed");
            const bool told = *error == changed || *error == PlatformTexts::screenNoLongerShared();
            fail(told ? *error : QStringLiteral("the display went away"));
        }
    });
}

int RecordingSession::acquire()
{
    const std::lock_guard lock(m_lock);
    return m_queue.acquire();
}

QImage &RecordingSession::frame(int index)
{
    // The capture thread holds this frame; nobody else touches it until submit().
    return m_queue.frame(index);
}

void RecordingSession::submit(int index, int64_t stampNs)
{
    {
        const std::lock_guard lock(m_lock);
        if (stampNs < 0) {
            m_queue.release(index);
            return;
        }
        m_queue.push(index, stampNs);
        m_lastStampNs = stampNs;
    }
    m_wake.notify_one();
}

QString RecordingSession::writerFailureText(const QString &error)
{
    static const char *const diskFull[] = {"No space left", "ENOSPC", "File too large",
                                           "Disk quota", "disk is full"};
    for (const char *mark : diskFull) {
        if (error.contains(QLatin1String(mark), Qt::CaseInsensitive))
            return QStringLiteral("the disk is full");
    }
    return QStringLiteral("the video could not be written (%1)").arg(error);
}

void RecordingSession::fail(const QString &reason)
{
    if (m_hasFailed.exchange(true))
        return;
    m_captureStop.store(true);
    {
        const std::lock_guard lock(m_lock);
        m_failure = reason;
    }
    if (m_failed)
        m_failed(reason);
}

std::optional<QString> RecordingSession::failure()
{
    const std::lock_guard lock(m_lock);
    return m_failure;
}

bool RecordingSession::writeAudio(const AudioTimeline::Chunk &chunk)
{
    if (chunk.samples.empty() || m_writeFailed.load())
        return true;
    const int frames = int(chunk.samples.size() / AudioTimeline::channels);
    const int64_t ptsUs = chunk.startFrame * 1'000'000 / AudioTimeline::rate;
    if (m_writer->writeAudio(chunk.samples.data(), frames, ptsUs))
        return true;
    m_writeFailed.store(true);
    fail(writerFailureText(m_writer->error()));
    return false;
}

void RecordingSession::encodeLoop()
{
    for (;;) {
        std::optional<FrameQueue::Slot> slot;
        AudioTimeline::Chunk audio;
        {
            std::unique_lock lock(m_lock);
            m_wake.wait_for(lock, std::chrono::milliseconds(50),
                            [this] { return m_queue.hasReady() || m_encodeStop; });
            if (m_queue.hasReady())
                slot = m_queue.pop();
            else if (m_encodeStop)
                return;
            if (m_audio)
                audio = m_audio->take(m_clock.now());
        }
        // Audio lags the frames by the sound server's latency, so what is ready
        // goes first; the muxer interleaves the rest.
        writeAudio(audio);
        if (!slot)
            continue;
        if (!m_writeFailed.load()) {
            int64_t ptsUs = (slot->stampNs - m_t0) / 1000;
            if (ptsUs <= m_lastPtsUs)
                ptsUs = m_lastPtsUs + 1;
            if (m_writer->writeVideo(m_queue.frame(slot->index), ptsUs)) {
                m_lastPtsUs = ptsUs;
                ++m_written;
            } else {
                m_writeFailed.store(true);
                fail(writerFailureText(m_writer->error()));
            }
        }
        const std::lock_guard lock(m_lock);
        m_queue.release(slot->index);
    }
}

void RecordingSession::stopThreads()
{
    m_captureStop.store(true);
    if (m_captureThread.joinable())
        m_captureThread.join();
    {
        const std::lock_guard lock(m_lock);
        m_encodeStop = true;
    }
    m_wake.notify_one();
    if (m_encodeThread.joinable())
        m_encodeThread.join();
}

RecordingSession::Summary RecordingSession::end()
{
    Summary summary;
    if (m_ended || !m_writer)
        return summary;
    m_ended = true;
    const int64_t stopNs = m_clock.now();
    stopThreads();
    m_audioCaptures.clear();
    // The audio covers the video to its last frame's end.
    AudioTimeline::Chunk tail;
    {
        const std::lock_guard lock(m_lock);
        if (m_audio) {
            const int64_t videoEnd =
                m_lastStampNs >= 0 ? m_lastStampNs + 1'000'000'000 / m_fps : stopNs;
            tail = m_audio->takeUntil(std::max(videoEnd, m_t0));
            summary.paddedSeconds = double(m_audio->paddedFrames()) / AudioTimeline::rate;
        }
    }
    writeAudio(tail);
    if (!m_writer->finish())
        summary.finishError = m_writer->error();
    summary.frames = m_written;
    summary.dropped = m_capture ? m_capture->dropped() : 0;
    return summary;
}

} // namespace zorv
