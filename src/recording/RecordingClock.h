#pragma once

#include "common/MonotonicClock.h"

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <functional>

namespace zorv
{

// Sleeps until `deadlineNs` on CLOCK_MONOTONIC. An absolute deadline keeps a
// frame schedule from drifting by the time spent between sleeps.
inline void sleepUntilNs(int64_t deadlineNs)
{
    timespec until{};
    until.tv_sec = time_t(deadlineNs / 1'000'000'000);
    until.tv_nsec = long(deadlineNs % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, nullptr) == EINTR) {
    }
}

// The recording's time source; tests replace both halves with a simulated clock.
struct RecordingClock {
    std::function<int64_t()> now = monotonicNs;
    std::function<void(int64_t)> sleepUntil = sleepUntilNs;
};

} // namespace zorv
