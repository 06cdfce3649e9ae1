// Speed of stitching a scrolling capture: 48 frames of 1920 × 1080 cut from a
// tall page of text, headings and pictures, scrolled by varied amounts.
//
// Run: build/bench/bench_scroll_stitch
// Prints Google Benchmark's table, then the minimum, median and maximum
// processor time of one stitch on one thread.

#include "capture/ScrollStitcher.h"

#include <QFont>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

using namespace zorv;

namespace
{

constexpr int width = 1920;
constexpr int height = 1080;
constexpr int frameCount = 48;
// Between 8 and H − s rows, as a user's wheel and page keys scroll.
const int scrolls[] = {120, 300, 470, 610, 250, 380, 540, 200, 90, 760, 330, 160};

int pageHeight()
{
    int total = height;
    for (int k = 1; k < frameCount; ++k)
        total += scrolls[(k - 1) % std::size(scrolls)];
    return total;
}

QImage tallPage()
{
    QImage page(width, pageHeight(), QImage::Format_ARGB32_Premultiplied);
    page.fill(QColor(250, 250, 248));
    QPainter p(&page);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    QRandomGenerator random(5);
    QFont body;
    body.setPixelSize(16);
    QFont heading = body;
    heading.setPixelSize(30);
    heading.setBold(true);
    const QString words[] = {
        QStringLiteral("capture"), QStringLiteral("scroll"),    QStringLiteral("the"),
        QStringLiteral("window"),  QStringLiteral("region"),    QStringLiteral("of"),
        QStringLiteral("page"),    QStringLiteral("stitching"), QStringLiteral("a"),
        QStringLiteral("content"), QStringLiteral("pixels"),    QStringLiteral("frame"),
    };
    int y = 40;
    while (y < page.height()) {
        const int kind = random.bounded(10);
        if (kind == 0) {
            p.setFont(heading);
            p.setPen(QColor(20, 30, 60));
            p.drawText(200, y + 30, QStringLiteral("Section %1").arg(y));
            y += 60;
        } else if (kind == 1) {
            QLinearGradient picture(0, y, 0, y + 260);
            picture.setColorAt(0, QColor::fromHsv(random.bounded(360), 160, 220));
            picture.setColorAt(1, QColor::fromHsv(random.bounded(360), 200, 120));
            p.fillRect(QRect(200, y, 700, 260), picture);
            p.setBrush(QColor(255, 255, 255, 120));
            p.setPen(Qt::NoPen);
            p.drawEllipse(QPoint(200 + random.bounded(700), y + random.bounded(260)), 60, 40);
            y += 290;
        } else {
            p.setFont(body);
            p.setPen(QColor(30, 30, 35));
            for (int line = 0; line < 6; ++line) {
                QString text;
                const int count = 12 + random.bounded(14);
                for (int w = 0; w < count; ++w)
                    text += words[random.bounded(int(std::size(words)))] + QLatin1Char(' ');
                p.drawText(200, y + 16, text);
                y += 24;
            }
            y += 18;
        }
    }
    return page;
}

const QList<QImage> &frames()
{
    static const QList<QImage> list = [] {
        const QImage page = tallPage();
        QList<QImage> frames;
        int top = 0;
        for (int k = 0; k < frameCount; ++k) {
            frames.append(page.copy(0, top, width, height));
            top += scrolls[k % std::size(scrolls)];
        }
        return frames;
    }();
    return list;
}

double threadSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::vector<double> stitchTimes;
int stitchedHeight = 0;
int stitchedFrames = 0;

void BM_Stitch48Frames1080p(benchmark::State &state)
{
    const QList<QImage> &input = frames();
    for (auto _ : state) {
        const double start = threadSeconds();
        auto result = ScrollStitcher::stitch(input);
        stitchTimes.push_back(threadSeconds() - start);
        if (result) {
            stitchedHeight = result.value().image.height();
            stitchedFrames = result.value().frameCount;
        }
        benchmark::DoNotOptimize(result);
    }
}

BENCHMARK(BM_Stitch48Frames1080p)->Unit(benchmark::kMillisecond)->Iterations(9);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    frames(); // drawn before timing starts
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (stitchTimes.empty())
        return 0;
    std::sort(stitchTimes.begin(), stitchTimes.end());
    std::printf("\n%d frames of %dx%d, joined %d into %d of %d rows%s\n", frameCount, width, height,
                stitchedFrames, stitchedHeight, pageHeight(),
                stitchedHeight == pageHeight() ? "" : " (NOT the whole page)");
    std::printf("stitch, milliseconds of processor time on one thread: min %.1f, median %.1f, "
                "max %.1f\n",
                stitchTimes.front() * 1e3, stitchTimes[stitchTimes.size() / 2] * 1e3,
                stitchTimes.back() * 1e3);
    return 0;
}
