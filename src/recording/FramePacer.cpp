#include "recording/FramePacer.h"

#include <algorithm>

namespace zorv
{

FramePacer::FramePacer(int64_t t0Ns, int fps) : m_t0(t0Ns), m_fps(std::max(1, fps)) {}

int64_t FramePacer::deadlineOf(int64_t index) const
{
    // Whole seconds and the remainder apart, so hours of frames neither
    // overflow nor accumulate rounding.
    const int64_t seconds = index / m_fps;
    const int64_t rest = index % m_fps;
    return m_t0 + seconds * 1'000'000'000 + rest * 1'000'000'000 / m_fps;
}

int64_t FramePacer::advance(int64_t nowNs)
{
    const int64_t half = intervalNs() / 2;
    int64_t next = m_index + 1;
    if (nowNs > deadlineOf(next) + half) {
        // First frame whose deadline + half an interval is still ahead.
        const int64_t elapsed = nowNs - half - m_t0;
        const int64_t seconds = elapsed / 1'000'000'000;
        const int64_t rest = elapsed % 1'000'000'000;
        int64_t candidate = seconds * m_fps + rest * m_fps / 1'000'000'000;
        while (deadlineOf(candidate) + half < nowNs)
            ++candidate;
        while (candidate > next && deadlineOf(candidate - 1) + half >= nowNs)
            --candidate;
        next = std::max(next, candidate);
    }
    const int64_t skipped = next - m_index - 1;
    m_dropped += skipped;
    m_index = next;
    return skipped;
}

} // namespace zorv
