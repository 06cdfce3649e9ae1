#include "recording/gif/GIFSchedule.h"

#include <algorithm>

namespace zorv::GIFSchedule
{

namespace
{

constexpr int64_t kMinDurationUs = 50'000;
constexpr int kMinRate = 5;
constexpr int kMaxRate = 30;
constexpr int kMinFrames = 2;
constexpr int kMaxFrames = 900;

// round(100 · frames / rate), halves up; both are non-negative.
int64_t endCs(int64_t frames, int rate)
{
    return (200 * frames + rate) / (2 * int64_t(rate));
}

} // namespace

std::optional<Plan> plan(int64_t durationUs, int fps)
{
    if (durationUs <= kMinDurationUs) {
        return std::nullopt;
    }
    const int rate = std::clamp(fps, kMinRate, kMaxRate);
    // Integer microseconds keep whole-frame durations exact (2.3 s at 10 fps is 23).
    const int64_t frames = durationUs * rate / 1'000'000;
    return Plan{rate, int(std::clamp<int64_t>(frames, kMinFrames, kMaxFrames))};
}

int64_t frameTimeUs(int i, int rate)
{
    return (int64_t(i) * 2'000'000 + rate) / (2 * int64_t(rate));
}

std::size_t frameAt(std::span<const int64_t> ptsUs, int64_t timeUs)
{
    const auto after = std::upper_bound(ptsUs.begin(), ptsUs.end(), timeUs);
    return after == ptsUs.begin() ? 0 : std::size_t(after - ptsUs.begin() - 1);
}

QSize fit(QSize source, int maxSide)
{
    if (source.isEmpty()) {
        return {};
    }
    maxSide = std::max(maxSide, 1);
    if (source.width() <= maxSide && source.height() <= maxSide) {
        return source;
    }
    // The longer side becomes maxSide; the other is rounded, not truncated.
    const auto shorter = [maxSide](int side, int longer) {
        return std::max(1, int((int64_t(side) * maxSide * 2 + longer) / (2 * int64_t(longer))));
    };
    if (source.width() >= source.height()) {
        return {maxSide, shorter(source.height(), source.width())};
    }
    return {shorter(source.width(), source.height()), maxSide};
}

int delayCs(int i, int rate)
{
    return int(endCs(i + 1, rate) - endCs(i, rate));
}

} // namespace zorv::GIFSchedule
