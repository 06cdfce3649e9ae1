// Prototype of the GIF colour reduction: libimagequant picks a palette per
// frame and dithers, giflib writes the file. Reads RGBA frames of WIDTH x
// HEIGHT from stdin, writes an endlessly looping GIF.
// After the first frame only the rectangle that changed is written, and its
// pixels that still look as shown are transparent: a still background stays
// exactly as it is (no dither crawl) and costs almost nothing.
//     bench_gif_liq WIDTH HEIGHT FPS OUT.gif [SPEED] [THRESHOLD] [DITHER]
#include "recording/gif/GIFSchedule.h"

#include <algorithm>
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
    const int speed = argc > 5 ? std::atoi(argv[5]) : 6;
    // Largest channel difference still taken as unchanged.
    const int threshold = argc > 6 ? std::atoi(argv[6]) : 2;
    const float dither = argc > 7 ? float(std::atof(argv[7])) : 1.0f;
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
    std::vector<unsigned char> shown(std::size_t(width) * height * 3); // what the GIF shows
    std::vector<unsigned char *> rows(height);
    liq_attr *attr = liq_attr_create();
    liq_set_speed(attr, speed);
    for (int frame = 0; std::fread(rgba.data(), 1, rgba.size(), stdin) == rgba.size(); ++frame) {
        int x0 = 0, y0 = 0, x1 = width - 1, y1 = height - 1;
        if (frame > 0) {
            x0 = width, y0 = height, x1 = -1, y1 = -1;
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    unsigned char *px = &rgba[(std::size_t(y) * width + x) * 4];
                    const unsigned char *was = &shown[(std::size_t(y) * width + x) * 3];
                    const int diff = std::max({std::abs(px[0] - was[0]), std::abs(px[1] - was[1]),
                                               std::abs(px[2] - was[2])});
                    if (diff <= threshold) {
                        px[3] = 0;
                    } else {
                        x0 = std::min(x0, x), x1 = std::max(x1, x);
                        y0 = std::min(y0, y), y1 = std::max(y1, y);
                    }
                }
            }
            if (x1 < 0) { // nothing changed: one transparent pixel keeps the frame
                x0 = x1 = y0 = y1 = 0;
            }
        }
        const int w = x1 - x0 + 1, h = y1 - y0 + 1;
        for (int y = 0; y < h; ++y) {
            rows[y] = &rgba[(std::size_t(y0 + y) * width + x0) * 4];
        }
        liq_image *image =
            liq_image_create_rgba_rows(attr, reinterpret_cast<void **>(rows.data()), w, h, 0);
        liq_result *result = nullptr;
        if (liq_image_quantize(image, attr, &result) != LIQ_OK) {
            std::fprintf(stderr, "quantize failed\n");
            return 1;
        }
        liq_set_dithering_level(result, dither);
        liq_write_remapped_image(result, image, indices.data(), indices.size());
        const liq_palette *palette = liq_get_palette(result);
        ColorMapObject *map = GifMakeMapObject(256, nullptr);
        std::memset(map->Colors, 0, sizeof(GifColorType) * 256);
        int transparent = NO_TRANSPARENT_COLOR;
        for (unsigned i = 0; i < palette->count; ++i) {
            map->Colors[i] = {palette->entries[i].r, palette->entries[i].g, palette->entries[i].b};
            if (palette->entries[i].a == 0) {
                transparent = int(i);
            }
        }
        // Dithering spreads alpha error too, so it may pick the transparent
        // entry for a changed pixel (or the reverse): the source's alpha decides.
        for (int y = 0; transparent != NO_TRANSPARENT_COLOR && y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                unsigned char &index = indices[std::size_t(y) * w + x];
                const unsigned char *px = rows[y] + std::size_t(x) * 4;
                if (px[3] == 0) {
                    index = transparent;
                } else if (index == transparent) {
                    int best = 0, bestDistance = 1 << 30;
                    for (unsigned i = 0; i < palette->count; ++i) {
                        if (int(i) == transparent) {
                            continue;
                        }
                        const liq_color &c = palette->entries[i];
                        const int dr = c.r - px[0], dg = c.g - px[1], db = c.b - px[2];
                        const int distance = dr * dr + dg * dg + db * db;
                        if (distance < bestDistance) {
                            best = int(i), bestDistance = distance;
                        }
                    }
                    index = (unsigned char)best;
                }
            }
        }
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int index = indices[std::size_t(y) * w + x];
                if (index != transparent) {
                    unsigned char *to = &shown[(std::size_t(y0 + y) * width + x0 + x) * 3];
                    to[0] = map->Colors[index].Red;
                    to[1] = map->Colors[index].Green;
                    to[2] = map->Colors[index].Blue;
                }
            }
        }
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSE_DO_NOT;
        gcb.DelayTime = zorv::GIFSchedule::delayCs(frame, fps);
        gcb.TransparentColor = transparent;
        GifByteType ext[4];
        const size_t extLength = EGifGCBToExtension(&gcb, ext);
        bool ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(extLength), ext) == GIF_OK &&
                  EGifPutImageDesc(gif, x0, y0, w, h, false, map) == GIF_OK;
        for (int y = 0; ok && y < h; ++y) {
            ok = EGifPutLine(gif, indices.data() + std::size_t(y) * w, w) == GIF_OK;
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
