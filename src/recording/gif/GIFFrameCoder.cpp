#include "recording/gif/GIFFrameCoder.h"

#include "recording/gif/LZWFriendlyIndices.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <future>
#include <libimagequant.h>
#include <omp.h>

namespace zorv
{

namespace
{

// Measured on 10 s recordings of a busy desktop (bench/gif.py): speed 7 is the
// fastest setting before quality drops; half-strength dithering hides banding
// on screen content as well as full strength, with less noise for LZW to code.
constexpr int quantizerSpeed = 7;
constexpr float ditherLevel = 0.5f;
// How much worse (squared RGB distance) a pixel may show so that LZW can go on
// with a string it knows: little in flat areas, where any error stands out as
// streaks, more where the picture is busy and hides it. A third smaller files
// with PSNR even gained, since the continuation is sometimes closer than the
// dithered colour.
constexpr int flatLoss = 10;
constexpr int busyLossPer16Levels = 60;
// Largest channel difference still taken as "the pixel did not change": a
// recording's own codec makes still areas flicker by a level or two, which is
// not worth coding again (a tenth faster, and smaller, for 0.2 dB).
constexpr int unchangedThreshold = 2;

int largestDifference(const uint8_t *a, const uint8_t *b)
{
    return std::max({std::abs(a[0] - b[0]), std::abs(a[1] - b[1]), std::abs(a[2] - b[2])});
}

// RGBA bytes of one 32-bit RGB pixel.
void toRgba(QRgb pixel, uint8_t *to)
{
    to[0] = uint8_t(qRed(pixel));
    to[1] = uint8_t(qGreen(pixel));
    to[2] = uint8_t(qBlue(pixel));
    to[3] = 255;
}

// libimagequant runs OpenMP teams of its own; frames already run on threads
// of ours, where its spinning workers only get in the way.
void singleThreadedQuantizer()
{
    omp_set_num_threads(1);
}

struct Attr {
    liq_attr *attr = liq_attr_create();
    Attr() { liq_set_speed(attr, quantizerSpeed); }
    ~Attr() { liq_attr_destroy(attr); }
};

} // namespace

GIFPalette::~GIFPalette()
{
    release();
}

void GIFPalette::release()
{
    if (m_result)
        liq_result_destroy(std::exchange(m_result, nullptr));
    if (m_twin)
        liq_result_destroy(std::exchange(m_twin, nullptr));
}

GIFPalette::GIFPalette(GIFPalette &&other) noexcept
    : m_result(std::exchange(other.m_result, nullptr)), m_twin(std::exchange(other.m_twin, nullptr))
{
    std::memcpy(m_fromTwin, other.m_fromTwin, sizeof m_fromTwin);
}

GIFPalette &GIFPalette::operator=(GIFPalette &&other) noexcept
{
    if (this != &other) {
        release();
        m_result = std::exchange(other.m_result, nullptr);
        m_twin = std::exchange(other.m_twin, nullptr);
        std::memcpy(m_fromTwin, other.m_fromTwin, sizeof m_fromTwin);
    }
    return *this;
}

namespace
{

// A second result holding exactly the colours of `result`; null when the
// quantizer would not give them back.
liq_result *twinOf(const liq_result *result, liq_attr *attr, uint8_t fromTwin[256])
{
    const liq_palette *palette = liq_get_palette(const_cast<liq_result *>(result));
    liq_histogram *histogram = liq_histogram_create(attr);
    if (!histogram)
        return nullptr;
    // The colours themselves, and fixed so that none is moved or merged.
    liq_histogram_entry entries[256];
    for (unsigned i = 0; i < palette->count; ++i)
        entries[i] = {palette->entries[i], 1};
    bool ok = liq_histogram_add_colors(histogram, attr, entries, int(palette->count), 0) == LIQ_OK;
    for (unsigned i = 0; ok && i < palette->count; ++i)
        ok = liq_histogram_add_fixed_color(histogram, palette->entries[i], 0) == LIQ_OK;
    liq_result *twin = nullptr;
    if (!ok || liq_histogram_quantize(histogram, attr, &twin) != LIQ_OK)
        twin = nullptr;
    liq_histogram_destroy(histogram);
    if (!twin)
        return nullptr;
    const liq_palette *twinPalette = liq_get_palette(twin);
    ok = twinPalette->count == palette->count;
    for (unsigned t = 0; ok && t < twinPalette->count; ++t) {
        ok = false;
        for (unsigned i = 0; i < palette->count; ++i) {
            const liq_color &a = twinPalette->entries[t], &b = palette->entries[i];
            if (a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a) {
                fromTwin[t] = uint8_t(i);
                ok = true;
                break;
            }
        }
    }
    if (!ok) {
        liq_result_destroy(twin);
        return nullptr;
    }
    liq_set_dithering_level(twin, ditherLevel);
    return twin;
}

// Remaps `rows` (with the canvas under them as `background`, if any) into
// `indices`. False on failure.
bool remap(liq_result *result, liq_attr *attr, unsigned char **rows, unsigned char **background,
           int width, int height, uint8_t *indices)
{
    liq_image *image =
        liq_image_create_rgba_rows(attr, reinterpret_cast<void **>(rows), width, height, 0);
    if (!image)
        return false;
    if (background) {
        // Pixels the canvas already shows better than the palette can stay
        // transparent; the image takes the background's ownership.
        liq_image *under = liq_image_create_rgba_rows(attr, reinterpret_cast<void **>(background),
                                                      width, height, 0);
        if (!under || liq_image_set_background(image, under) != LIQ_OK) {
            liq_image_destroy(image);
            return false;
        }
    }
    const liq_error remapped =
        liq_write_remapped_image(result, image, indices, std::size_t(width) * height);
    liq_image_destroy(image);
    return remapped == LIQ_OK;
}

} // namespace

GIFPalette GIFFrameCoder::choosePalette(const QImage &image, const QImage *previous)
{
    GIFPalette palette;
    if (image.depth() != 32 ||
        (previous && (previous->size() != image.size() || previous->depth() != 32)))
        return palette;
    singleThreadedQuantizer();
    const int width = image.width(), height = image.height();
    // Pixels that stay as they were in the source will be left to the
    // canvas: they are transparent here and take no colours.
    std::vector<uint8_t> rgba(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        const QRgb *was =
            previous ? reinterpret_cast<const QRgb *>(previous->constScanLine(y)) : nullptr;
        uint8_t *px = &rgba[std::size_t(y) * width * 4];
        for (int x = 0; x < width; ++x, px += 4) {
            toRgba(in[x], px);
            if (was) {
                uint8_t before[4];
                toRgba(was[x], before);
                if (largestDifference(px, before) <= unchangedThreshold)
                    px[3] = 0;
            }
        }
    }
    Attr attr;
    liq_image *source = liq_image_create_rgba(attr.attr, rgba.data(), width, height, 0);
    liq_histogram *histogram = liq_histogram_create(attr.attr);
    bool ok =
        source && histogram && liq_histogram_add_image(histogram, attr.attr, source) == LIQ_OK;
    // Later frames always need the entry that leaves the canvas as it is.
    if (ok && previous)
        ok = liq_histogram_add_fixed_color(histogram, liq_color{0, 0, 0, 0}, 0) == LIQ_OK;
    if (ok && liq_histogram_quantize(histogram, attr.attr, &palette.m_result) == LIQ_OK) {
        liq_set_dithering_level(palette.m_result, ditherLevel);
        palette.m_twin = twinOf(palette.m_result, attr.attr, palette.m_fromTwin);
    }
    if (histogram)
        liq_histogram_destroy(histogram);
    if (source)
        liq_image_destroy(source);
    return palette;
}

struct GIFFrameCoder::State {
    QSize canvas;
    bool first = true;
    Attr attr;
    std::vector<uint8_t> rgba;  // the frame being coded, RGBA rows of the canvas
    std::vector<uint8_t> shown; // RGBA: what a viewer shows after the frames so far
    // RGBA: the source each shown pixel was coded from. A pixel counts as
    // unchanged against this, not against what is shown (which is off by the
    // palette's error), so a still picture stays transparent and does not
    // crawl, and a slow drift is caught once it adds up.
    std::vector<uint8_t> basis;
    std::vector<unsigned char *> rows;      // rows of the changed rectangle in `rgba`
    std::vector<unsigned char *> shownRows; // the same rows in `shown`
    LZWFriendlyIndices lzw;
};

GIFFrameCoder::GIFFrameCoder(QSize canvas) : m_state(std::make_unique<State>())
{
    State &s = *m_state;
    s.canvas = canvas;
    const std::size_t pixels = std::size_t(canvas.width()) * canvas.height();
    s.rgba.resize(pixels * 4);
    s.shown.resize(pixels * 4);
    s.basis.resize(pixels * 4);
}

GIFFrameCoder::~GIFFrameCoder() = default;

bool GIFFrameCoder::code(const QImage &image, const GIFPalette &chosen, GIFFrame &out)
{
    State &s = *m_state;
    const int width = s.canvas.width(), height = s.canvas.height();
    if (!chosen.isValid() || image.size() != s.canvas || image.depth() != 32)
        return false;
    singleThreadedQuantizer();

    // Pixels whose source has not changed since they were coded become
    // transparent: a still background stays exactly as it is.
    int x0 = width, y0 = height, x1 = -1, y1 = -1;
    for (int y = 0; y < height; ++y) {
        const QRgb *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        uint8_t *px = &s.rgba[std::size_t(y) * width * 4];
        const uint8_t *was = &s.basis[std::size_t(y) * width * 4];
        for (int x = 0; x < width; ++x, px += 4, was += 4) {
            toRgba(in[x], px);
            if (!s.first && largestDifference(px, was) <= unchangedThreshold) {
                px[3] = 0;
            } else {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
        }
    }
    if (x1 < 0) {
        // Nothing changed: one transparent pixel keeps the frame (and its delay).
        out.rect = QRect(0, 0, 1, 1);
        out.palette.assign(2, qRgb(0, 0, 0));
        out.transparentIndex = 0;
        out.indices.assign(1, 0);
        return true;
    }
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    s.rows.resize(h);
    s.shownRows.resize(h);
    for (int y = 0; y < h; ++y) {
        s.rows[y] = &s.rgba[(std::size_t(y0 + y) * width + x0) * 4];
        s.shownRows[y] = &s.shown[(std::size_t(y0 + y) * width + x0) * 4];
    }

    // Remapping is most of the coding: with a twin palette the bottom half
    // is remapped on a second thread (dithering restarts at the seam, which
    // does not show).
    out.indices.resize(std::size_t(w) * h);
    unsigned char **background = s.first ? nullptr : s.shownRows.data();
    const int split = chosen.m_twin && h >= 64 ? h / 2 : h;
    std::future<bool> bottom;
    if (split < h) {
        bottom = std::async(std::launch::async, [&] {
            singleThreadedQuantizer();
            return remap(chosen.m_twin, s.attr.attr, s.rows.data() + split,
                         background ? background + split : nullptr, w, h - split,
                         out.indices.data() + std::size_t(w) * split);
        });
    }
    const bool topRemapped = remap(chosen.m_result, s.attr.attr, s.rows.data(), background, w,
                                   split, out.indices.data());
    if (bottom.valid()) {
        if (!bottom.get())
            return false;
        for (auto it = out.indices.begin() + std::ptrdiff_t(w) * split; it != out.indices.end();
             ++it)
            *it = chosen.m_fromTwin[*it];
    }
    if (!topRemapped)
        return false;

    const liq_palette *palette = liq_get_palette(chosen.m_result);
    out.rect = QRect(x0, y0, w, h);
    out.palette.clear();
    out.transparentIndex = -1;
    uint8_t paletteRgb[256 * 3];
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color &c = palette->entries[i];
        paletteRgb[i * 3] = c.r, paletteRgb[i * 3 + 1] = c.g, paletteRgb[i * 3 + 2] = c.b;
        out.palette.push_back(qRgb(c.r, c.g, c.b));
        if (c.a == 0)
            out.transparentIndex = int(i);
    }
    const int transparent = out.transparentIndex;
    if (s.first && transparent >= 0)
        return false; // nothing under the first frame to show through

    // Where a cluster mixed unchanged pixels with changed ones, the palette
    // may hold an entry between transparent and opaque, which a GIF cannot
    // show: pixels dithered onto one take the nearest opaque entry instead.
    bool translucent[256] = {};
    bool anyTranslucent = false;
    for (unsigned i = 0; i < palette->count; ++i) {
        translucent[i] = palette->entries[i].a < 255 && int(i) != transparent;
        anyTranslucent = anyTranslucent || translucent[i];
    }
    const auto nearestOpaque = [&](const uint8_t *px) {
        int best = 0, bestDistance = 1 << 30;
        for (unsigned i = 0; i < palette->count; ++i) {
            if (translucent[i] || int(i) == transparent)
                continue;
            const int dr = paletteRgb[i * 3] - px[0], dg = paletteRgb[i * 3 + 1] - px[1],
                      db = paletteRgb[i * 3 + 2] - px[2];
            if (dr * dr + dg * dg + db * db < bestDistance)
                best = int(i), bestDistance = dr * dr + dg * dg + db * db;
        }
        return uint8_t(best);
    };
    // Unchanged pixels stay transparent whatever dithering made of them.
    for (int y = 0; y < h && (transparent >= 0 || anyTranslucent); ++y) {
        const uint8_t *px = s.rows[y];
        uint8_t *index = &out.indices[std::size_t(y) * w];
        for (int x = 0; x < w; ++x, px += 4) {
            if (transparent >= 0 && px[3] == 0)
                index[x] = uint8_t(transparent);
            else if (translucent[index[x]])
                index[x] = nearestOpaque(px);
        }
    }

    int bits = 1;
    while ((1 << bits) < int(palette->count))
        ++bits;
    auto lossAt = [&](std::size_t i) {
        const std::size_t y = i / w, x = i - y * w;
        const uint8_t *px = s.rows[y] + x * 4;
        const uint8_t *right = x + 1 < std::size_t(w) ? px + 4 : px;
        const uint8_t *below = y + 1 < std::size_t(h) ? s.rows[y + 1] + x * 4 : px;
        const int activity = std::max(largestDifference(px, right), largestDifference(px, below));
        return flatLoss + busyLossPer16Levels * activity / 16;
    };
    s.lzw.apply(out.indices, bits, lossAt, [&](std::size_t i, uint8_t k) {
        const std::size_t y = i / w, x = i - y * w;
        const uint8_t *source = s.rows[y] + x * 4;
        const uint8_t *shows =
            int(k) == transparent ? s.shownRows[y] + x * 4 : &paletteRgb[std::size_t(k) * 3];
        const int dr = shows[0] - source[0], dg = shows[1] - source[1], db = shows[2] - source[2];
        return dr * dr + dg * dg + db * db;
    });

    for (int y = 0; y < h; ++y) {
        const uint8_t *index = &out.indices[std::size_t(y) * w];
        const uint8_t *source = s.rows[y];
        uint8_t *shown = s.shownRows[y];
        uint8_t *basis = &s.basis[(std::size_t(y0 + y) * width + x0) * 4];
        for (int x = 0; x < w; ++x) {
            if (int(index[x]) == transparent)
                continue;
            const uint8_t *c = &paletteRgb[std::size_t(index[x]) * 3];
            uint8_t *to = shown + std::size_t(x) * 4;
            to[0] = c[0], to[1] = c[1], to[2] = c[2], to[3] = 255;
            std::memcpy(basis + std::size_t(x) * 4, source + std::size_t(x) * 4, 4);
        }
    }
    s.first = false;
    return true;
}

} // namespace zorv
