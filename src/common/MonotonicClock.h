#pragma once

#include <cstdint>
#include <ctime>

namespace zorv
{

// CLOCK_MONOTONIC in nanoseconds: the one clock that stamps recorded frames and
// audio, so that they line up whatever thread read them.
inline int64_t monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

} // namespace zorv
