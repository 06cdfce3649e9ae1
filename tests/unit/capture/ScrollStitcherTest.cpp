#include "capture/ScrollStitcher.h"
#include "capture/StripMatching.h"

#include <QColorSpace>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace zorv;
using ScrollStitcher::StitchError;

namespace
{

uint32_t mix(uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

enum class Page { text, noisyText, periodic, uniform };

// Lines of glyphs 20 rows apart, every line different (or two lines repeated
// for `periodic`). A glyph is five bit-rows of three rows each, bits two pixels
// wide: a shift by one row changes the picture a little, as with real text.
QImage page(Page kind, int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    const int cells = std::max(1, width / 7);
    for (int y = 0; y < height; ++y) {
        const int py = kind == Page::periodic ? y % 40 : y;
        const uint32_t line = uint32_t(py / 20);
        const int rowInLine = py % 20;
        const int length = (cells + 1) / 2 + int(mix(line + 77) % uint32_t(cells / 2 + 1));
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            int rgb[3] = {245, 243, 238};
            const int cell = x / 7, cx = x % 7;
            const uint32_t h = mix(line * 7919 + uint32_t(cell) * 104729 + 1);
            if (kind != Page::uniform && rowInLine < 15 && cx < 6 && cell < length && h % 5 != 0 &&
                (h >> ((rowInLine / 3) * 3 + cx / 2 + 3)) & 1) {
                rgb[0] = 25;
                rgb[1] = 30;
                rgb[2] = 60 + int(line % 5) * 30;
            }
            if (kind == Page::noisyText) {
                for (int c = 0; c < 3; ++c)
                    rgb[c] = std::clamp(
                        rgb[c] + int(mix(uint32_t(x * 131 + y * 524287 + c)) % 25) - 12, 0, 255);
            }
            out[x] = qRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return image;
}

// The first row at which two images' pixels differ, -1 when none does.
int firstDifferentRow(const QImage &a, const QImage &b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const int rows = std::min(x.height(), y.height());
    for (int r = 0; r < rows; ++r) {
        if (std::memcmp(x.constScanLine(r), y.constScanLine(r), size_t(x.width()) * 4) != 0)
            return r;
    }
    return x.size() == y.size() ? -1 : rows;
}

} // namespace

TEST(ScrollStitcher, JoinsFramesCutFromAPageBackIntoThatPage)
{
    const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
    std::vector<int> capTops; // each frame adds 1200 rows
    for (int k = 0; k <= 20; ++k)
        capTops.push_back(k * 1200);
    // 800 rows more make exactly 24000, which is allowed.
    std::vector<int> fullTops(capTops.begin(), capTops.begin() + 19);
    fullTops.insert(fullTops.end(), {fullTops.back() + 800, fullTops.back() + 2000});
    const struct {
        const char *name;
        Page kind;
        QSize frame;
        std::vector<int> tops; // page row at the top of each frame
        int height;            // of the result, which is the page from the first top
        int frameCount;
        int lostAtEnd = 0; // frames after the last joined one whose content moved on
        bool cap = false;
        QImage::Format format = QImage::Format_ARGB32_Premultiplied;
        int resized = -1;   // this frame is one column narrower
        int frameNoise = 0; // ± grey levels added to each frame on its own
    } cases[] = {
        {"small scrolls, 8 to 20 rows", Page::text, {96, 120}, {0, 8, 17, 29, 49, 61, 75}, 195, 7},
        {"large scrolls, up to H - s", Page::text, {96, 120}, {0, 90, 151, 240, 273}, 393, 5},
        {"large scrolls, opaque frames",
         Page::text,
         {96, 120},
         {0, 90, 151, 240, 273},
         393,
         5,
         0,
         false,
         QImage::Format_RGB32},
        {"noisy page", Page::noisyText, {101, 130}, {0, 9, 40, 97, 120, 211, 230}, 360, 7},
        {"noise in each frame",
         Page::text,
         {96, 120},
         {0, 15, 47, 100, 181, 220},
         340,
         6,
         0,
         false,
         premultiplied,
         -1,
         4},
        {"400 rows scrolled by 150",
         Page::text,
         {64, 400},
         {0, 150, 300},
         700,
         3,
         0,
         false,
         QImage::Format_RGB888},
        {"one colour adds H - s per frame", Page::uniform, {40, 120}, {0, 0, 0}, 300, 3},
        {"height cap", Page::text, {16, 1600}, capTops, 23200, 19, 0, true},
        {"height cap met exactly", Page::text, {16, 1600}, fullTops, 24000, 20, 0, true},
        {"another size between is skipped",
         Page::text,
         {96, 120},
         {0, 40, 60, 80},
         200,
         3,
         0,
         false,
         premultiplied,
         2},
        {"another size at the end is lost",
         Page::text,
         {96, 120},
         {0, 40, 60, 80},
         180,
         3,
         1,
         false,
         premultiplied,
         3},
        {"scrolled too far, then on", Page::text, {96, 120}, {0, 50, 150, 200, 250}, 170, 2, 3},
        {"scrolled too far, then back", Page::text, {96, 120}, {0, 50, 150, 120, 190}, 310, 4, 0},
        // Fewer than 8 rows: not joined, but nothing is missing below the image.
        {"last frames barely moved", Page::text, {96, 120}, {0, 40, 80, 84, 80}, 200, 3, 0},
        {"barely moved, then too far", Page::text, {96, 120}, {0, 40, 80, 83, 200}, 200, 3, 1},
        {"noisy frames, the last moved 3 rows",
         Page::text,
         {96, 120},
         {0, 15, 47, 50},
         167,
         3,
         0,
         false,
         premultiplied,
         -1,
         4},
        {"scrolling up joins nothing", Page::text, {96, 120}, {200, 180, 150, 130}, 120, 1, 3},
        // The strip (rows 90..119) reappears at offsets 36 and 76; the smaller wins.
        {"repeated lines tie", Page::periodic, {96, 120}, {0, 14, 28, 42}, 282, 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int pageHeight =
            *std::max_element(c.tops.begin(), c.tops.end()) + std::max(c.frame.height(), c.height);
        const QImage source = page(c.kind, c.frame.width(), pageHeight);
        QList<QImage> frames;
        for (size_t k = 0; k < c.tops.size(); ++k) {
            const int width = int(k) == c.resized ? c.frame.width() - 1 : c.frame.width();
            QImage frame = source.copy(0, c.tops[k], width, c.frame.height());
            if (c.frameNoise > 0) {
                QRandomGenerator random(uint32_t(k) + 1);
                for (int y = 0; y < frame.height(); ++y) {
                    auto *line = reinterpret_cast<QRgb *>(frame.scanLine(y));
                    for (int x = 0; x < frame.width(); ++x) {
                        const int n = random.bounded(2 * c.frameNoise + 1) - c.frameNoise;
                        const QRgb p = line[x];
                        line[x] =
                            qRgb(std::clamp(qRed(p) + n, 0, 255), std::clamp(qGreen(p) + n, 0, 255),
                                 std::clamp(qBlue(p) + n, 0, 255));
                    }
                }
            }
            frames.append(frame.convertToFormat(c.format));
        }

        const auto result = ScrollStitcher::stitch(frames);
        ASSERT_TRUE(result.hasValue());
        const ScrollStitcher::Result &r = result.value();
        EXPECT_EQ(r.image.height(), c.height);
        EXPECT_EQ(r.image.width(), c.frame.width());
        EXPECT_EQ(r.frameCount, c.frameCount);
        EXPECT_EQ(r.lostAtEndCount, c.lostAtEnd);
        EXPECT_EQ(r.reachedHeightCap, c.cap);
        if (r.frameCount > 1) {
            EXPECT_EQ(r.image.format(), QImage::Format_ARGB32_Premultiplied);
            EXPECT_EQ(r.image.colorSpace(), QColorSpace(QColorSpace::SRgb));
        } else {
            EXPECT_EQ(r.image.cacheKey(), frames.front().cacheKey()); // the first frame itself
        }
        if (c.frameNoise == 0) {
            const QImage expected = source.copy(0, c.tops[0], c.frame.width(), c.height);
            EXPECT_EQ(firstDifferentRow(r.image, expected), -1);
        }
    }
}

TEST(ScrollStitcher, FailsOrReturnsTheFrameWhenThereIsNothingToJoin)
{
    const QImage text = page(Page::text, 96, 200);
    const StitchError noFrames(StitchError::Code::noFrames);
    const struct {
        const char *name;
        QList<QImage> frames;
        bool fails;
        int lostAtEnd = 0;
    } cases[] = {
        {"no frames", {}, true},
        {"one null frame", {QImage()}, true},
        {"one tiny frame comes back as it is", {text.copy(0, 0, 5, 5)}, false},
        {"8 x 17", {text.copy(0, 0, 8, 17), text.copy(0, 3, 8, 17)}, true},
        {"9 x 16", {text.copy(0, 0, 9, 16), text.copy(0, 3, 9, 16)}, true},
        {"9 x 17 is too low to match", {text.copy(0, 0, 9, 17), text.copy(0, 3, 9, 17)}, false, 1},
        {"a null frame after the first", {text.copy(0, 0, 96, 120), QImage()}, false, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = ScrollStitcher::stitch(c.frames);
        ASSERT_EQ(result.hasValue(), !c.fails);
        if (c.fails) {
            EXPECT_EQ(result.error(), noFrames);
            continue;
        }
        EXPECT_EQ(result.value().image.cacheKey(), c.frames.front().cacheKey());
        EXPECT_EQ(result.value().frameCount, 1);
        EXPECT_EQ(result.value().lostAtEndCount, c.lostAtEnd);
    }
}

TEST(StripMatching, DifferenceEqualsTheScalarDefinition)
{
    // Mean of |strip − frame| over every second row, with integer sums.
    auto scalar = [](const std::vector<uint8_t> &strip, const std::vector<uint8_t> &frame,
                     int columns, int rows) {
        long long sum = 0, count = 0;
        for (int r = 0; r < rows; r += 2) {
            for (int c = 0; c < columns; ++c) {
                sum += std::abs(int(strip[size_t(r * columns + c)]) -
                                int(frame[size_t(r * columns + c)]));
                ++count;
            }
        }
        return double(sum) / double(count);
    };
    QRandomGenerator random(11);
    const struct {
        int columns, rows;
        bool extreme; // 0 against 255 everywhere, which overflows narrow sums
    } cases[] = {{1, 1, false},  {15, 2, false},    {16, 7, false},   {17, 30, false},
                 {33, 5, false}, {480, 270, false}, {4000, 61, true}, {31, 9, true}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.columns);
        const size_t size = size_t(c.columns) * size_t(c.rows);
        // One byte more, so that unaligned starts are tried too.
        std::vector<uint8_t> a(size + 1), b(size + 1);
        for (size_t i = 0; i < a.size(); ++i) {
            a[i] = c.extreme ? 0 : uint8_t(random.bounded(256));
            b[i] = c.extreme ? 255 : uint8_t(random.bounded(256));
        }
        for (int shift = 0; shift < 2; ++shift) {
            const std::vector<uint8_t> sa(a.begin() + shift, a.begin() + shift + long(size));
            const std::vector<uint8_t> sb(b.begin() + shift, b.begin() + shift + long(size));
            const auto d =
                stripMatching::difference(a.data() + shift, b.data() + shift, c.columns, c.rows);
            ASSERT_TRUE(d.has_value());
            EXPECT_EQ(*d, scalar(sa, sb, c.columns, c.rows));
        }
    }
    EXPECT_FALSE(stripMatching::difference(nullptr, nullptr, 0, 4).has_value());
}
