// Scrolling capture costs on the GUI thread: the fingerprint of a 1080p grab,
// and one region grab at 1080p through the real X11 backend as the capture
// makes it (its panel on screen, so Zorv's own windows are left out). Run inside
// the virtual desktop:
//   scripts/desktop.sh run --monitors 1920x1080 -- build/bench/bench_scrolling
#include "capture/ScreenCaptureService.h"
#include "capture/scrolling/ScrollFingerprint.h"
#include "capture/scrolling/ScrollingHUD.h"
#include "platform/x11/X11ScreenBackend.h"
#include "platform/x11/X11WindowSystem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

using namespace zorv;

namespace
{
ScreenCaptureService *service = nullptr;
std::map<std::string, std::vector<double>> timings; // milliseconds

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

QImage page()
{
    QImage image(1920, 1080, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (int y = 0; y < 1080; y += 24)
        painter.drawText(20, y + 18, QStringLiteral("Line %1 of a long page").arg(y / 24));
    return image;
}

void BM_Fingerprint1080p(benchmark::State &state)
{
    const QImage image = page();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const QByteArray print = ScrollFingerprint::of(image);
        timings["fingerprint 1920x1080"].push_back(timer.nsecsElapsed() / 1e6);
        benchmark::DoNotOptimize(print.constData());
    }
}

// `whole`: the region is the whole screen, so the panel lies on it.
void grabRegion(benchmark::State &state, bool whole)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRectF region = whole ? QRectF(screen->geometry()) : QRectF(0, 0, 1920, 900);
    if (!QRectF(screen->geometry()).contains(region)) {
        state.SkipWithError("needs a 1920x1080 primary screen");
        return;
    }
    static X11WindowSystem windows;
    ScrollingHUD hud(
        windows, nullptr, [] {}, [] {});
    hud.present(region);
    settle(300);
    service->captureArea(region); // first use sets up shared memory
    const std::string name =
        whole ? "region grab 1920x1080, panel on it" : "region grab 1920x900, panel beside it";
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const CaptureResult image = service->captureArea(region);
        timings[name].push_back(timer.nsecsElapsed() / 1e6);
        if (!image) {
            state.SkipWithError("grab failed");
            return;
        }
        benchmark::DoNotOptimize(image.value().constBits());
    }
}

void BM_RegionGrab(benchmark::State &state)
{
    grabRegion(state, false);
}
void BM_RegionGrabUnderPanel(benchmark::State &state)
{
    grabRegion(state, true);
}

BENCHMARK(BM_Fingerprint1080p)->Iterations(200)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RegionGrab)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegionGrabUnderPanel)->Iterations(40)->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    auto x11 = X11ScreenBackend::forApplication();
    if (!x11) {
        fprintf(stderr, "bench_scrolling needs an X display (scripts/desktop.sh run -- …)\n");
        return 1;
    }
    ScreenCaptureService capture(*x11);
    service = &capture;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    for (auto &[name, values] : timings) {
        std::sort(values.begin(), values.end());
        printf("%s: min %.3f  median %.3f  max %.3f ms (n=%zu)\n", name.c_str(), values.front(),
               values[values.size() / 2], values.back(), values.size());
    }
    return 0;
}
