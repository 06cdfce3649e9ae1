#pragma once

#include <cstdint>
#include <vector>

namespace zorv
{

// Audio from one or more sources laid on the recording's time line and mixed
// into one stereo track. Each buffer is placed by its capture time: a source
// that starts late is preceded by silence from the start of the recording, and
// a gap in a source is filled with silence. Between gaps the samples follow
// one another by count; the count is pulled back to the clock only when the
// two drift apart, measured over about half a second so that timestamp jitter
// never cuts the sound.
//
// Not thread-safe: the engine calls it under its lock.
class AudioTimeline
{
  public:
    static constexpr int rate = 48000;
    static constexpr int channels = 2;

    AudioTimeline(int64_t t0Ns, int sources);

    // A buffer of interleaved stereo from `source`, first sample heard at
    // `captureTimeNs`.
    void add(int source, const float *data, int frames, int64_t captureTimeNs);
    // The source is gone; it no longer holds the mix back.
    void lose(int source);

    struct Chunk {
        int64_t startFrame = 0; // from t0, in frames at `rate`
        std::vector<float> samples;
    };
    // The mix from where the last take ended up to where every live source has
    // delivered. A source that lags the clock by more than the hold is taken as
    // silent for the part it has not delivered. With `untilNs`, everything up to
    // that time is taken, silence standing in for what is missing.
    Chunk take(int64_t nowNs);
    Chunk takeUntil(int64_t untilNs);

    int64_t position() const { return m_taken; }
    // Frames of silence put in for missing audio, over all sources.
    int64_t paddedFrames() const { return m_padded; }

    // How far a source may lag the clock before the mix goes on without it:
    // under the second after which the video writer fills the track with
    // silence itself, so the mix always arrives before that.
    static constexpr int64_t holdNs = 900'000'000;
    // Drift between count and clock that is corrected.
    static constexpr int64_t driftToleranceFrames = rate / 100;
    // A jump this large is a gap (or an overlap), handled at once.
    static constexpr int64_t gapFrames = rate / 10;

    static int64_t framesAt(int64_t t0Ns, int64_t timeNs);

  private:
    struct Source {
        bool started = false;
        bool lost = false;
        int64_t start = 0;          // frame of pending[0]
        std::vector<float> pending; // interleaved, from `start`
        double drift = 0;           // smoothed (clock position − count position), frames
        int64_t end() const { return start + int64_t(pending.size()) / channels; }
    };

    void append(Source &source, const float *data, int64_t frames, int64_t at);
    void pad(Source &source, int64_t frames);
    Chunk mixTo(int64_t limit);

    int64_t m_t0;
    std::vector<Source> m_sources;
    int64_t m_taken = 0;
    int64_t m_padded = 0;
};

} // namespace zorv
