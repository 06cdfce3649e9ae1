// Runs one recording with Zorv's recording engine on the desktop, for
// recording.py:
//
//   bench_recording_driver --seconds S --fps F --codec h264|hevc --out FILE
//                          [--no-cursor] [--no-clicks] [--no-audio]
//
// Records the first display with the pointer, click marks and system audio,
// then prints the CPU the whole process used while recording (cores, from
// /proc/self/stat) and its resident memory after the first minute and at the end.
// The engine's own log line (frames, dropped, silence) goes to standard error.
#include "platform/Platform.h"
#include "recording/RecordingEngine.h"
#include <algorithm>

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>
#include <unistd.h>

using namespace zorv;

namespace
{

double cpuSeconds()
{
    QFile file(QStringLiteral("/proc/self/stat"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double tick = double(sysconf(_SC_CLK_TCK));
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / tick;
}

double residentMb()
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().split(' ').value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const auto option = [&](const char *name, const QString &fallback) {
        const int at = args.indexOf(QLatin1String(name));
        return at >= 0 && at + 1 < args.size() ? args.at(at + 1) : fallback;
    };
    const double seconds = option("--seconds", QStringLiteral("10")).toDouble();
    Platform &platform = Platform::shared();
    const auto displays = platform.screens().displays();
    if (!displays || displays.value().isEmpty()) {
        std::fprintf(stderr, "no display\n");
        return 1;
    }
    RecordingConfig config;
    config.rect = displays.value().first().frame;
    config.fps = option("--fps", QStringLiteral("60")).toInt();
    config.codec = option("--codec", QStringLiteral("h264")) == QLatin1String("hevc")
                       ? VideoCodec::hevc
                       : VideoCodec::h264;
    config.showsCursor = !args.contains(QStringLiteral("--no-cursor"));
    config.showsClicks = !args.contains(QStringLiteral("--no-clicks"));
    config.systemAudio = !args.contains(QStringLiteral("--no-audio"));
    config.outputPath = option("--out", QStringLiteral("/tmp/zorv-bench.mp4"));
    QFile::remove(config.outputPath);

    RecordingEngine engine(platform.recordingSources(), platform.screens());
    QObject::connect(&engine, &Recorder::notice, [](const QString &text) {
        std::fprintf(stderr, "notice: %s\n", qPrintable(text));
    });
    QObject::connect(&engine, &Recorder::systemStopped, [](const QString &reason) {
        std::fprintf(stderr, "stopped by itself: %s\n", qPrintable(reason));
    });
    QElapsedTimer wall;
    double cpuAtStart = 0;
    double rssEarly = 0;
    engine.start(config, [&](std::optional<QString> error) {
        if (error) {
            std::fprintf(stderr, "start failed: %s\n", qPrintable(*error));
            QCoreApplication::exit(1);
            return;
        }
        wall.start();
        cpuAtStart = cpuSeconds();
        // Memory after the first minute (or half the run when shorter): a
        // long recording must stay flat from there.
        QTimer::singleShot(int(std::min(60.0, seconds / 2) * 1000),
                           [&] { rssEarly = residentMb(); });
        // Precise: a coarse timer may end a 10 s recording half a second early.
        QTimer::singleShot(int(seconds * 1000), Qt::PreciseTimer, [&] {
            const double cores = (cpuSeconds() - cpuAtStart) / (double(wall.nsecsElapsed()) / 1e9);
            const double rssEnd = residentMb();
            engine.stop([cores, rssEnd, &rssEarly](std::optional<QString> path) {
                std::printf("cores=%.3f rss_mb_early=%.1f rss_mb_end=%.1f file=%s\n", cores,
                            rssEarly, rssEnd, path ? qPrintable(*path) : "none");
                std::fflush(stdout);
                QCoreApplication::exit(path ? 0 : 1);
            });
        });
    });
    const int status = app.exec();
    Platform::shutDown();
    return status;
}
