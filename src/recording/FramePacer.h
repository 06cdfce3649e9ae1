#pragma once

#include <cstdint>

namespace zorv
{

// The frame schedule: frame i is due at t0 + i/fps, an absolute time, so late
// frames never push the later ones back. A frame that cannot be taken within
// half an interval of its time is skipped and counted as dropped; an overrun
// therefore costs the frames it covered and nothing more, spread out as the
// overruns themselves are.
class FramePacer
{
  public:
    FramePacer(int64_t t0Ns, int fps);

    int64_t index() const { return m_index; }
    int64_t deadline() const { return deadlineOf(m_index); }
    int64_t deadlineOf(int64_t index) const;
    int64_t intervalNs() const { return 1'000'000'000 / m_fps; }

    // The current frame is done (taken or dropped) at `nowNs`: moves on to the
    // next frame that can still be taken and returns how many were skipped.
    int64_t advance(int64_t nowNs);
    // The current frame could not be taken (the queue was full).
    void dropCurrent() { ++m_dropped; }

    int64_t dropped() const { return m_dropped; }

  private:
    int64_t m_t0;
    int m_fps;
    int64_t m_index = 0;
    int64_t m_dropped = 0;
};

} // namespace zorv
