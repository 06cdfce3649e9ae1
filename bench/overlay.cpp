// Selection overlay, inside the process: time from begin() to the overlay
// painted on every screen (the first time, then with its windows kept), and
// repaint time after a pointer move. bench/overlay.py measures the pixels on
// the screen and the memory from outside. Run it inside a desktop of the size
// to measure (bench/run-all.sh does).
#include "app/MemoryTuning.h"
#include "capture/ScreenCaptureService.h"
#include "capture/overlay/SelectionOverlayController.h"
#include "capture/overlay/SelectionOverlayView.h"
#include "capture/overlay/SelectionOverlayWindow.h"
#include "common/KeptBuffers.h"
#include "platform/Platform.h"
#include "platform/x11/X11Connection.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScreen>
#include <benchmark/benchmark.h>
#include <cstdio>

using namespace zorv;

namespace
{

SelectionOverlayController &controller()
{
    static SelectionOverlayController instance(
        SelectionOverlayController::desktopSources(
            ScreenCaptureService(Platform::shared().screens())),
        Platform::shared().windowSystem(), keptBuffersMs());
    return instance;
}

struct Figures {
    double visibleMs = 0;
    double repaintMs = 0;
} figures;

// Shows the overlay and returns once every screen's window has painted, with
// the time that took (the work the overlay starts after its first paint, such
// as reading the desktop for the loupe, is not part of it).
qint64 showOverlay()
{
    QElapsedTimer timer;
    timer.start();
    int painted = 0;
    qint64 lastPaintNs = 0;
    controller().begin(SelectionMode::screenshot, false, [](auto) {});
    const auto windows = controller().windows();
    QList<QMetaObject::Connection> connections;
    for (SelectionOverlayWindow *window : windows)
        connections.append(QObject::connect(window, &SelectionOverlayWindow::firstPaint, [&] {
            ++painted;
            // A round trip: the server has put the pixels on the screen.
            free(xcb_get_input_focus_reply(x11::connection(),
                                           xcb_get_input_focus(x11::connection()), nullptr));
            lastPaintNs = timer.nsecsElapsed();
        }));
    while (painted < windows.size())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    for (const auto &connection : connections)
        QObject::disconnect(connection);
    return lastPaintNs;
}

void closeOverlay()
{
    if (SelectionOverlayView *view = controller().view())
        view->keyPressed(SelectionOverlayView::Key::escape, false);
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 150)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

void BM_OverlayVisible(benchmark::State &state)
{
    for (auto _ : state) {
        state.SetIterationTime(double(showOverlay()) / 1e9);
        closeOverlay();
    }
}

void BM_PointerMoveRepaint(benchmark::State &state)
{
    showOverlay();
    SelectionOverlayView *view = controller().view();
    while (view->snapshot().isNull())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const QRectF bounds = view->bounds();
    int step = 0;
    for (auto _ : state) {
        const QPointF point(bounds.width() * (0.3 + 0.001 * (step % 200)),
                            bounds.height() * (0.4 + 0.001 * (step % 150)));
        ++step;
        QElapsedTimer timer;
        timer.start();
        view->mouseMoved(point);
        // Delivers the pending update: paint of the dirty parts and the flush.
        QCoreApplication::processEvents();
        state.SetIterationTime(double(timer.nsecsElapsed()) / 1e9);
    }
    closeOverlay();
}

class Recorder : public benchmark::ConsoleReporter
{
  public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            const double ms =
                run.GetAdjustedRealTime() * (run.time_unit == benchmark::kMillisecond ? 1 : 1e-6);
            if (run.benchmark_name().starts_with("BM_OverlayVisible"))
                figures.visibleMs = ms;
            else if (run.benchmark_name().starts_with("BM_PointerMoveRepaint"))
                figures.repaintMs = ms;
        }
    }
};

} // namespace

BENCHMARK(BM_OverlayVisible)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_PointerMoveRepaint)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(300);

int main(int argc, char **argv)
{
    // The same allocator set-up as the resident program.
    memoryTuning::restartWithHugePages(argv);
    memoryTuning::returnLargeBuffers();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    Recorder reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    QRect desktop;
    for (QScreen *screen : QGuiApplication::screens())
        desktop = desktop.united(screen->geometry());
    std::printf("overlay at %dx%d (%s): visible %.1f ms, pointer-move repaint %.2f ms\n",
                desktop.width(), desktop.height(),
                Platform::shared().windowSystem().compositingActive() ? "compositing"
                                                                      : "no compositor",
                figures.visibleMs, figures.repaintMs);
    return 0;
}
