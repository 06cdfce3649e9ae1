// Known animated content for the recording benchmark, and the measure of how
// faithfully a recording kept it.
//
//   bench_recording_anim show FPS          full-screen animation, step = time × FPS
//   bench_recording_anim psnr VIDEO [N]    PSNR of every Nth decoded frame against
//                                          the step it shows, rendered again here, and
//                                          how many distinct steps the video holds
//
// Every frame carries its step number as 16 black or white blocks along the top,
// so a decoded frame is compared with exactly what was on the screen, whatever
// the recorder's timing. The bottom-right corner (where the benchmark moves the
// pointer and clicks) is left out of the comparison.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{

constexpr int bits = 16;
constexpr int block = 60;
constexpr int cornerSkip = 240; // pointer and click marks live here

uint32_t hash(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352d;
    x ^= x >> 15;
    x *= 0x846ca68b;
    x ^= x >> 16;
    return x;
}

// What the screen shows at `step`: a slowly shifting background, a grid of
// cells that change every few steps (detail the encoder must keep), shapes
// moving at several speeds, a counter in large text, and the step as blocks.
void paintStep(QPainter &p, const QSize &size, int64_t step)
{
    const int w = size.width(), h = size.height();
    p.fillRect(0, 0, w, h, QColor::fromHsv(int(step / 2 % 360), 90, 70));
    const int cell = 40;
    for (int y = 2 * block; y < h / 2; y += cell) {
        for (int x = 0; x < w; x += cell) {
            const uint32_t v =
                hash(uint32_t(step / 6) * 7919u + uint32_t(x / cell) * 131u + uint32_t(y / cell));
            p.fillRect(x, y, cell - 2, cell - 2, QColor(v & 255, (v >> 8) & 255, (v >> 16) & 255));
        }
    }
    for (int i = 0; i < 12; ++i) {
        const int speed = 2 + i * 3;
        const int x = int((step * speed + i * 151) % (w + 200)) - 100;
        const int y = h / 2 + 20 + i * 30;
        p.fillRect(x, y, 90, 24, QColor::fromHsv(i * 30, 200, 230));
    }
    QFont font = p.font();
    font.setPixelSize(90);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRect(40, h - 180, w / 2, 120), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("step %1").arg(step));
    for (int b = 0; b < bits; ++b)
        p.fillRect(b * block, 0, block, block,
                   (step >> (bits - 1 - b)) & 1 ? Qt::white : Qt::black);
}

class Animation : public QWidget
{
  public:
    explicit Animation(int fps) : m_fps(fps)
    {
        setWindowFlags(Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint);
        setAttribute(Qt::WA_OpaquePaintEvent);
        m_clock.start();
        auto *timer = new QTimer(this);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this] {
            if (step() != m_shown)
                repaint();
        });
        timer->start(2);
    }

  protected:
    void paintEvent(QPaintEvent *) override
    {
        m_shown = step();
        QPainter p(this);
        paintStep(p, size(), m_shown);
    }

  private:
    int64_t step() const { return m_clock.nsecsElapsed() * m_fps / 1'000'000'000; }
    QElapsedTimer m_clock;
    int m_fps;
    int64_t m_shown = -1;
};

int64_t readStep(const QImage &frame)
{
    int64_t step = 0;
    for (int b = 0; b < bits; ++b) {
        const QRgb c = frame.pixel(b * block + block / 2, block / 2);
        step = (step << 1) | (qGray(c) > 128 ? 1 : 0);
    }
    return step;
}

double psnr(const QImage &a, const QImage &b)
{
    double sum = 0;
    int64_t count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *la = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *lb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        const int width = y >= a.height() - cornerSkip ? a.width() - cornerSkip : a.width();
        for (int x = 0; x < width; ++x) {
            const int dr = qRed(la[x]) - qRed(lb[x]);
            const int dg = qGreen(la[x]) - qGreen(lb[x]);
            const int db = qBlue(la[x]) - qBlue(lb[x]);
            sum += dr * dr + dg * dg + db * db;
        }
        count += 3 * width;
    }
    const double mse = sum / double(count);
    return mse <= 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

int measure(const char *video, int every)
{
    char size[64] = {};
    const QByteArray probe = QByteArray("ffprobe -v error -select_streams v:0 -show_entries "
                                        "stream=width,height -of csv=p=0:s=x '") +
                             video + "'";
    FILE *p = popen(probe.constData(), "r");
    if (!p || !fgets(size, sizeof size, p))
        return 2;
    pclose(p);
    int w = 0, h = 0;
    if (std::sscanf(size, "%dx%d", &w, &h) != 2)
        return 2;
    const QByteArray decode =
        QByteArray("ffmpeg -v error -i '") + video +
        "' -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt bgra - 2>/dev/null";
    FILE *in = popen(decode.constData(), "r");
    if (!in)
        return 2;
    QImage frame(w, h, QImage::Format_RGB32);
    QImage reference(w, h, QImage::Format_RGB32);
    std::vector<double> values;
    int64_t index = 0, unreadable = 0, distinct = 0, previous = -1;
    while (std::fread(frame.bits(), 1, size_t(frame.sizeInBytes()), in) ==
           size_t(frame.sizeInBytes())) {
        // A frame repeated by the recorder shows the step of the one before.
        const int64_t step = readStep(frame);
        if (step != previous)
            ++distinct;
        previous = step;
        if (index++ % every != 0)
            continue;
        QPainter painter(&reference);
        paintStep(painter, reference.size(), step);
        painter.end();
        const double value = psnr(frame, reference);
        if (value < 15) // blocks misread, or a frame grabbed mid-repaint
            ++unreadable;
        else
            values.push_back(value);
    }
    pclose(in);
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        std::printf("psnr: no comparable frames of %lld\n", (long long)index);
        return 1;
    }
    std::printf("psnr_db min %.2f median %.2f max %.2f frames_compared %zu decoded %lld "
                "distinct_steps %lld not_comparable %lld\n",
                values.front(), values[values.size() / 2], values.back(), values.size(),
                (long long)index, (long long)distinct, (long long)unreadable);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 3 && QByteArray(argv[1]) == "psnr") {
        QApplication app(argc, argv); // on the same desktop, so text renders as it did
        return measure(argv[2], argc > 3 ? std::max(1, atoi(argv[3])) : 10);
    }
    if (argc < 3 || QByteArray(argv[1]) != "show") {
        std::fprintf(stderr, "usage: %s show FPS | psnr VIDEO [EVERY]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    Animation animation(std::max(1, atoi(argv[2])));
    animation.setGeometry(QGuiApplication::primaryScreen()->geometry());
    animation.show();
    return app.exec();
}
