// A window whose content is known at every moment, for the recording journey:
// the number of the current animation step drawn as 12 big black/white blocks
// (most significant first), a square moving one step to the right per step,
// and from step `toneStep` a 1 kHz tone of 0.5 s played to the default sink,
// with a white band along the bottom from the moment it sounds.
//
//   zorv-record-anim X Y W H STEPS_PER_SECOND TONE_STEP
//
// With ZORV_ANIM_NOISE set, the lower half shows noise that does not compress.
// Prints "paint STEP NS" the first time it paints each step (NS on its own
// clock), so a check can tell which step was on screen when, even while the
// program was starved; "tone-latency-us N" once the tone was queued (the sound
// server's playback delay) and "tone-at-ns N", the moment on its own clock
// the tone starts to sound, worked out on the sound thread so a busy GUI
// thread cannot shift it; the band shows from the step of that moment.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QRandomGenerator>
#include <QTimer>
#include <QWidget>
#include <cmath>
#include <cstdio>
#include <pulse/simple.h>
#include <thread>
#include <vector>

namespace
{
constexpr int rate = 48000;

class Anim : public QWidget
{
  public:
    Anim(int stepsPerSecond, int toneStep) : m_rate(stepsPerSecond), m_toneStep(toneStep)
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setWindowTitle(QStringLiteral("zorv-record-anim"));
        m_clock.start();
        auto *timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this] { update(); });
        timer->start(4);
    }
    qint64 nsecs() const { return m_clock.nsecsElapsed(); }
    qint64 stepAt(qint64 ns) const { return ns * m_rate / 1'000'000'000; }
    qint64 step() const { return stepAt(nsecs()); }
    void setBandFrom(qint64 step) { m_bandFrom = step; }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        const qint64 ns = nsecs();
        const qint64 n = stepAt(ns);
        if (n != m_painted) {
            m_painted = n;
            std::printf("paint %lld %lld\n", n, ns);
            std::fflush(stdout);
        }
        QPainter p(this);
        p.fillRect(rect(), QColor(40, 40, 40));
        const int block = width() / 12;
        for (int bit = 0; bit < 12; ++bit)
            p.fillRect(bit * block, 0, block, height() / 3,
                       (n >> (11 - bit)) & 1 ? Qt::white : Qt::black);
        p.fillRect(int(n * 8 % std::max(1, width() - 40)), height() / 3 + 10, 40, 40, Qt::blue);
        if (m_noise) { // content that does not compress, to fill a disk quickly
            QImage noise(width() / 4, height() / 4, QImage::Format_RGB32);
            for (int y = 0; y < noise.height(); ++y) {
                auto *line = reinterpret_cast<QRgb *>(noise.scanLine(y));
                for (int x = 0; x < noise.width(); ++x)
                    line[x] = m_random.generate();
            }
            p.drawImage(QRect(0, height() / 2, width(), height() / 2 - 40), noise);
        }
        if (m_bandFrom >= 0 && n >= m_bandFrom)
            p.fillRect(0, height() - 40, width(), 40, Qt::white);
    }

  private:
    QElapsedTimer m_clock;
    int m_rate;
    int m_toneStep;
    qint64 m_bandFrom = -1;
    qint64 m_painted = -1;
    bool m_noise = qEnvironmentVariableIsSet("ZORV_ANIM_NOISE");
    QRandomGenerator m_random{7};
};
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 7) {
        std::fprintf(stderr, "usage: zorv-record-anim X Y W H STEPS_PER_SECOND TONE_STEP\n");
        return 2;
    }
    const int stepsPerSecond = std::atoi(argv[5]);
    const int toneStep = std::atoi(argv[6]);
    Anim anim(stepsPerSecond, toneStep);
    anim.setGeometry(std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]),
                     std::atoi(argv[4]));
    anim.show();

    // The sound runs on a thread of its own, silence until the tone's step,
    // in 10 ms pieces with little buffered, so the tone's start is known to
    // within a few milliseconds; the band appears when it starts to sound.
    std::thread([&anim, toneStep] {
        pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32LE, rate, 1};
        const uint32_t piece = rate / 100;
        pa_buffer_attr attr{uint32_t(-1), piece * 4 * 2, uint32_t(-1), uint32_t(-1), uint32_t(-1)};
        int error = 0;
        pa_simple *s = pa_simple_new(nullptr, "zorv-record-anim", PA_STREAM_PLAYBACK, nullptr,
                                     "tone", &sampleFormat, nullptr, &attr, &error);
        if (!s) {
            std::fprintf(stderr, "no sound server: %d\n", error);
            return;
        }
        std::vector<float> samples(piece);
        qint64 toneSample = -1;
        for (;;) {
            const bool tone = anim.step() >= toneStep;
            if (tone && toneSample < 0)
                toneSample = 0;
            for (float &v : samples)
                v = tone && toneSample < rate / 2
                        ? 0.5f * float(std::sin(2 * M_PI * 1000 * double(toneSample++) / rate))
                        : 0.0f;
            if (pa_simple_write(s, samples.data(), samples.size() * sizeof(float), &error) < 0)
                return;
            if (toneSample == piece) {
                // The piece just written holds the tone's start: it sounds
                // once what is buffered ahead of it has played.
                const pa_usec_t latency = pa_simple_get_latency(s, &error);
                const qint64 at = anim.nsecs() + (qint64(latency) - 10'000) * 1000;
                std::printf("tone-latency-us %llu\ntone-at-ns %lld\n", (unsigned long long)latency,
                            at);
                std::fflush(stdout);
                QMetaObject::invokeMethod(&anim, [&anim, at] {
                    anim.setBandFrom(anim.stepAt(at));
                    std::printf("band-step %lld\n", anim.stepAt(at));
                    std::fflush(stdout);
                });
            }
        }
    }).detach();
    return app.exec();
}
