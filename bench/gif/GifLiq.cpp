// Runs the GIF frame coder alone, without decoding: reads RGBA frames of
// WIDTH x HEIGHT from stdin and writes an endlessly looping GIF.
//     bench_gif_liq WIDTH HEIGHT FPS OUT.gif
#include "recording/gif/GIFFrameCoder.h"
#include "recording/gif/GIFSchedule.h"
#include "recording/gif/GIFWriter.h"

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT FPS OUT.gif\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]), fps = std::atoi(argv[3]);
    QString error;
    const std::unique_ptr<zorv::GIFWriter> writer =
        zorv::GIFWriter::create(QString::fromLocal8Bit(argv[4]), QSize(width, height), &error);
    if (!writer) {
        std::fprintf(stderr, "cannot create %s: %s\n", argv[4], qPrintable(error));
        return 1;
    }
    std::vector<unsigned char> rgba(std::size_t(width) * height * 4);
    zorv::GIFFrameCoder coder(QSize(width, height));
    zorv::GIFFrame frame;
    QImage previous;
    for (int i = 0; std::fread(rgba.data(), 1, rgba.size(), stdin) == rgba.size(); ++i) {
        const QImage image = QImage(rgba.data(), width, height, QImage::Format_RGBA8888)
                                 .convertToFormat(QImage::Format_RGB32);
        const zorv::GIFPalette palette =
            zorv::GIFFrameCoder::choosePalette(image, i > 0 ? &previous : nullptr);
        previous = image;
        if (!coder.code(image, palette, frame)) {
            std::fprintf(stderr, "coding failed\n");
            return 1;
        }
        if (!writer->add(frame, zorv::GIFSchedule::delayCs(i, fps))) {
            std::fprintf(stderr, "write failed: %s\n", qPrintable(writer->error()));
            return 1;
        }
    }
    if (!writer->finish()) {
        std::fprintf(stderr, "finish failed: %s\n", qPrintable(writer->error()));
        return 1;
    }
    return 0;
}
