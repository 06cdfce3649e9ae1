// The whole GIF conversion as Zorv runs it (decoding, picking, scaling, colour
// reduction, writing), timed, with the peak memory of the process.
//     bench_gif_convert VIDEO OUT.gif [FPS] [MAX_WIDTH]        (12, 900)
// Prints "time S s, peak RSS N MB, frames F".
#include "recording/gif/GIFEncoder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

using namespace zorv;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s VIDEO OUT.gif [FPS] [MAX_WIDTH]\n", argv[0]);
        return 2;
    }
    const QString video = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);
    const int fps = argc > 3 ? std::atoi(argv[3]) : 12;
    const int maxWidth = argc > 4 ? std::atoi(argv[4]) : 900;
    int frames = 0;
    QElapsedTimer timer;
    timer.start();
    const Expected<QString, GIFFailure> made =
        GIFEncoder::makeGIF(video, fps, maxWidth, QFileInfo(out).absolutePath(),
                            [&frames](int done, int) { frames = done; });
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (!made) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(made.error().description));
        return 1;
    }
    QFile::remove(out);
    if (!QFile::rename(made.value(), out)) {
        std::fprintf(stderr, "cannot move %s to %s\n", qPrintable(made.value()), qPrintable(out));
        return 1;
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("time %.2f s, peak RSS %.0f MB, frames %d\n", seconds,
                double(usage.ru_maxrss) / 1024.0, frames);
    return 0;
}
