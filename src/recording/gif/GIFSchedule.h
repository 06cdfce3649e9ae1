#pragma once

#include <QSize>
#include <cstdint>
#include <optional>
#include <span>

namespace zorv::GIFSchedule
{

// Which frames a GIF takes from a video: `count` frames at times i / `rate`.
struct Plan {
    int rate = 0;  // frames per second, 5…30
    int count = 0; // 2…900
};

// Nothing when the video is 0.05 s or shorter (or its duration is unknown,
// negative): there is nothing worth a GIF. Longer videos are cut at 900 frames
// rather than thinned, so playback stays real time.
std::optional<Plan> plan(int64_t durationUs, int fps);

// Time of frame `i`, in microseconds, rounded to the nearest.
int64_t frameTimeUs(int i, int rate);

// The source frame shown at `timeUs`: the last one starting at or before it,
// the first when the time precedes them all, and so the last one when the time
// is past the video's end. `ptsUs` is ascending and not empty.
std::size_t frameAt(std::span<const int64_t> ptsUs, int64_t timeUs);

// `source` scaled down to fit `maxSide` × `maxSide`, keeping its aspect ratio;
// never enlarged, never below one pixel a side.
QSize fit(QSize source, int maxSide);

// Delay of frame `i` in hundredths of a second. GIF delays are whole
// hundredths, so a single 1/rate delay drifts (8 cs at 12 fps plays 4 % fast);
// instead the delays vary by one so that frames 0…i end at round(100·(i+1)/rate).
int delayCs(int i, int rate);

} // namespace zorv::GIFSchedule
