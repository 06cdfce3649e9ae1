// Encoding 1920 × 1080 screen content into MPEG-4: frames per second and CPU
// time per frame through the recording's writer (H.264 and HEVC as Zorv sets
// them up), then the choice of preset, CRF and threads by speed, size and
// quality. Frames are fed as fast as the encoder takes them. Prints a summary
// (min / median / max over repetitions) last.

#include "common/Modules.h"
#include "modules/video/VideoModule.h"
#include "output/encoding/VideoFrames.h"
#include "recording/VideoWriter.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>
#include <string>
#include <vector>

using namespace zorv;

namespace
{

const QSize frameSize(1920, 1080);
constexpr int fps = 60;
constexpr int framesPerRun = 120;
constexpr int scrollPerFrame = 6;

// A tall page of windows and text; each frame shows it scrolled a little
// further, the hardest common case of a screen recording (everything moves).
const QImage &page()
{
    static const QImage canvas = [] {
        const int height = frameSize.height() + framesPerRun * scrollPerFrame;
        QImage image(frameSize.width(), height, QImage::Format_RGB32);
        image.fill(QColor(38, 70, 110));
        QPainter p(&image);
        QRandomGenerator random(7);
        p.setFont(QFont(QStringLiteral("Sans"), 11));
        for (int y = 20; y < height - 200; y += 260) {
            for (int x = 30; x < frameSize.width() - 600; x += 640) {
                const QRect window(x, y, 600, 230);
                p.fillRect(window, QColor(248, 248, 250));
                p.fillRect(window.left(), window.top(), window.width(), 28, QColor(226, 228, 234));
                p.setPen(QColor(40, 40, 46));
                for (int line = 0; line < 9; ++line) {
                    QString text;
                    for (int word = 0; word < 9; ++word)
                        text += QString::number(random.generate(), 36)
                                    .left(2 + int(random.bounded(7))) +
                                u' ';
                    p.drawText(window.left() + 12, window.top() + 50 + line * 20, text);
                }
                p.fillRect(window.right() - 150, window.bottom() - 60, 120, 40,
                           QColor::fromHsv(int(random.bounded(360)), 180, 220));
            }
        }
        return image;
    }();
    return canvas;
}

// Frame n without a copy: a view into the page.
QImage frame(int n)
{
    const QImage &canvas = page();
    return QImage(canvas.constScanLine(n * scrollPerFrame), frameSize.width(), frameSize.height(),
                  int(canvas.bytesPerLine()), QImage::Format_RGB32);
}

double seconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return double(now.tv_sec) + now.tv_nsec / 1e9;
}

struct Run {
    double fps;
    double cpuMsPerFrame;
};
std::map<std::string, std::vector<Run>> runs;
std::map<std::string, std::string> choices;

void record(benchmark::State &state, const std::string &name, const Run &run)
{
    runs[name].push_back(run);
    state.counters["fps"] = run.fps;
    state.counters["cpu_ms_per_frame"] = run.cpuMsPerFrame;
    state.counters["cores"] = run.fps * run.cpuMsPerFrame / 1000;
}

void writer(benchmark::State &state, VideoCodec codec, const char *name)
{
    page();
    QTemporaryDir folder;
    int index = 0;
    for (auto _ : state) {
        const QString path = folder.filePath(QStringLiteral("v%1.mp4").arg(index++));
        auto opened = VideoWriter::open({path, frameSize, fps, codec, false});
        if (!opened) {
            state.SkipWithError(opened.error().toUtf8().constData());
            return;
        }
        VideoWriter &out = *opened.value();
        const double wall = seconds(CLOCK_MONOTONIC);
        const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
        for (int n = 0; n < framesPerRun; ++n)
            out.writeVideo(frame(n), int64_t(n) * 1000000 / fps);
        out.finish();
        const double wallSpent = seconds(CLOCK_MONOTONIC) - wall;
        const double cpuSpent = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
        record(state, name, {framesPerRun / wallSpent, cpuSpent * 1000 / framesPerRun});
    }
}

void BM_WriterH264(benchmark::State &state)
{
    writer(state, VideoCodec::h264, "writer h264");
}
void BM_WriterHevc(benchmark::State &state)
{
    writer(state, VideoCodec::hevc, "writer hevc");
}

double psnr(const QImage &a, const QImage &b)
{
    double squares = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto *ra = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const auto *rb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            for (int shift : {0, 8, 16}) {
                const double d = int((ra[x] >> shift) & 0xff) - int((rb[x] >> shift) & 0xff);
                squares += d * d;
            }
        }
    }
    const double mse = squares / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

