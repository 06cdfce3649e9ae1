#pragma once

#include "common/Expected.h"

#include <QImage>
#include <QPoint>
#include <QString>
#include <cstdint>
#include <memory>
#include <optional>

struct ZorvPipeWireStream;

namespace zorv
{

// A ScreenCast stream read through the PipeWire module (loaded on first use). The compositor
// sends a frame only when the screen changed, so the stream keeps the latest one. Calls block
// (each for at most its timeout): use it from a worker thread, one at a time.
class PipeWireStream
{
  public:
    struct Frame {
        QImage image;          // Format_RGB32, or ARGB32 when the stream carries alpha
        int64_t timeNs = 0;    // CLOCK_MONOTONIC when it arrived
        uint64_t sequence = 0; // frames the stream delivered so far, this one included
    };
    struct Problem {
        enum Kind { TimedOut, Ended } kind = Ended;
        QString reason;
    };
    struct Cursor {
        bool visible = false;
        QPoint position; // the hot spot, in stream pixels
        QPoint hotspot;  // within `image`
        QImage image;    // ARGB32; null when the stream sent no bitmap
    };

    // Takes over `fd` (a PipeWire remote, e.g. ScreenCastSession::duplicatePipeWireFd) and
    // connects to `node`. The reason when the module is missing or the stream refuses.
    static Expected<std::unique_ptr<PipeWireStream>, QString> open(int fd, uint node,
                                                                   int timeoutMs);
    ~PipeWireStream();
    PipeWireStream(const PipeWireStream &) = delete;
    PipeWireStream &operator=(const PipeWireStream &) = delete;

    // The latest frame, waiting for the first one.
    Expected<Frame, Problem> latest(int timeoutMs) { return next(-1, timeoutMs); }
    // The latest frame once one arrived after `afterNs` (for reading at a rate: pass the time
    // of the frame last read). `reuse`, when of the frame's size and not shared (move it in),
    // is written into instead of a new image.
    Expected<Frame, Problem> next(int64_t afterNs, int timeoutMs, QImage reuse = {});
    // None when the stream carries no pointer metadata.
    std::optional<Cursor> cursor();

  private:
    explicit PipeWireStream(ZorvPipeWireStream *stream) : m_stream(stream) {}
    ZorvPipeWireStream *m_stream;
};

} // namespace zorv
