#pragma once

#include "platform/RecordingSources.h"
#include "recording/FramePacer.h"
#include "recording/RecordingClock.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <atomic>
#include <optional>

namespace zorv
{

class FrameDecorations;

// Where the capture thread puts its frames (the engine's frame queue).
class FrameSink
{
  public:
    virtual ~FrameSink() = default;
    // A free frame, or -1 when the encoder is behind.
    virtual int acquire() = 0;
    virtual QImage &frame(int index) = 0;
    // Queues the filled frame; a negative stamp gives it back unused.
    virtual void submit(int index, int64_t stampNs) = 0;
};

// The capture thread's work: at each frame's time, grab the area into a free
// frame, draw the pointer and click marks, stamp it with the grab's time and
// queue it. A frame that is late or finds no free buffer is dropped.
class CaptureLoop
{
  public:
    // `grabSize` is what the grabber fills, at the top-left of each frame; the
    // rest of the frame repeats its last row and column.
    CaptureLoop(RecordingClock clock, int64_t t0Ns, int fps, FrameGrabber &grabber,
                const QSize &grabSize, FrameDecorations *decorations, FrameSink &sink);

    // Runs until `stop` is set, or the grab fails: then the reason.
    std::optional<QString> run(const std::atomic<bool> &stop);

    int64_t captured() const { return m_captured.load(); }
    int64_t dropped() const { return m_dropped.load(); }

    // The longest a sleep runs before `stop` is looked at again.
    static constexpr int64_t stopCheckNs = 50'000'000;

  private:
    bool grabInto(QImage &frame, QString &error);

    RecordingClock m_clock;
    FramePacer m_pacer;
    FrameGrabber &m_grabber;
    QSize m_grabSize;
    FrameDecorations *m_decorations;
    FrameSink &m_sink;
    std::atomic<int64_t> m_captured{0};
    std::atomic<int64_t> m_dropped{0};
};

} // namespace zorv
