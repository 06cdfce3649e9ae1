#include "recording/gif/GIFSchedule.h"

#include <gtest/gtest.h>
#include <vector>

using namespace zorv;

namespace
{

TEST(GIFSchedule, PlansRateAndCountForEdgeDurations)
{
    struct Case {
        const char *name;
        int64_t durationUs;
        int fps;
        std::optional<GIFSchedule::Plan> plan;
    };
    const Case cases[] = {
        {"unknown duration", -1, 12, std::nullopt},
        {"empty", 0, 12, std::nullopt},
        {"exactly 0.05 s", 50'000, 12, std::nullopt},
        {"just over 0.05 s takes two frames", 50'001, 12, GIFSchedule::Plan{12, 2}},
        {"one frame's worth still takes two", 100'000, 10, GIFSchedule::Plan{10, 2}},
        {"whole frames are not lost to rounding", 2'300'000, 10, GIFSchedule::Plan{10, 23}},
        {"partial last frame is dropped", 1'999'999, 10, GIFSchedule::Plan{10, 19}},
        {"ten seconds at 12", 10'000'000, 12, GIFSchedule::Plan{12, 120}},
        {"rate below 5", 4'000'000, 1, GIFSchedule::Plan{5, 20}},
        {"negative rate", 4'000'000, -30, GIFSchedule::Plan{5, 20}},
        {"rate above 30", 4'000'000, 60, GIFSchedule::Plan{30, 120}},
        {"30 s at 30 is the cap", 30'000'000, 30, GIFSchedule::Plan{30, 900}},
        {"a minute at 30 is cut, not thinned", 60'000'000, 30, GIFSchedule::Plan{30, 900}},
        {"an hour at 5", 3'600'000'000, 5, GIFSchedule::Plan{5, 900}},
    };
    for (const Case &c : cases) {
        const auto plan = GIFSchedule::plan(c.durationUs, c.fps);
        ASSERT_EQ(plan.has_value(), c.plan.has_value()) << c.name;
        if (plan) {
            EXPECT_EQ(plan->rate, c.plan->rate) << c.name;
            EXPECT_EQ(plan->count, c.plan->count) << c.name;
        }
    }
}

TEST(GIFSchedule, PicksTheFrameShownAtEachTime)
{
    // A 30 fps video sampled at 12 fps, and a time past its end.
    std::vector<int64_t> pts;
    for (int i = 0; i < 30; ++i) {
        pts.push_back(i * 1'000'000 / 30);
    }
    struct Case {
        int64_t timeUs;
        std::size_t frame;
    };
    const Case cases[] = {
        {GIFSchedule::frameTimeUs(0, 12), 0},   {GIFSchedule::frameTimeUs(1, 12), 2},
        {GIFSchedule::frameTimeUs(2, 12), 5},   {GIFSchedule::frameTimeUs(5, 12), 12},
        {GIFSchedule::frameTimeUs(11, 12), 27}, {GIFSchedule::frameTimeUs(12, 12), 29},
        {GIFSchedule::frameTimeUs(900, 5), 29}, {-1, 0},
        {GIFSchedule::frameTimeUs(1, 30), 1}, // exactly on a frame's start
    };
    for (const Case &c : cases) {
        EXPECT_EQ(GIFSchedule::frameAt(pts, c.timeUs), c.frame) << "at " << c.timeUs;
    }
    // A video that starts late shows its first frame until then.
    const std::vector<int64_t> late = {40'000, 80'000};
    EXPECT_EQ(GIFSchedule::frameAt(late, 0), 0U);
}

TEST(GIFSchedule, FitsBothSidesKeepingTheAspectRatio)
{
    struct Case {
        QSize source;
        int maxSide;
        QSize fitted;
    };
    const Case cases[] = {
        {{1920, 1080}, 900, {900, 506}}, // 506.25
        {{1080, 1920}, 900, {506, 900}}, {{1000, 1000}, 900, {900, 900}},
        {{2880, 1800}, 900, {900, 563}}, // 562.5 rounds up
        {{640, 480}, 900, {640, 480}},   // never enlarged
        {{900, 200}, 900, {900, 200}},   // already fits
        {{901, 3}, 900, {900, 3}},       // 2.997
        {{10000, 2}, 900, {900, 1}},     // never below a pixel
        {{1200, 1600}, 600, {450, 600}}, {{}, 900, {}},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(GIFSchedule::fit(c.source, c.maxSide), c.fitted)
            << c.source.width() << "x" << c.source.height() << " in " << c.maxSide;
    }
}

TEST(GIFSchedule, DelaysKeepRealTime)
{
    // The delays differ by at most one hundredth and the GIF never drifts more
    // than half a hundredth from real time.
    for (int rate = 5; rate <= 30; ++rate) {
        int64_t sum = 0;
        int low = 1000, high = 0;
        for (int i = 0; i < 900; ++i) {
            const int delay = GIFSchedule::delayCs(i, rate);
            sum += delay;
            low = std::min(low, delay);
            high = std::max(high, delay);
            const double real = 100.0 * (i + 1) / rate;
            ASSERT_LE(std::abs(sum - real), 0.5) << rate << " fps, frame " << i;
        }
        EXPECT_LE(high - low, 1) << rate << " fps";
        EXPECT_GE(low, 3) << rate << " fps"; // browsers slow delays below 2 cs
    }
    const int at12[] = {8, 9, 8, 8, 9, 8};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(GIFSchedule::delayCs(i, 12), at12[i]) << i;
    }
}

} // namespace
