// Display-region grabs on the X11 backend: the plain shared-memory path (none
// of our windows showing) and the composed path (one of ours on screen, left
// out). Run inside the virtual desktop, e.g.
//   scripts/desktop.sh run --monitors 3840x2160 -- build/bench/bench_grab
#include "platform/x11/X11ScreenBackend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <string>

using namespace zorv;

namespace
{
X11ScreenBackend *backend = nullptr;
QWidget *ownWindow = nullptr;
std::map<std::string, std::vector<double>> timings; // milliseconds per grab

// Lets the window manager map or unmap the window and the first paint land.
void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void grab(benchmark::State &state, bool withOwnWindow)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    const QRectF rect(0, 0, double(state.range(0)), double(state.range(1)));
    if (!screen->geometry().contains(rect.toRect())) {
        state.SkipWithError("the primary screen is smaller than this size");
        return;
    }
    ownWindow->setVisible(withOwnWindow);
    settle(300);
    const uint32_t display = *backend->displayID(screen);
    const std::string name = std::to_string(state.range(0)) + "x" + std::to_string(state.range(1)) +
                             (withOwnWindow ? " composed without own window" : " shm fast path");
    backend->grabDisplayRegion(display, rect, 1.0); // first use sets up shared memory
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const CaptureResult image = backend->grabDisplayRegion(display, rect, 1.0);
        timings[name].push_back(timer.nsecsElapsed() / 1e6);
        if (!image) {
            state.SkipWithError("grab failed");
            return;
        }
        benchmark::DoNotOptimize(image.value().constBits());
    }
}

void BM_GrabShm(benchmark::State &state)
{
    grab(state, false);
}
void BM_GrabComposed(benchmark::State &state)
{
    grab(state, true);
}

BENCHMARK(BM_GrabShm)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(25)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GrabComposed)
    ->Args({1920, 1080})
    ->Args({3840, 2160})
    ->Iterations(25)
    ->Unit(benchmark::kMillisecond);
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    auto x11 = X11ScreenBackend::forApplication();
    if (!x11) {
        fprintf(stderr, "bench_grab needs an X display (scripts/desktop.sh run -- …)\n");
        return 1;
    }
    backend = x11.get();
    QWidget window;
    window.setWindowTitle(QStringLiteral("bench-own-window"));
    window.setStyleSheet(QStringLiteral("background: magenta"));
    window.setGeometry(200, 200, 800, 600);
    ownWindow = &window;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    printf("grab medians (%s):", x11->composited() ? "Composite on" : "no Composite");
    for (auto &[name, values] : timings) {
        std::sort(values.begin(), values.end());
        printf("  %s %.2f ms (n=%zu);", name.c_str(), values[values.size() / 2], values.size());
    }
    printf("\n");
    return 0;
}
