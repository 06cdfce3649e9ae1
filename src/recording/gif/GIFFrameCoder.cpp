#include "recording/gif/GIFFrameCoder.h"

#include <algorithm>
#include <cstdlib>
#include <libimagequant.h>

namespace zorv
{

namespace
{

struct Rgb {
    uint8_t r, g, b;
};

int distance(Rgb a, const uint8_t *rgba)
{
    const int dr = a.r - rgba[0], dg = a.g - rgba[1], db = a.b - rgba[2];
    return dr * dr + dg * dg + db * db;
}

// Frees libimagequant's objects however the coding ends.
struct Quantized {
    liq_image *image = nullptr;
    liq_result *result = nullptr;
    ~Quantized()
    {
        if (result)
            liq_result_destroy(result);
        if (image)
            liq_image_destroy(image);
    }
};

} // namespace

struct GIFFrameCoder::State {
    QSize canvas;
    bool first = true;
    liq_attr *attr = nullptr;
    std::vector<uint8_t> rgba;         // the frame being coded, RGBA rows of the canvas
    std::vector<Rgb> shown;            // what a viewer shows after the frames so far
    std::vector<unsigned char *> rows; // rows of the changed rectangle, for libimagequant
};

GIFFrameCoder::GIFFrameCoder(QSize canvas) : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.canvas = canvas;
    s.attr = liq_attr_create();
    liq_set_speed(s.attr, 6);
    const std::size_t pixels = std::size_t(canvas.width()) * canvas.height();
    s.rgba.resize(pixels * 4);
    s.shown.resize(pixels);
}

GIFFrameCoder::~GIFFrameCoder()
{
    liq_attr_destroy(m_state->attr);
}

bool GIFFrameCoder::code(const QImage &image, GIFFrame &out)
{
    State &s = *m_state;
    const int width = s.canvas.width(), height = s.canvas.height();
    if (image.size() != s.canvas || image.depth() != 32)
        return false;

    // Pixels that still look as shown are left to the canvas: they become
    // transparent and take no part in choosing the palette. A still background
    // thus stays exactly as it is, without dither crawling over it.
    const int threshold = 2;
    int x0 = width, y0 = height, x1 = -1, y1 = -1;
    for (int y = 0; y < height; ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        uint8_t *px = &s.rgba[std::size_t(y) * width * 4];
        const Rgb *was = &s.shown[std::size_t(y) * width];
        for (int x = 0; x < width; ++x, px += 4) {
            px[0] = uint8_t(qRed(in[x]));
            px[1] = uint8_t(qGreen(in[x]));
            px[2] = uint8_t(qBlue(in[x]));
            px[3] = 255;
            if (s.first)
                continue;
            const int diff = std::max({std::abs(px[0] - was[x].r), std::abs(px[1] - was[x].g),
                                       std::abs(px[2] - was[x].b)});
            if (diff <= threshold) {
                px[3] = 0;
            } else {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        }
    }
    if (s.first) {
        x0 = 0, y0 = 0, x1 = width - 1, y1 = height - 1;
    } else if (x1 < 0) {
        // Nothing changed: one transparent pixel keeps the frame (and its delay).
        out.rect = QRect(0, 0, 1, 1);
        out.palette.assign(2, qRgb(0, 0, 0));
        out.transparentIndex = 0;
        out.indices.assign(1, 0);
        return true;
    }
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    s.rows.resize(h);
    for (int y = 0; y < h; ++y)
        s.rows[y] = &s.rgba[(std::size_t(y0 + y) * width + x0) * 4];

    Quantized q;
    q.image = liq_image_create_rgba_rows(s.attr, reinterpret_cast<void **>(s.rows.data()), w, h, 0);
    if (!q.image || liq_image_quantize(q.image, s.attr, &q.result) != LIQ_OK)
        return false;
    liq_set_dithering_level(q.result, 1.0f);
    out.indices.resize(std::size_t(w) * h);
    if (liq_write_remapped_image(q.result, q.image, out.indices.data(), out.indices.size()) !=
        LIQ_OK)
        return false;
    const liq_palette *palette = liq_get_palette(q.result);
    out.rect = QRect(x0, y0, w, h);
    out.palette.clear();
    out.transparentIndex = -1;
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color &c = palette->entries[i];
        out.palette.push_back(qRgb(c.r, c.g, c.b));
        if (c.a == 0)
            out.transparentIndex = int(i);
    }

    // Dithering spreads the alpha error too, so it may pick the transparent
    // entry for a changed pixel, or the reverse: the source's alpha decides.
    const int transparent = out.transparentIndex;
    for (int y = 0; y < h; ++y) {
        const uint8_t *px = s.rows[y];
        uint8_t *index = &out.indices[std::size_t(y) * w];
        Rgb *shown = &s.shown[std::size_t(y0 + y) * width + x0];
        for (int x = 0; x < w; ++x, px += 4) {
            if (transparent >= 0 && px[3] == 0) {
                index[x] = uint8_t(transparent);
                continue;
            }
            if (int(index[x]) == transparent) {
                int best = 0, bestDistance = 1 << 30;
                for (unsigned i = 0; i < palette->count; ++i) {
                    if (int(i) == transparent)
                        continue;
                    const liq_color &c = palette->entries[i];
                    const int d = distance({c.r, c.g, c.b}, px);
                    if (d < bestDistance)
                        best = int(i), bestDistance = d;
                }
                index[x] = uint8_t(best);
            }
            const liq_color &c = palette->entries[index[x]];
            shown[x] = {c.r, c.g, c.b};
        }
    }
    s.first = false;
    return true;
}

} // namespace zorv
