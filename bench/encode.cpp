// Encoding speed and size on a synthetic desktop screenshot: our PNG writer
// against Qt's, plus JPEG and HEIC at quality 0.9. Prints a summary of the
// medians last.

#include "output/encoding/ImageEncoder.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>
#include <spng.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

using namespace zorv;

namespace
{

void paintWindow(QPainter &p, QRandomGenerator &random, const QRect &frame, const QString &title,
                 bool dark)
{
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 60));
    p.drawRoundedRect(frame.translated(0, 6).adjusted(-4, -2, 4, 8), 12, 12);
    p.setBrush(dark ? QColor(30, 32, 38) : QColor(250, 250, 252));
    p.drawRoundedRect(frame, 10, 10);
    const QRect titleBar(frame.left(), frame.top(), frame.width(), 38);
    p.setBrush(dark ? QColor(44, 46, 54) : QColor(232, 233, 238));
    p.drawRoundedRect(titleBar, 10, 10);
    const QColor buttons[] = {QColor(255, 95, 86), QColor(255, 189, 46), QColor(39, 201, 63)};
    for (int i = 0; i < 3; ++i) {
        p.setBrush(buttons[i]);
        p.drawEllipse(QPoint(frame.left() + 20 + i * 22, frame.top() + 19), 7, 7);
    }
    p.setPen(dark ? QColor(220, 220, 225) : QColor(40, 40, 45));
    p.setFont(QFont(QStringLiteral("Sans"), 11, QFont::DemiBold));
    p.drawText(titleBar, Qt::AlignCenter, title);

    // Sidebar with icons.
    const QRect sidebar(frame.left(), titleBar.bottom(), 220, frame.height() - titleBar.height());
    p.fillRect(sidebar, dark ? QColor(36, 38, 45) : QColor(241, 242, 246));
    p.setFont(QFont(QStringLiteral("Sans"), 10));
    for (int y = sidebar.top() + 16, i = 0; y + 28 < sidebar.bottom(); y += 30, ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromHsv(int(random.bounded(360)), 160, 220));
        p.drawRoundedRect(QRect(sidebar.left() + 14, y, 18, 18), 4, 4);
        p.setPen(dark ? QColor(190, 190, 200) : QColor(70, 70, 80));
        p.drawText(QPoint(sidebar.left() + 42, y + 14), QStringLiteral("Folder item %1").arg(i));
    }

    // Content: lines of text like an editor or a document.
    static const char *words[] = {
        "const",  "auto", "return", "image",   "capture", "while",  "for",    "render", "window",
        "pixels", "if",   "else",   "QString", "history", "output", "encode", "=",      "{",
        "}",      "(",    ")",      "value",   "12",      "0.5",    "true"};
    p.setFont(QFont(QStringLiteral("Monospace"), 10));
    const int left = sidebar.right() + 20;
    for (int y = titleBar.bottom() + 24; y < frame.bottom() - 10; y += 19) {
        int x = left + 12 * int(random.bounded(6));
        while (x < frame.right() - 120 && random.bounded(12) != 0) {
            const QString word = QString::fromLatin1(words[random.bounded(int(std::size(words)))]);
            p.setPen(QColor::fromHsv(int(random.bounded(360)), dark ? 90 : 200, dark ? 235 : 120));
            p.drawText(QPoint(x, y), word);
            x += p.fontMetrics().horizontalAdvance(word) + 8;
        }
    }
}

QImage syntheticDesktop(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    QRandomGenerator random(20260305);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient wallpaper(0, 0, size.width(), size.height());
    wallpaper.setColorAt(0, QColor(38, 70, 140));
    wallpaper.setColorAt(0.5, QColor(120, 60, 150));
    wallpaper.setColorAt(1, QColor(230, 120, 90));
    p.fillRect(image.rect(), wallpaper);

    const double sx = size.width() / 3840.0;
    const double sy = size.height() / 2160.0;
    auto scaled = [&](int x, int y, int w, int h) {
        return QRect(int(x * sx), int(y * sy), int(w * sx), int(h * sy));
    };
    paintWindow(p, random, scaled(120, 140, 1900, 1300), QStringLiteral("main.cpp — Editor"), true);
    paintWindow(p, random, scaled(1500, 500, 1800, 1200), QStringLiteral("Documentation"), false);

    // A photo-like area inside the browser window: smooth gradients and noise.
    const QRect photo = scaled(1800, 620, 1100, 640);
    QRadialGradient glow(photo.center(), photo.width() / 2.0);
    glow.setColorAt(0, QColor(255, 220, 160));
    glow.setColorAt(1, QColor(40, 90, 120));
    p.fillRect(photo, glow);
    for (int i = 0; i < 4000; ++i) {
        const QPoint dot(photo.left() + int(random.bounded(photo.width())),
                         photo.top() + int(random.bounded(photo.height())));
        p.fillRect(QRect(dot, QSize(2, 2)), QColor::fromRgb(random.generate() | 0xFF000000u));
    }

    // Desktop icons and the panel at the bottom.
    for (int i = 0; i < 8; ++i) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor::fromHsv(i * 45, 150, 230));
        p.drawRoundedRect(scaled(3600, 160 + i * 170, 110, 110), 18, 18);
        p.setPen(Qt::white);
        p.drawText(scaled(3570, 280 + i * 170, 170, 30), Qt::AlignCenter,
                   QStringLiteral("Document %1.pdf").arg(i + 1));
    }
    const QRect panel = scaled(0, 2100, 3840, 60);
    p.fillRect(panel, QColor(20, 20, 24));
    for (int i = 0; i < 12; ++i) {
        p.setBrush(QColor::fromHsv(i * 30, 180, 240));
        p.setPen(Qt::NoPen);
        p.drawEllipse(scaled(1500 + i * 70, 2110, 40, 40));
    }
    p.setPen(Qt::white);
    p.drawText(panel.adjusted(0, 0, -30, 0), Qt::AlignRight | Qt::AlignVCenter,
               QStringLiteral("14:07  Thu 5 Mar"));
    return image;
}

