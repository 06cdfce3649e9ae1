// What a recording reads per frame on the X11 backend: a 1080p area through
// the frame grabber (the shared-memory path, and composed while one of our
// windows overlaps it) and a pointer snapshot. Run inside the virtual desktop:
//   scripts/desktop.sh run --monitors 1920x1080 -- build/bench/bench_record_sources
#include "platform/x11/X11FrameGrabber.h"
#include "platform/x11/X11RecordingSources.h"
#include "platform/x11/X11ScreenBackend.h"

#include <QApplication>
#include <QElapsedTimer>
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
X11ScreenBackend *screens = nullptr;
QWidget *ownWindow = nullptr;
std::map<std::string, std::vector<double>> timings; // milliseconds per call

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

RecordingArea fullHd()
{
    QScreen *screen = QGuiApplication::primaryScreen();
    return {*screens->displayID(screen), QRectF(0, 0, 1920, 1080), 1.0, QSize(1920, 1080)};
}

void frameGrab(benchmark::State &state, bool ownWindowOver)
{
    if (!QGuiApplication::primaryScreen()->geometry().contains(QRect(0, 0, 1920, 1080))) {
        state.SkipWithError("the primary screen is smaller than 1920x1080");
        return;
    }
    ownWindow->setVisible(ownWindowOver);
    settle(300);
    X11RecordingSources sources(*screens);
    auto grabber = sources.frameGrabber(fullHd());
    if (!grabber) {
        state.SkipWithError(grabber.error().toStdString().c_str());
        return;
    }
    const std::string name = ownWindowOver ? "grab 1920x1080 composed without own window"
                                           : "grab 1920x1080 shared memory";
    QImage frame;
    QString error;
    grabber.value()->grab(frame, error); // the first one sets up the buffer
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const bool ok = grabber.value()->grab(frame, error);
        timings[name].push_back(timer.nsecsElapsed() / 1e6);
        if (!ok) {
            state.SkipWithError(error.toStdString().c_str());
            return;
        }
        benchmark::DoNotOptimize(frame.constBits());
    }
}

void BM_FrameGrab(benchmark::State &state)
{
    frameGrab(state, false);
}
void BM_FrameGrabComposed(benchmark::State &state)
{
    frameGrab(state, true);
}

void BM_CursorSnapshot(benchmark::State &state)
{
    ownWindow->hide();
    settle(100);
    X11RecordingSources sources(*screens);
    auto cursor = sources.cursor(fullHd());
    cursor->current();
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        const auto snapshot = cursor->current();
        timings["cursor snapshot"].push_back(timer.nsecsElapsed() / 1e6);
        if (!snapshot) {
            state.SkipWithError("no pointer");
            return;
        }
        benchmark::DoNotOptimize(snapshot->position);
    }
}

BENCHMARK(BM_FrameGrab)->Iterations(120)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrameGrabComposed)->Iterations(40)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CursorSnapshot)->Iterations(500)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    auto x11 = X11ScreenBackend::forApplication();
    if (!x11) {
        fprintf(stderr, "bench_record_sources needs an X display (scripts/desktop.sh run -- …)\n");
        return 1;
    }
    screens = x11.get();
    QWidget window;
    window.setWindowTitle(QStringLiteral("bench-own-window"));
    window.setStyleSheet(QStringLiteral("background: magenta"));
    window.setGeometry(200, 200, 800, 600);
    ownWindow = &window;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    printf("recording sources, min / median / max:");
    for (auto &[name, values] : timings) {
        std::sort(values.begin(), values.end());
        printf("  %s %.3f / %.3f / %.3f ms (n=%zu);", name.c_str(), values.front(),
               values[values.size() / 2], values.back(), values.size());
    }
    printf("\n");
    return 0;
}
