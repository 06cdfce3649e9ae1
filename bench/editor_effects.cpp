// Speed of the editor's image effects and of producing the final image.
//
// Run: build/bench/bench_editor_effects
// Prints Google Benchmark's table, then a summary with the blur's speed-up over
// a full-kernel separable Gaussian convolution of the same image.

#include "app/MemoryTuning.h"
#include "editor/AnnotationRenderer.h"
#include "editor/EditorModel.h"
#include "editor/effects/ImageEffects.h"
#include "editor/effects/ImageFilters.h"
#include "settings/AppSettings.h"

#include "BenchSettings.h"
#include "DesktopPicture.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstdio>
#include <map>
#include <vector>

using namespace zorv;

namespace
{

constexpr int width = 3840;
constexpr int height = 2160;

const QImage &screenshot()
{
    static const QImage image = bench::desktopPicture(width, height);
    return image;
}

// The straightforward way: a separable convolution with the whole Gaussian
// kernel (±3σ) in single-precision floating point, four channels at a time,
// edges clamped, one core.
QImage referenceGaussian(const QImage &source, double sigma)
{
    using Channels = float __attribute__((vector_size(16)));
    const int radius = int(std::ceil(3 * sigma));
    std::vector<float> kernel(size_t(2 * radius + 1));
    float total = 0;
    for (int i = -radius; i <= radius; ++i)
        total += kernel[size_t(i + radius)] = float(std::exp(-(i * i) / (2 * sigma * sigma)));
    for (float &k : kernel)
        k /= total;
    const int w = source.width();
    const int h = source.height();
    auto toChannels = [](const uchar *p) {
        return Channels{float(p[0]), float(p[1]), float(p[2]), float(p[3])};
    };

    // Horizontal pass into a float image, from a row padded with its edge pixels.
    std::vector<Channels> rows(size_t(w) * size_t(h));
    std::vector<Channels> padded(size_t(w + 2 * radius));
    for (int y = 0; y < h; ++y) {
        const uchar *line = source.constScanLine(y);
        for (int x = -radius; x < w + radius; ++x)
            padded[size_t(x + radius)] = toChannels(line + 4 * std::clamp(x, 0, w - 1));
        Channels *out = &rows[size_t(y) * size_t(w)];
        for (int x = 0; x < w; ++x) {
            Channels acc = {0, 0, 0, 0};
            for (int k = 0; k <= 2 * radius; ++k)
                acc += kernel[size_t(k)] * padded[size_t(x + k)];
            out[x] = acc;
        }
    }
    // Vertical pass, a whole row of accumulators per output row.
    QImage result(w, h, QImage::Format_ARGB32_Premultiplied);
    std::vector<Channels> acc(static_cast<size_t>(w));
    for (int y = 0; y < h; ++y) {
        std::fill(acc.begin(), acc.end(), Channels{0, 0, 0, 0});
        for (int k = -radius; k <= radius; ++k) {
            const Channels *in = &rows[size_t(std::clamp(y + k, 0, h - 1)) * size_t(w)];
            const float weight = kernel[size_t(k + radius)];
            for (int x = 0; x < w; ++x)
                acc[size_t(x)] += weight * in[x];
        }
        uchar *line = result.scanLine(y);
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c)
                line[4 * x + c] = uchar(std::lround(acc[size_t(x)][c]));
    }
    return result;
}

// Fifty annotations of every drawing tool, two of them blur and pixelate areas.
QList<Annotation> mixedAnnotations()
{
    const QList<AnnotationTool> tools = {
        AnnotationTool::arrow,    AnnotationTool::line,     AnnotationTool::rectangle,
        AnnotationTool::ellipse,  AnnotationTool::freehand, AnnotationTool::highlighter,
        AnnotationTool::text,     AnnotationTool::number,   AnnotationTool::blur,
        AnnotationTool::pixelate, AnnotationTool::spotlight};
    QRandomGenerator random(7);
    QList<Annotation> list;
    for (int i = 0; i < 50; ++i) {
        Annotation a;
        a.id = QUuid::createUuid();
        a.tool = tools[i % tools.size()];
        if (a.tool == AnnotationTool::spotlight && i > 20)
            a.tool = AnnotationTool::rectangle; // one spotlight is the realistic case
        a.start = QPointF(random.bounded(3400), random.bounded(1800));
        a.end = a.start + QPointF(80 + random.bounded(400), 60 + random.bounded(300));
        if (a.tool == AnnotationTool::text || a.tool == AnnotationTool::number)
            a.end = a.start;
        if (a.tool == AnnotationTool::freehand || a.tool == AnnotationTool::highlighter) {
            for (int k = 0; k < 60; ++k)
                a.points.append(a.start + QPointF(k * 6, 40 * std::sin(k / 5.0)));
        }
        a.colorHex = QStringLiteral("#FF3B30");
        a.lineWidth = 8;
        a.text = QStringLiteral("Look here: this button saves the document");
        a.fontSize = 56;
        a.number = i + 1;
        a.blurRadius = 28;
        a.pixelScale = 36;
        list.append(a);
    }
    return list;
}

