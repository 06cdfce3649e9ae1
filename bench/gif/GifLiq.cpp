// Runs the GIF frame coder alone, without decoding: reads RGBA frames of
// WIDTH x HEIGHT from stdin and writes an endlessly looping GIF.
//     bench_gif_liq WIDTH HEIGHT FPS OUT.gif
#include "recording/gif/GIFFrameCoder.h"
#include "recording/gif/GIFSchedule.h"

#include <QImage>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gif_lib.h>
#include <vector>

namespace
{

bool putLoopForever(GifFileType *gif)
{
    static const GifByteType app[] = "NETSCAPE2.0";
    static const GifByteType loop[] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, 11, app) == GIF_OK &&
           EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT FPS OUT.gif\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]), fps = std::atoi(argv[3]);
    int error = 0;
    GifFileType *gif = EGifOpenFileName(argv[4], false, &error);
    if (!gif) {
        std::fprintf(stderr, "cannot create %s: %s\n", argv[4], GifErrorString(error));
        return 1;
    }
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, width, height, 8, 0, nullptr) != GIF_OK || !putLoopForever(gif)) {
        std::fprintf(stderr, "write failed\n");
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
        int bits = 1;
        while ((1 << bits) < int(frame.palette.size()))
            ++bits;
        ColorMapObject *map = GifMakeMapObject(1 << bits, nullptr);
        std::memset(map->Colors, 0, sizeof(GifColorType) * (1 << bits));
        for (std::size_t c = 0; c < frame.palette.size(); ++c)
            map->Colors[c] = {GifByteType(qRed(frame.palette[c])),
                              GifByteType(qGreen(frame.palette[c])),
                              GifByteType(qBlue(frame.palette[c]))};
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_DO_NOT;
        gcb.DelayTime = zorv::GIFSchedule::delayCs(i, fps);
        gcb.TransparentColor =
            frame.transparentIndex < 0 ? NO_TRANSPARENT_COLOR : frame.transparentIndex;
        GifByteType ext[4];
        const size_t extLength = EGifGCBToExtension(&gcb, ext);
        const QRect &r = frame.rect;
        bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extLength), ext) == GIF_OK &&
                  EGifPutImageDesc(gif, r.x(), r.y(), r.width(), r.height(), false, map) == GIF_OK;
        for (int y = 0; ok && y < r.height(); ++y)
            ok = EGifPutLine(gif, frame.indices.data() + std::size_t(y) * r.width(), r.width()) ==
                 GIF_OK;
        GifFreeMapObject(map);
        if (!ok) {
            std::fprintf(stderr, "write failed\n");
            return 1;
        }
    }
    if (EGifCloseFile(gif, &error) != GIF_OK) {
        std::fprintf(stderr, "close failed: %s\n", GifErrorString(error));
        return 1;
    }
    return 0;
}
