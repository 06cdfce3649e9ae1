#include "recording/CaptureLoop.h"
#include "recording/FrameQueue.h"

#include <gtest/gtest.h>
#include <vector>

using namespace zorv;

namespace
{

constexpr int64_t second = 1'000'000'000;

// Simulated time: sleeping jumps the clock, a grab takes `grabNs`, and an
// encoder writes one queued frame every `writeNs`.
struct Simulation : FrameSink, FrameGrabber {
    int64_t now = 0;
    int64_t endNs = 0;
    int64_t grabNs = 0;
    int64_t writeNs = 0;
    int64_t nextWrite = 0;
    int64_t pictureAt = 0; // before it, the source has shown nothing
    std::atomic<bool> stop{false};
    FrameQueue queue{3, QSize(4, 4)};
    std::vector<int64_t> submitted; // stamps, in order
    std::vector<int64_t> written;

    void advanceTo(int64_t t)
    {
        while (writeNs > 0 && nextWrite <= t) {
            if (queue.hasReady()) {
                const FrameQueue::Slot slot = queue.pop();
                written.push_back(slot.stampNs);
                queue.release(slot.index);
            }
            nextWrite += writeNs;
        }
        now = std::max(now, t);
        if (now >= endNs)
            stop = true;
    }
    RecordingClock clock()
    {
        return {[this] { return now; }, [this](int64_t t) { advanceTo(t); }};
    }

    bool hasPicture(int64_t timeoutNs) override
    {
        if (now < pictureAt)
            advanceTo(std::min(now + timeoutNs, pictureAt));
        return now >= pictureAt;
    }
    bool grab(QImage &frame, QString &) override
    {
        EXPECT_GE(now, pictureAt);
        frame.fill(Qt::white);
        advanceTo(now + grabNs);
        return true;
    }
    int acquire() override { return queue.acquire(); }
    QImage &frame(int index) override { return queue.frame(index); }
    void submit(int index, int64_t stampNs) override
    {
        submitted.push_back(stampNs);
        if (writeNs > 0)
            queue.push(index, stampNs);
        else
            queue.release(index);
    }
};

TEST(CaptureLoop, DropsLateFramesEvenlyAndCountsEveryFrame)
{
    struct Case {
        const char *name;
        int fps;
        double grabIntervals;  // how long a grab takes, in frame intervals
        double writeIntervals; // how long the encoder takes per frame (0: at once)
        double minShare;       // of the due frames that must be captured
        double maxShare;
        int maxGap;              // the most intervals between two captured frames
        double pictureAfter = 0; // seconds before the source's first picture
    };
    const Case cases[] = {
        {"fast enough", 60, 0.3, 0, 1.0, 1.0, 1},
        {"grab overruns by a little", 60, 1.2, 0, 0.70, 0.80, 2},
        {"grab takes over two intervals", 30, 2.2, 0, 0.38, 0.48, 3},
        {"encoder takes three intervals", 60, 0.1, 3, 0.32, 0.35, 4},
        {"encoder slightly slow", 30, 0.1, 1.25, 0.78, 0.82, 2},
        {"no picture for the first second", 30, 0.1, 0, 0.89, 0.91, 1, 1.0},
    };
    for (const Case &c : cases) {
        Simulation sim;
        const int64_t interval = second / c.fps;
        sim.now = 5 * second; // t0 need not be 0
        sim.endNs = sim.now + 10 * second;
        sim.grabNs = int64_t(c.grabIntervals * double(interval));
        sim.writeNs = int64_t(c.writeIntervals * double(interval));
        sim.nextWrite = sim.now + sim.writeNs;
        sim.pictureAt = sim.now + int64_t(c.pictureAfter * double(second));
        CaptureLoop loop(sim.clock(), sim.now, c.fps, sim, QSize(4, 4), nullptr, sim);
        const int64_t t0 = sim.now;
        EXPECT_FALSE(loop.run(sim.stop).has_value()) << c.name;

        const int64_t due = 10 * c.fps;
        EXPECT_NEAR(double(loop.captured() + loop.dropped()), double(due), 1) << c.name;
        EXPECT_EQ(loop.captured(), int64_t(sim.submitted.size())) << c.name;
        EXPECT_GE(double(loop.captured()), c.minShare * double(due)) << c.name;
        EXPECT_LE(double(loop.captured()), c.maxShare * double(due) + 1) << c.name;
        // Stamps grow, and no stretch of drops is longer than the slowness
        // explains: drops are spread, never a stall followed by a burst.
        int64_t previous = t0 - interval;
        int64_t widest = 0;
        for (int64_t stamp : sim.submitted) {
            EXPECT_GT(stamp, previous) << c.name;
            if (previous >= t0)
                widest = std::max(widest, stamp - previous);
            previous = stamp;
        }
        EXPECT_LE(widest, c.maxGap * interval + interval / 2) << c.name;
        for (size_t i = 1; i < sim.written.size(); ++i)
            EXPECT_GT(sim.written[i], sim.written[i - 1]) << c.name;
    }
}

} // namespace
