// Prototype of the GIF colour reduction: libimagequant picks a palette per
// frame and dithers, giflib writes the file. Reads RGBA frames of WIDTH x
// HEIGHT from stdin, writes an endlessly looping GIF.
//     bench_gif_liq WIDTH HEIGHT FPS OUT.gif [SPEED]
#include "recording/GIFSchedule.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <gif_lib.h>
#include <libimagequant.h>
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
        std::fprintf(stderr, "usage: %s WIDTH HEIGHT FPS OUT.gif [SPEED]\n", argv[0]);
        return 2;
    }
    const int width = std::atoi(argv[1]), height = std::atoi(argv[2]), fps = std::atoi(argv[3]);
    const int speed = argc > 5 ? std::atoi(argv[5]) : 4;
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
    std::vector<unsigned char> indices(std::size_t(width) * height);
    liq_attr *attr = liq_attr_create();
    liq_set_speed(attr, speed);
    for (int frame = 0; std::fread(rgba.data(), 1, rgba.size(), stdin) == rgba.size(); ++frame) {
        liq_image *image = liq_image_create_rgba(attr, rgba.data(), width, height, 0);
        liq_result *result = nullptr;
        if (liq_image_quantize(image, attr, &result) != LIQ_OK) {
            std::fprintf(stderr, "quantize failed\n");
            return 1;
        }
        liq_set_dithering_level(result, 1.0f);
        liq_write_remapped_image(result, image, indices.data(), indices.size());
        const liq_palette *palette = liq_get_palette(result);
        ColorMapObject *map = GifMakeMapObject(256, nullptr);
        std::memset(map->Colors, 0, sizeof(GifColorType) * 256);
        for (unsigned i = 0; i < palette->count; ++i) {
            map->Colors[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
        }
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_DO_NOT;
        gcb.DelayTime = zorv::GIFSchedule::delayCs(frame, fps);
        gcb.TransparentColor = NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t extLength = EGifGCBToExtension(&gcb, ext);
        bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extLength), ext) == GIF_OK &&
                  EGifPutImageDesc(gif, 0, 0, width, height, false, map) == GIF_OK;
        for (int y = 0; ok && y < height; ++y) {
            ok = EGifPutLine(gif, indices.data() + std::size_t(y) * width, width) == GIF_OK;
        }
        GifFreeMapObject(map);
        liq_result_destroy(result);
        liq_image_destroy(image);
        if (!ok) {
            std::fprintf(stderr, "write failed\n");
            return 1;
        }
    }
    liq_attr_destroy(attr);
    if (EGifCloseFile(gif, &error) != GIF_OK) {
        std::fprintf(stderr, "close failed: %s\n", GifErrorString(error));
        return 1;
    }
    return 0;
}