// One encoder setting straight through the module: speed, size, quality.
void BM_Choice(benchmark::State &state)
{
    static const char *presets[] = {"ultrafast", "superfast", "veryfast"};
    const bool hevc = state.range(0) != 0;
    const char *preset = presets[state.range(1)];
    const int crf = int(state.range(2));
    const int threads = int(state.range(3));
    const QList<QFunctionPointer> found = loadModule(
        QStringLiteral("libzorv-video"),
        {"zorv_video_open", "zorv_video_write_frame", "zorv_video_finish", "zorv_video_close"},
        QStringLiteral("bench"));
    if (found.isEmpty()) {
        state.SkipWithError("no video module");
        return;
    }
    const auto open = reinterpret_cast<ZorvVideoOpen>(found[0]);
    const auto write = reinterpret_cast<ZorvVideoWriteFrame>(found[1]);
    const auto finish = reinterpret_cast<ZorvVideoFinish>(found[2]);
    const auto close = reinterpret_cast<ZorvVideoClose>(found[3]);
    page();
    QTemporaryDir folder;
    const std::string name = std::string(hevc ? "hevc " : "h264 ") + preset + " crf " +
                             std::to_string(crf) + " threads " + std::to_string(threads);
    double kbPerSecond = 0;
    double worstPsnr = 99;
    int index = 0;
    for (auto _ : state) {
        const QByteArray path = folder.filePath(QStringLiteral("c%1.mp4").arg(index++)).toUtf8();
        const ZorvVideoSettings settings{path.constData(),
                                         frameSize.width(),
                                         frameSize.height(),
                                         fps,
                                         hevc ? ZORV_VIDEO_HEVC : ZORV_VIDEO_H264,
                                         0,
                                         crf,
                                         preset,
                                         threads};
        char error[256] = {};
        ZorvVideoWriter *out = open(&settings, error, int(sizeof error));
        if (!out) {
            state.SkipWithError(error);
            return;
        }
        const double wall = seconds(CLOCK_MONOTONIC);
        const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID);
        for (int n = 0; n < framesPerRun; ++n) {
            const QImage image = frame(n);
            write(out, image.constBits(), int(image.bytesPerLine()), int64_t(n) * 1000000 / fps);
        }
        finish(out);
        close(out);
        const double wallSpent = seconds(CLOCK_MONOTONIC) - wall;
        const double cpuSpent = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu;
        record(state, name, {framesPerRun / wallSpent, cpuSpent * 1000 / framesPerRun});
        kbPerSecond = QFileInfo(QString::fromUtf8(path)).size() / 1024.0 / framesPerRun * fps;
        // Quality of every tenth frame against what was given.
        state.PauseTiming();
        if (auto reader = VideoFrameReader::open(QString::fromUtf8(path))) {
            for (int n = 0; n < framesPerRun; ++n) {
                const std::optional<VideoFrameReader::Frame> decoded = reader->next();
                if (!decoded)
                    break;
                if (n % 10 == 0)
                    worstPsnr = std::min(worstPsnr, psnr(decoded->image, frame(n)));
            }
        }
        state.ResumeTiming();
    }
    state.counters["kB_per_s"] = kbPerSecond;
    state.counters["worst_psnr"] = worstPsnr;
    char line[128];
    std::snprintf(line, sizeof line, "%7.0f kB/s  worst PSNR %5.2f dB", kbPerSecond, worstPsnr);
    choices[name] = line;
}

} // namespace

BENCHMARK(BM_WriterH264)->Iterations(1)->Repetitions(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriterHevc)->Iterations(1)->Repetitions(3)->Unit(benchmark::kMillisecond);
// codec (0 h264, 1 hevc), preset index, crf, threads
BENCHMARK(BM_Choice)
    ->Args({0, 0, 18, 2})
    ->Args({0, 0, 23, 2})
    ->Args({0, 0, 28, 2})
    ->Args({0, 1, 23, 2})
    ->Args({0, 0, 23, 1})
    ->Args({0, 0, 23, 3})
    ->Args({0, 0, 23, 4})
    ->Args({0, 0, 23, 0})
    ->Args({1, 0, 20, 2})
    ->Args({1, 0, 22, 2})
    ->Args({1, 0, 21, 2})
    ->Args({1, 0, 23, 2})
    ->Args({1, 0, 26, 2})
    ->Args({1, 0, 28, 2})
    ->Iterations(1)
    ->Repetitions(3)
    ->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv); // fonts for the page
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\n1920x1080 at %d fps, %d frames a run, fed as fast as taken; 2 cores\n", fps,
                framesPerRun);
    std::printf("%-34s %28s %30s\n", "", "fps min / median / max", "CPU ms a frame min/med/max");
    for (auto &[name, list] : runs) {
        auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        std::vector<double> rates, costs;
        for (const Run &run : list) {
            rates.push_back(run.fps);
            costs.push_back(run.cpuMsPerFrame);
        }
        std::printf("%-34s %8.1f /%6.1f /%6.1f %10.2f /%6.2f /%6.2f  %s\n", name.c_str(),
                    *std::min_element(rates.begin(), rates.end()), median(rates),
                    *std::max_element(rates.begin(), rates.end()),
                    *std::min_element(costs.begin(), costs.end()), median(costs),
                    *std::max_element(costs.begin(), costs.end()), choices[name].c_str());
    }
    return 0;
}
