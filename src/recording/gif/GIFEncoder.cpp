#include "recording/gif/GIFEncoder.h"

#include "common/Log.h"
#include "output/encoding/VideoFrames.h"
#include "recording/gif/GIFFrameCoder.h"
#include "recording/gif/GIFSchedule.h"
#include "recording/gif/GIFWriter.h"

#include <QDir>
#include <QThread>
#include <QTransform>
#include <QUuid>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace zorv::GIFEncoder
{

namespace
{

GIFFailure failure(GIFError error, const QString &description)
{
    return GIFFailure{error, description};
}

GIFFailure unreadable(const QString &reason)
{
    return failure(GIFError::unreadable,
                   QStringLiteral("The video could not be read: %1.")
                       .arg(reason.isEmpty() ? QStringLiteral("it holds no frames") : reason));
}

GIFFailure stopped()
{
    return failure(GIFError::cancelled, QStringLiteral("The GIF was cancelled."));
}

GIFFailure destinationFailed(const QString &reason)
{
    logLine(QStringLiteral("GIF: %1").arg(reason));
    return failure(GIFError::destinationFailed, QStringLiteral("Couldn't write the GIF file."));
}

// Picks the GIF's frames from the decoded stream on a thread of its own, while
// the caller's thread reduces colours: at most two picked frames wait, so
// memory does not grow with the video.
class FramePicker
{
  public:
    struct Picked {
        QImage image;
    };

    FramePicker(std::unique_ptr<VideoFrameReader> reader, GIFSchedule::Plan plan, QSize canvas,
                int rotation)
        : m_reader(std::move(reader)), m_plan(plan), m_canvas(canvas), m_rotation(rotation),
          m_thread([this] { run(); })
    {
    }

    ~FramePicker()
    {
        {
            const std::lock_guard lock(m_mutex);
            m_stopped = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    // The next frame in order; nothing when the reader failed (error() says why).
    std::optional<Picked> take()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_queue.empty() || m_done; });
        if (m_queue.empty())
            return std::nullopt;
        Picked picked = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        m_changed.notify_all();
        return picked;
    }

    QString error() const
    {
        const std::lock_guard lock(m_mutex);
        return m_error;
    }

  private:
    static constexpr std::size_t kWaiting = 2;

    void run()
    {
        QString error = pickAll();
        const std::lock_guard lock(m_mutex);
        m_error = std::move(error);
        m_done = true;
        m_changed.notify_all();
    }

    // Frame i shows the last source frame starting at or before i / rate (the
    // first when none does, the last past the end). Frames in between are only
    // decoded, never converted.
    QString pickAll()
    {
        QImage shown;
        bool moved = false;
        for (int i = 0; i < m_plan.count; ++i) {
            const int64_t timeUs = GIFSchedule::frameTimeUs(i, m_plan.rate);
            bool changed = false;
            while (const std::optional<int64_t> next = m_reader->peekTime()) {
                if (moved && *next > timeUs)
                    break;
                if (!m_reader->skip())
                    break;
                moved = changed = true;
            }
            if (!m_reader->error().isEmpty())
                return m_reader->error();
            if (!moved)
                return {};
            if (changed) {
                std::optional<QImage> picture = m_reader->picture();
                if (!picture)
                    return m_reader->error();
                shown = shape(std::move(*picture));
            }
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_queue.size() < kWaiting || m_stopped; });
            if (m_stopped)
                return {};
            m_queue.push_back(Picked{shown});
            lock.unlock();
            m_changed.notify_all();
        }
        return {};
    }

    // Turned as players show it, at the canvas size.
    QImage shape(QImage image) const
    {
        if (m_rotation != 0)
            image = image.transformed(QTransform().rotate(m_rotation));
        // The reader's rounding of the fitted size may differ by a pixel.
        if (image.size() != m_canvas)
            image = image.scaled(m_canvas, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return image;
    }

    const std::unique_ptr<VideoFrameReader> m_reader;
    const GIFSchedule::Plan m_plan;
    const QSize m_canvas;
    const int m_rotation;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Picked> m_queue;
    bool m_stopped = false;
    bool m_done = false;
    QString m_error;
    std::thread m_thread; // last: starts once everything else is built
};

// A stream that does not state its length (live Matroska, raw H.264) tells
// it by its frames: the last one's time plus one frame. Decodes them all, so
// it stops at a cancel (then -1).
int64_t measuredDurationUs(const QString &videoPath, double fps,
                           const std::function<bool()> &cancelled)
{
    std::unique_ptr<VideoFrameReader> reader = VideoFrameReader::open(videoPath, QSize(1, 1));
    if (!reader)
        return -1;
    int64_t last = -1, previous = -1, step = 0;
    while (const std::optional<int64_t> ptsUs = reader->skip()) {
        if (cancelled())
            return -1;
        previous = last;
        last = std::max(last, *ptsUs);
    }
    if (last < 0)
        return -1;
    if (fps > 0)
        step = int64_t(1e6 / fps + 0.5);
    else if (previous >= 0)
        step = last - previous;
    return last + step;
}

} // namespace

