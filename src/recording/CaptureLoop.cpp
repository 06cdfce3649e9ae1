#include "recording/CaptureLoop.h"

#include "recording/FrameDecorations.h"
#include "recording/RecordingGeometry.h"

#include <algorithm>
#include <cstring>

namespace zorv
{

CaptureLoop::CaptureLoop(RecordingClock clock, int64_t t0Ns, int fps, FrameGrabber &grabber,
                         const QSize &grabSize, FrameDecorations *decorations, FrameSink &sink)
    : m_clock(std::move(clock)), m_pacer(t0Ns, fps), m_grabber(grabber), m_grabSize(grabSize),
      m_decorations(decorations), m_sink(sink)
{
}

bool CaptureLoop::grabInto(QImage &frame, QString &error)
{
    const QSize frameSize = frame.size();
    if (m_grabSize == frameSize) {
        if (!m_grabber.grab(frame, error))
            return false;
    } else {
        // The grabber fills the top-left part in place; a grabber that hands
        // back an image of its own is copied in.
        QImage view(frame.bits(), m_grabSize.width(), m_grabSize.height(), frame.bytesPerLine(),
                    QImage::Format_RGB32);
        const uchar *shared = view.constBits();
        if (!m_grabber.grab(view, error))
            return false;
        if (view.constBits() != shared && view.size() == m_grabSize) {
            const QImage own = view.convertToFormat(QImage::Format_RGB32);
            for (int y = 0; y < own.height(); ++y)
                std::memcpy(frame.scanLine(y), own.constScanLine(y), size_t(own.width()) * 4);
        } else if (view.size() != m_grabSize) {
            error = QStringLiteral("the recorded display changed");
            return false;
        }
    }
    if (frame.size() != frameSize || frame.format() != QImage::Format_RGB32) {
        frame = QImage(frameSize, QImage::Format_RGB32);
        error = QStringLiteral("the recorded display changed");
        return false;
    }
    return true;
}

std::optional<QString> CaptureLoop::run(const std::atomic<bool> &stop)
{
    for (;;) {
        const int64_t deadline = m_pacer.deadline();
        for (int64_t now = m_clock.now(); now < deadline; now = m_clock.now()) {
            if (stop.load())
                return std::nullopt;
            m_clock.sleepUntil(std::min(deadline, now + stopCheckNs));
        }
        if (stop.load())
            return std::nullopt;
        // Before the source's first picture there is nothing to record: such a frame
        // counts as dropped, as one the encoder had no room for.
        const int index = m_grabber.hasPicture(m_pacer.intervalNs() / 2) ? m_sink.acquire() : -1;
        if (index < 0) {
            m_pacer.dropCurrent();
        } else {
            QImage &frame = m_sink.frame(index);
            const int64_t before = m_clock.now();
            QString error;
            if (!grabInto(frame, error)) {
                m_sink.submit(index, -1);
                return error;
            }
            // The server read the pixels somewhere inside the call; its middle
            // is the best guess, whatever kept the call waiting.
            const int64_t stamp = before + (m_clock.now() - before) / 2;
            if (m_decorations)
                m_decorations->draw(frame, m_grabSize, stamp);
            if (m_grabSize != frame.size())
                RecordingGeometry::padEdges(frame, m_grabSize);
            m_sink.submit(index, stamp);
            m_captured.fetch_add(1);
        }
        m_pacer.advance(m_clock.now());
        m_dropped.store(m_pacer.dropped());
    }
}

} // namespace zorv
