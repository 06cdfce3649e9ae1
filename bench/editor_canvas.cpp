// Frame times of the editor canvas on a 4K capture with a blur and 50 other
// annotations: dragging one annotation, and typing into a text annotation.
//
// Run in the virtual desktop, in a real window the size of an editor's canvas:
//   scripts/desktop.sh run --monitors 1920x1080 -- build/bench/bench_editor_canvas
// Options: --width W --height H (canvas size, default 1600x900), --moves N,
// --keys N, --shot FILE (the canvas afterwards). A frame is the time from sending the event to the
// end of the repaint and flush it causes. Prints min / median / max in milliseconds, and the
// resident memory the open editor adds.

#include "app/MemoryTuning.h"
#include "editor/EditorModel.h"
#include "editor/canvas/EditorCanvasView.h"
#include "settings/AppSettings.h"

#include "BenchSettings.h"
#include "DesktopPicture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace zorv;

namespace
{

constexpr int imageWidth = 3840;
constexpr int imageHeight = 2160;

// One blur, one pixelate, one spotlight and 48 other marks across the image.
QList<Annotation> annotations()
{
    const QList<AnnotationTool> tools = {AnnotationTool::arrow,     AnnotationTool::line,
                                         AnnotationTool::rectangle, AnnotationTool::ellipse,
                                         AnnotationTool::freehand,  AnnotationTool::highlighter,
                                         AnnotationTool::text,      AnnotationTool::number};
    QRandomGenerator random(7);
    QList<Annotation> list;
    auto add = [&](AnnotationTool tool, QPointF start, QPointF end) {
        Annotation a;
        a.id = QUuid::createUuid();
        a.tool = tool;
        a.start = start;
        a.end = end;
        if (tool == AnnotationTool::freehand || tool == AnnotationTool::highlighter)
            for (int k = 0; k < 60; ++k)
                a.points.append(start + QPointF(k * 6, 40 * std::sin(k / 5.0)));
        a.colorHex = QStringLiteral("#FF3B30");
        a.lineWidth = 8;
        if (tool == AnnotationTool::text)
            a.text = QStringLiteral("Look here: this button saves the document");
        a.fontSize = 56;
        a.number = list.size() + 1;
        a.blurRadius = 28;
        a.pixelScale = 36;
        list.append(a);
    };
    add(AnnotationTool::blur, {600, 500}, {1500, 1000});
    add(AnnotationTool::pixelate, {2400, 1300}, {2900, 1600});
    add(AnnotationTool::spotlight, {200, 200}, {3600, 1950});
    for (int i = 0; i < 48; ++i) {
        const AnnotationTool tool = tools[i % tools.size()];
        const QPointF start(random.bounded(3300), random.bounded(1800));
        const bool placed = tool == AnnotationTool::text || tool == AnnotationTool::number;
        add(tool, start,
            placed ? start : start + QPointF(80 + random.bounded(400), 60 + random.bounded(300)));
    }
    return list;
}

double residentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

class CountingCanvas : public EditorCanvasView
{
  public:
    using EditorCanvasView::EditorCanvasView;
    int paints = 0;

  protected:
    void paintEvent(QPaintEvent *event) override
    {
        EditorCanvasView::paintEvent(event);
        ++paints;
    }
};

// Sends the event, then delivers the repaint it asked for and flushes it.
double frame(QWidget *target, QEvent *event, CountingCanvas &canvas)
{
    QElapsedTimer timer;
    timer.start();
    const int before = canvas.paints;
    QApplication::sendEvent(target, event);
    QApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    QApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    return canvas.paints > before ? ms : -1;
}

void report(const char *what, std::vector<double> times)
{
    const auto missing = std::count(times.begin(), times.end(), -1.0);
    times.erase(std::remove(times.begin(), times.end(), -1.0), times.end());
    if (times.empty()) {
        std::printf("%s: no frames were painted\n", what);
        return;
    }
    std::sort(times.begin(), times.end());
    std::printf("%s: %zu frames, ms min %.2f / median %.2f / max %.2f%s\n", what, times.size(),
                times.front(), times[times.size() / 2], times.back(),
                missing ? " (some events painted nothing)" : "");
}

int intOption(const QStringList &args, const QString &name, int fallback)
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1].toInt() : fallback;
}

} // namespace