const QImage &screenshot(int width)
{
    static std::map<int, QImage> images;
    auto found = images.find(width);
    if (found == images.end()) {
        found = images.emplace(width, syntheticDesktop(QSize(width, width * 9 / 16))).first;
        // ZORV_BENCH_SAVE_DIR keeps the test pictures for a look.
        const QString saveDir = qEnvironmentVariable("ZORV_BENCH_SAVE_DIR");
        if (!saveDir.isEmpty())
            found->second.save(saveDir + QStringLiteral("/desktop-%1.png").arg(width));
    }
    return found->second;
}

std::optional<QByteArray> qtPng(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!QImageWriter(&buffer, "png").write(image))
        return std::nullopt;
    return bytes;
}

// libspng on one core with the same settings (no filters, level 6), for reference.
std::optional<QByteArray> spngPng(const QImage &image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    spng_ctx *ctx = spng_ctx_new(SPNG_CTX_ENCODER);
    spng_set_option(ctx, SPNG_ENCODE_TO_BUFFER, 1);
    spng_set_option(ctx, SPNG_FILTER_CHOICE, SPNG_DISABLE_FILTERING);
    spng_set_option(ctx, SPNG_IMG_COMPRESSION_LEVEL, 6);
    spng_ihdr ihdr{};
    ihdr.width = uint32_t(rgb.width());
    ihdr.height = uint32_t(rgb.height());
    ihdr.bit_depth = 8;
    ihdr.color_type = SPNG_COLOR_TYPE_TRUECOLOR;
    spng_set_ihdr(ctx, &ihdr);
    std::vector<uchar> packed(size_t(rgb.width()) * 3 * size_t(rgb.height()));
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(packed.data() + size_t(y) * size_t(rgb.width()) * 3, rgb.constScanLine(y),
                    size_t(rgb.width()) * 3);
    std::optional<QByteArray> result;
    if (spng_encode_image(ctx, packed.data(), packed.size(), SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) ==
        0) {
        size_t size = 0;
        int error = 0;
        if (void *buffer = spng_get_png_buffer(ctx, &size, &error)) {
            result = QByteArray(static_cast<const char *>(buffer), qsizetype(size));
            std::free(buffer);
        }
    }
    spng_ctx_free(ctx);
    return result;
}

template <typename Encode> void run(benchmark::State &state, Encode encode)
{
    const QImage &image = screenshot(int(state.range(0)));
    qsizetype size = 0;
    for (auto _ : state) {
        const std::optional<QByteArray> bytes = encode(image);
        if (!bytes) {
            state.SkipWithError("encoder failed");
            return;
        }
        size = bytes->size();
    }
    state.counters["bytes"] = double(size);
}

void pngOurs(benchmark::State &state)
{
    run(state, [](const QImage &image) { return ImageEncoder::pngData(image); });
}
void pngQt(benchmark::State &state)
{
    run(state, qtPng);
}
void pngSpng(benchmark::State &state)
{
    run(state, spngPng);
}
void jpeg90(benchmark::State &state)
{
    run(state, [](const QImage &image) { return ImageEncoder::jpegData(image, 0.9); });
}
void heic90(benchmark::State &state)
{
    run(state, [](const QImage &image) { return ImageEncoder::heicData(image, 0.9); });
}

// Remembers the median of every benchmark for the closing summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
  public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.aggregate_name != "median")
                continue;
            const auto bytes = run.counters.find("bytes");
            m_lines.push_back({run.run_name.function_name + "/" + run.run_name.args,
                               run.GetAdjustedRealTime(), run.GetAdjustedCPUTime(),
                               bytes == run.counters.end() ? 0.0 : double(bytes->second)});
        }
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nmedians (wall time, CPU time of all threads, output size):\n");
        for (const Line &line : m_lines)
            std::printf("  %-14s %9.1f ms wall %9.1f ms cpu %10.0f bytes\n", line.name.c_str(),
                        line.ms, line.cpuMs, line.bytes);
    }

  private:
    struct Line {
        std::string name;
        double ms;
        double cpuMs;
        double bytes;
    };
    std::vector<Line> m_lines;
};

} // namespace

// Both screen sizes, wall time with the CPU time of every thread, medians only.
void screenSizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->Arg(3840)
        ->Arg(1920)
        ->Unit(benchmark::kMillisecond)
        ->MeasureProcessCPUTime()
        ->UseRealTime()
        ->ReportAggregatesOnly(true);
}

BENCHMARK(pngOurs)->Apply(screenSizes)->Repetitions(7);
BENCHMARK(pngQt)->Apply(screenSizes)->Repetitions(5);
BENCHMARK(pngSpng)->Apply(screenSizes)->Repetitions(5);
BENCHMARK(jpeg90)->Apply(screenSizes)->Repetitions(5);
BENCHMARK(heic90)->Apply(screenSizes)->Iterations(1)->Repetitions(3);

int main(int argc, char **argv)
{
    // Fonts need a GUI application; the offscreen platform needs no display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
