#include "recording/AudioTimeline.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <vector>

using namespace zorv;

namespace
{

constexpr int64_t second = 1'000'000'000;
constexpr int64_t ms = 1'000'000;
constexpr int rate = AudioTimeline::rate;

std::vector<float> constant(int frames, float value)
{
    return std::vector<float>(size_t(frames) * 2, value);
}

TEST(AudioTimeline, ALateSourceIsPaddedFromTheStartNotShifted)
{
    const int64_t t0 = 7 * second;
    AudioTimeline timeline(t0, 1);
    const int64_t firstHeard = t0 + 2 * second + 370'000; // 2.00037 s in
    const std::vector<float> buffer = constant(480, 0.5f);
    for (int i = 0; i < 100; ++i)
        timeline.add(0, buffer.data(), 480, firstHeard + i * 10 * ms);

    std::vector<float> mix;
    for (int64_t now = t0; now <= firstHeard + second; now += 20 * ms) {
        const AudioTimeline::Chunk chunk = timeline.take(now);
        EXPECT_EQ(chunk.startFrame, int64_t(mix.size() / 2));
        mix.insert(mix.end(), chunk.samples.begin(), chunk.samples.end());
    }
    size_t first = 0;
    while (first < mix.size() && mix[first] == 0.0f)
        ++first;
    ASSERT_LT(first, mix.size());
    const double heardAt = double(first / 2) / rate;
    EXPECT_NEAR(heardAt, 2.00037, 0.001);
    EXPECT_EQ(mix.size() / 2, size_t(std::llround(2.00037 * rate)) + 48000);
    EXPECT_NEAR(double(timeline.paddedFrames()) / rate, 2.0, 0.001);
}

TEST(AudioTimeline, TwoSourcesAreSummedAndClipped)
{
    struct Case {
        float system, microphone, mixed;
    };
    const Case cases[] = {
        {0.3f, 0.4f, 0.7f}, {0.8f, 0.6f, 1.0f}, {-0.8f, -0.6f, -1.0f}, {0.5f, -0.25f, 0.25f}};
    for (const Case &c : cases) {
        AudioTimeline timeline(0, 2);
        const std::vector<float> a = constant(4800, c.system);
        const std::vector<float> b = constant(4800, c.microphone);
        timeline.add(0, a.data(), 4800, 0);
        // The microphone's buffers arrive in other sizes and a little apart.
        timeline.add(1, b.data(), 1000, 0);
        timeline.add(1, b.data(), 3800, 1000 * second / rate);
        const AudioTimeline::Chunk chunk = timeline.take(100 * ms);
        ASSERT_EQ(chunk.samples.size(), 4800u * 2) << c.system << " + " << c.microphone;
        for (float sample : chunk.samples)
            ASSERT_FLOAT_EQ(sample, c.mixed) << c.system << " + " << c.microphone;
        EXPECT_EQ(timeline.paddedFrames(), 0);
    }
}

TEST(AudioTimeline, OneSourceHoldsTheMixBackOnlyForAWhile)
{
    AudioTimeline timeline(0, 2);
    const std::vector<float> a = constant(rate, 0.25f);
    for (int s = 0; s < 6; ++s)
        timeline.add(0, a.data(), rate, s * second);
    // The second source has said nothing yet: the mix waits for it …
    EXPECT_TRUE(timeline.take(AudioTimeline::holdNs - 100 * ms).samples.empty());
    // … until it is further behind the clock than the hold.
    const AudioTimeline::Chunk chunk = timeline.take(3 * second);
    EXPECT_EQ(chunk.samples.size() / 2,
              size_t(AudioTimeline::framesAt(0, 3 * second - AudioTimeline::holdNs)));
}

// A source whose clock runs apart from the monotonic clock, over ten minutes:
// marker buffers must come out where they were heard, within a frame.
TEST(AudioTimeline, TenMinutesDriftLessThanAFrame)
{
    struct Case {
        double ppm;
        double jitterMs;
    };
    const Case cases[] = {{0, 3}, {250, 3}, {-250, 3}, {40, 0}};
    for (const Case &c : cases) {
        const int64_t t0 = 3 * second;
        AudioTimeline timeline(t0, 1);
        std::mt19937 random(7);
        std::uniform_real_distribution<double> jitter(-c.jitterMs, c.jitterMs);
        const double trueRate = rate * (1 + c.ppm / 1e6);
        const int frames = 480;
        const std::vector<float> quiet = constant(frames, 0.0f);
        const std::vector<float> marker = constant(frames, 1.0f);
        std::vector<int64_t> markerHeard; // frame positions by the clock
        std::vector<int64_t> markerFound;
        int64_t delivered = 0;
        int64_t mixed = 0;
        bool inMarker = false;
        const int64_t total = int64_t(600 * trueRate);
        for (int64_t n = 0; delivered < total; ++n) {
            const double heardSeconds = double(delivered) / trueRate;
            const int64_t heard = t0 + int64_t(heardSeconds * 1e9);
            const bool isMarker = n % 3000 == 1500;
            if (isMarker)
                markerHeard.push_back(AudioTimeline::framesAt(t0, heard));
            timeline.add(0, (isMarker ? marker : quiet).data(), frames,
                         heard + int64_t(jitter(random) * 1e6));
            delivered += frames;
            if (n % 10 == 0 || delivered >= total) {
                const AudioTimeline::Chunk chunk = timeline.take(heard);
                for (size_t i = 0; i < chunk.samples.size(); i += 2) {
                    const bool loud = chunk.samples[i] > 0.5f;
                    if (loud && !inMarker)
                        markerFound.push_back(mixed + int64_t(i / 2));
                    inMarker = loud;
                }
                mixed += int64_t(chunk.samples.size() / 2);
            }
        }
        ASSERT_EQ(markerFound.size(), markerHeard.size()) << c.ppm;
        double worst = 0;
        for (size_t i = 0; i < markerFound.size(); ++i)
            worst = std::max(worst, std::abs(double(markerFound[i] - markerHeard[i])) / rate);
        EXPECT_LT(worst, 1.0 / 60) << c.ppm << " ppm";
        // Timestamp jitter alone never cuts or pads the sound.
        if (c.ppm == 0) {
            EXPECT_EQ(timeline.paddedFrames(), 0) << "jitter " << c.jitterMs;
        }
    }
}

} // namespace