int main(int argc, char **argv)
{
    memoryTuning::restartWithHugePages(argv);
    memoryTuning::returnLargeBuffers();
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QSize canvasSize(intOption(args, QStringLiteral("--width"), 1600),
                           intOption(args, QStringLiteral("--height"), 900));
    const int moves = intOption(args, QStringLiteral("--moves"), 120);
    const int keys = intOption(args, QStringLiteral("--keys"), 100);

    bench::BenchSettings settings;
    QApplication::processEvents();
    const double idle = residentMB();
    QImage capture = bench::desktopPicture(imageWidth, imageHeight);

    EditorModel model(std::move(capture), CaptureKind::screenshot, QStringLiteral("bench.png"),
                      settings.settings);
    model.setAnnotations(annotations());
    CountingCanvas canvas(model);
    canvas.resize(canvasSize);
    canvas.show();
    canvas.activateWindow();
    // Until the window manager has mapped it and the first frame is on screen.
    QElapsedTimer waiting;
    waiting.start();
    while ((!canvas.windowHandle() || !canvas.windowHandle()->isExposed() || !canvas.paints) &&
           waiting.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    if (!canvas.paints) {
        std::fprintf(stderr, "the canvas was never shown\n");
        return 1;
    }
    model.tools().setTool(AnnotationTool::select);
    QApplication::processEvents();

    // Drag a rectangle (it crosses the blur and others) along a diagonal.
    Annotation dragged;
    dragged.id = QUuid::createUuid();
    dragged.tool = AnnotationTool::rectangle;
    dragged.start = {800, 700};
    dragged.end = {1300, 1000};
    dragged.colorHex = QStringLiteral("#34C759");
    dragged.lineWidth = 8;
    dragged.fontSize = 56;
    dragged.blurRadius = 28;
    dragged.pixelScale = 36;
    model.pushUndo();
    model.add(dragged);
    const CanvasLayout layout =
        CanvasLayout::compute(QSizeF(canvas.size()), model.image().size(), model.backdrop());
    const QPointF grab = layout.toView(QPointF(800, 780)); // its left edge, off the grips
    QMouseEvent press(QEvent::MouseButtonPress, grab, canvas.mapToGlobal(grab), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    frame(&canvas, &press, canvas);
    std::vector<double> dragTimes;
    for (int i = 1; i <= moves; ++i) {
        const QPointF at = grab + QPointF(4.0 * i, 2.0 * i);
        QMouseEvent move(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        dragTimes.push_back(frame(&canvas, &move, canvas));
    }
    QMouseEvent release(QEvent::MouseButtonRelease, grab, canvas.mapToGlobal(grab), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    frame(&canvas, &release, canvas);

    // Type into a new text annotation placed on the blur.
    model.tools().setTool(AnnotationTool::text);
    const QPointF textAt = layout.toView(QPointF(700, 600));
    QMouseEvent textPress(QEvent::MouseButtonPress, textAt, canvas.mapToGlobal(textAt),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    frame(&canvas, &textPress, canvas);
    QMouseEvent textRelease(QEvent::MouseButtonRelease, textAt, canvas.mapToGlobal(textAt),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    frame(&canvas, &textRelease, canvas);
    auto *editor = canvas.findChild<QPlainTextEdit *>();
    std::vector<double> keyTimes;
    const QString typed = QStringLiteral("The quick brown fox jumps over the lazy dog. ");
    for (int i = 0; editor && i < keys; ++i) {
        const QChar c = typed[i % typed.size()];
        QKeyEvent key(QEvent::KeyPress, c == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_A,
                      Qt::NoModifier, QString(c));
        keyTimes.push_back(frame(editor, &key, canvas));
        QKeyEvent up(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier, QString(c));
        QApplication::sendEvent(editor, &up);
    }
    canvas.commitTextEditing();
    QApplication::processEvents();

    // A whole frame, as a click that selects or an undo repaints, plain and beautified.
    auto wholeFrames = [&] {
        std::vector<double> times;
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer timer;
            timer.start();
            canvas.repaint();
            times.push_back(timer.nsecsElapsed() / 1e6);
        }
        return times;
    };
    const std::vector<double> plainFrames = wholeFrames();
    Backdrop backdrop = model.backdrop();
    backdrop.isOn = true;
    model.setBackdrop(backdrop);
    canvas.repaint(); // builds the backdrop's layer once
    const std::vector<double> backdropFrames = wholeFrames();
    const qsizetype shot = args.indexOf(QStringLiteral("--shot"));
    if (shot >= 0 && shot + 1 < args.size())
        canvas.grab().save(args[shot + 1]);
    const double open = residentMB();

    std::printf("canvas %dx%d at pixel ratio %.2g, image %dx%d, %lld annotations\n",
                canvasSize.width(), canvasSize.height(), canvas.devicePixelRatioF(), imageWidth,
                imageHeight, qlonglong(model.annotations().size()));
    report("drag", dragTimes);
    report("typing", keyTimes);
    report("whole frame", plainFrames);
    report("whole frame with backdrop", backdropFrames);
    std::printf("memory: %.0f MB resident with the editor open, %.0f MB above idle (the "
                "capture, its effects and the canvas)\n",
                open, open - idle);
    return 0;
}