Expected<QString, GIFFailure> makeGIF(const QString &videoPath, int fps, int maxWidth,
                                      const QString &temporaryDirectory, const Progress &progress,
                                      const std::atomic<bool> *cancel)
{
    const auto cancelled = [cancel] { return cancel && cancel->load(); };
    QString why;
    VideoFrameReader::Info info;
    {
        const std::unique_ptr<VideoFrameReader> probe = VideoFrameReader::open(videoPath, {}, &why);
        if (!probe)
            return unreadable(why);
        info = probe->info();
    }
    if (info.durationUs < 0)
        info.durationUs = measuredDurationUs(videoPath, info.fps, cancelled);
    if (cancelled())
        return stopped();
    if (info.durationUs < 0)
        return unreadable(QStringLiteral("its length cannot be told"));
    const std::optional<GIFSchedule::Plan> plan = GIFSchedule::plan(info.durationUs, fps);
    if (!plan)
        return failure(GIFError::noFrames,
                       QStringLiteral("The recording was too short to build a GIF."));

    const bool sideways = info.rotation == 90 || info.rotation == 270;
    const QSize shown = sideways ? info.size.transposed() : info.size;
    const QSize canvas = GIFSchedule::fit(shown, maxWidth);
    if (canvas.isEmpty())
        return unreadable(QStringLiteral("its pictures have no size"));
    std::unique_ptr<VideoFrameReader> reader =
        VideoFrameReader::open(videoPath, sideways ? canvas.transposed() : canvas, &why);
    if (!reader)
        return unreadable(why);

    const QString path =
        QDir(temporaryDirectory)
            .filePath(QStringLiteral("zorv-%1.gif")
                          .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()));
    std::unique_ptr<GIFWriter> writer = GIFWriter::create(path, canvas, &why);
    if (!writer)
        return destinationFailed(why);

    // Four stages run at once: decoding (the picker's thread), choosing each
    // frame's colours (threads of their own, a few frames ahead), coding
    // against the canvas (this thread, in order) and writing (one frame
    // behind). Each holds a bounded number of frames, so memory stays flat.
    struct Pending {
        QImage image;
        std::future<GIFPalette> palette;
    };
    const std::size_t ahead = std::size_t(std::max(2, QThread::idealThreadCount()));
    std::deque<Pending> pending;
    GIFFrameCoder coder(canvas);
    GIFFrame frames[2]; // one being coded, one being written
    int slot = 0;
    int coded = 0;
    int written = 0;
    std::future<bool> writing;
    const auto waitForWriting = [&]() -> std::optional<GIFFailure> {
        if (!writing.valid())
            return std::nullopt;
        if (!writing.get())
            return destinationFailed(writer->error());
        ++written;
        if (progress)
            progress(written, plan->count);
        return std::nullopt;
    };
    const auto codeOldest = [&]() -> std::optional<GIFFailure> {
        if (cancelled())
            return stopped();
        Pending next = std::move(pending.front());
        pending.pop_front();
        GIFFrame &frame = frames[slot];
        if (!coder.code(next.image, next.palette.get(), frame))
            return failure(
                GIFError::unreadable,
                QStringLiteral("The colours of frame %1 could not be reduced.").arg(coded + 1));
        if (const std::optional<GIFFailure> failed = waitForWriting())
            return failed;
        writing = std::async(std::launch::async, [&writer = *writer, &frame,
                                                  delay = GIFSchedule::delayCs(coded, plan->rate)] {
            return writer.add(frame, delay);
        });
        slot = 1 - slot;
        ++coded;
        return std::nullopt;
    };
    FramePicker picker(std::move(reader), *plan, canvas, info.rotation);
    QImage previous;
    for (int i = 0; i < plan->count; ++i) {
        if (cancelled())
            return stopped();
        std::optional<FramePicker::Picked> picked = picker.take();
        if (!picked)
            return unreadable(picker.error());
        const QImage image = std::move(picked->image);
        pending.push_back(Pending{image, std::async(std::launch::async, [image, previous] {
                                      return GIFFrameCoder::choosePalette(
                                          image, previous.isNull() ? nullptr : &previous);
                                  })});
        previous = image;
        if (pending.size() >= ahead) {
            if (const std::optional<GIFFailure> failed = codeOldest())
                return *failed;
        }
    }
    while (!pending.empty()) {
        if (const std::optional<GIFFailure> failed = codeOldest())
            return *failed;
    }
    if (const std::optional<GIFFailure> failed = waitForWriting())
        return *failed;
    if (!writer->finish())
        return destinationFailed(writer->error());
    return path;
}

} // namespace zorv::GIFEncoder