void blur(benchmark::State &state, double radius, imageFilters::Threads threads)
{
    const QImage &image = screenshot();
    for (auto _ : state)
        benchmark::DoNotOptimize(imageFilters::gaussianBlur(image, radius, threads));
}

void BM_Blur14OneCore(benchmark::State &state)
{
    blur(state, 14, imageFilters::Threads::single);
}
void BM_Blur60OneCore(benchmark::State &state)
{
    blur(state, 60, imageFilters::Threads::single);
}
void BM_Blur14AllCores(benchmark::State &state)
{
    blur(state, 14, imageFilters::Threads::pool);
}

void BM_Pixelate18OneCore(benchmark::State &state)
{
    const QImage &image = screenshot();
    for (auto _ : state)
        benchmark::DoNotOptimize(imageFilters::pixelate(image, 18, imageFilters::Threads::single));
}

void BM_FullKernelGaussian14(benchmark::State &state)
{
    const QImage &image = screenshot();
    for (auto _ : state)
        benchmark::DoNotOptimize(referenceGaussian(image, 14));
}

void flatten(benchmark::State &state, bool warm)
{
    bench::BenchSettings settings;
    EditorModel model(screenshot(), CaptureKind::screenshot, QStringLiteral("bench.png"),
                      settings.settings);
    model.setAnnotations(mixedAnnotations());
    Backdrop backdrop;
    backdrop.isOn = true;
    model.setBackdrop(backdrop);
    if (warm)
        benchmark::DoNotOptimize(model.flattenedImage());
    for (auto _ : state) {
        if (!warm) {
            state.PauseTiming();
            model.effects().clear();
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(model.flattenedImage());
    }
}

void BM_FlattenedImage50Cold(benchmark::State &state)
{
    flatten(state, false);
}
void BM_FlattenedImage50Warm(benchmark::State &state)
{
    flatten(state, true);
}

// One canvas frame while a blur area is dragged: the base, then the area
// clipped out of the cached effect at a new place each frame.
void BM_FrameWithCachedBlur(benchmark::State &state)
{
    const QImage &image = screenshot();
    QImage frame(image.size(), QImage::Format_ARGB32_Premultiplied);
    Annotation area;
    area.id = QUuid::createUuid();
    area.tool = AnnotationTool::blur;
    area.blurRadius = 28;
    ImageEffects effects;
    effects.blurred(image, area.blurRadius);
    int step = 0;
    for (auto _ : state) {
        area.start = QPointF(200 + step % 400, 300 + step % 200);
        area.end = area.start + QPointF(900, 500);
        ++step;
        QPainter painter(&frame);
        painter.drawImage(QPointF(0, 0), image);
        AnnotationRenderer::render(painter, {area}, image, QSizeF(image.size()), effects);
    }
}

BENCHMARK(BM_Blur14OneCore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blur60OneCore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Blur14AllCores)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Pixelate18OneCore)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullKernelGaussian14)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FlattenedImage50Cold)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FlattenedImage50Warm)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrameWithCachedBlur)->Unit(benchmark::kMillisecond)->UseRealTime();

// Keeps each benchmark's times so the summary can be printed after the table.
class SummaryReporter : public benchmark::ConsoleReporter
{
  public:
    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, Times> times;
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs)
            times[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                 run.GetAdjustedCPUTime()};
    }
    Times operator[](const char *name) const
    {
        auto it = times.find(name);
        return it == times.end() ? Times{} : it->second;
    }
};

} // namespace

int main(int argc, char **argv)
{
    // The same allocator set-up as the resident program.
    memoryTuning::restartWithHugePages(argv);
    memoryTuning::returnLargeBuffers();
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    // One-core figures are processor time, which a busy machine does not
    // inflate; the others are wall-clock time.
    const auto r14 = reporter["BM_Blur14OneCore"];
    const auto r60 = reporter["BM_Blur60OneCore"];
    std::printf(
        "\n3840x2160, milliseconds: blur r14 %.1f cpu (%.1f wall), r60 %.1f cpu (%.1f wall), "
        "r14 on all cores %.1f wall; pixelate 18 %.1f cpu; flattenedImage with backdrop "
        "and 50 annotations %.1f wall cold, %.1f wall warm; frame with cached blur %.1f "
        "wall\n",
        r14.cpu, r14.real, r60.cpu, r60.real, reporter["BM_Blur14AllCores"].real,
        reporter["BM_Pixelate18OneCore"].cpu, reporter["BM_FlattenedImage50Cold"].real,
        reporter["BM_FlattenedImage50Warm"].real, reporter["BM_FrameWithCachedBlur"].real);
    const double baseline = reporter["BM_FullKernelGaussian14"].cpu;
    if (baseline > 0 && r14.cpu > 0)
        std::printf("blur r14 on one core: %.1f ms cpu against %.1f ms for a full-kernel separable "
                    "Gaussian: %.1fx faster\n",
                    r14.cpu, baseline, baseline / r14.cpu);
    return 0;
}
