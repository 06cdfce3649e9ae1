#include "recording/gif/GIFFrameCoder.h"
#include "recording/gif/LZWFriendlyIndices.h"

#include <QPainter>
#include <cstring>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <random>

using namespace zorv;

namespace
{

// Bytes giflib needs for `indices` as one image of `bits`-bit colours.
std::size_t compressedSize(const std::vector<uint8_t> &indices, int width, int bits)
{
    std::vector<uint8_t> bytes;
    auto write = [](GifFileType *gif, const GifByteType *data, int size) {
        auto *out = static_cast<std::vector<uint8_t> *>(gif->UserData);
        out->insert(out->end(), data, data + size);
        return size;
    };
    int error = 0;
    GifFileType *gif = EGifOpen(&bytes, write, &error);
    ColorMapObject *map = GifMakeMapObject(1 << bits, nullptr);
    const int height = int(indices.size()) / width;
    EXPECT_EQ(EGifPutScreenDesc(gif, width, height, bits, 0, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr), GIF_OK);
    std::vector<uint8_t> row(width);
    for (int y = 0; y < height; ++y) {
        std::memcpy(row.data(), &indices[std::size_t(y) * width], width);
        EXPECT_EQ(EGifPutLine(gif, row.data(), width), GIF_OK);
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return bytes.size();
}

// The palette entry shown at each pixel, laid over what the canvas shows.
void compose(const GIFFrame &frame, QImage &canvas)
{
    for (int y = 0; y < frame.rect.height(); ++y)
        for (int x = 0; x < frame.rect.width(); ++x) {
            const int index = frame.indices[std::size_t(y) * frame.rect.width() + x];
            if (index != frame.transparentIndex)
                canvas.setPixel(frame.rect.x() + x, frame.rect.y() + y, frame.palette[index]);
        }
}

int largestError(const QImage &a, const QImage &b)
{
    int worst = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    return worst;
}

TEST(LZWFriendlyIndices, ShrinksNoiseWithinTheAllowedLossOnly)
{
    // Sixteen greys dithered at random: the worst case for LZW.
    const int width = 300, height = 200;
    std::mt19937 random(7);
    std::vector<uint8_t> own(std::size_t(width) * height);
    for (uint8_t &index : own)
        index = uint8_t(random() % 16);
    // The "source" at each pixel is its own grey; grey k is 4·k.
    auto cost = [&](std::size_t i, uint8_t k) {
        const int d = 4 * (int(k) - int(own[i]));
        return 3 * d * d;
    };
    for (int loss : {0, 48, 200, 2000}) {
        std::vector<uint8_t> indices = own;
        LZWFriendlyIndices().apply(
            indices, 4, [loss](std::size_t) { return loss; }, cost);
        std::size_t changed = 0;
        for (std::size_t i = 0; i < indices.size(); ++i) {
            changed += indices[i] != own[i];
            ASSERT_LE(cost(i, indices[i]), loss) << "pixel " << i << " at loss " << loss;
        }
        if (loss == 0) {
            EXPECT_EQ(changed, 0u);
        } else {
            EXPECT_GT(changed, 0u) << loss;
            EXPECT_LT(compressedSize(indices, width, 4), compressedSize(own, width, 4)) << loss;
        }
    }
}

TEST(GIFFrameCoder, CodesOnlyWhatChangedAndComposesToTheFrames)
{
    const QSize size(160, 90);
    QImage first(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            first.setPixel(x, y, qRgb(x * 255 / 159, y * 255 / 89, 128));
    QImage second = first;
    QPainter(&second).fillRect(QRect(40, 30, 20, 10), Qt::red);
    const QImage third = second; // nothing moves

    GIFFrameCoder coder(size);
    QImage canvas(size, QImage::Format_RGB32);
    GIFFrame frame;
    const QImage *previous = nullptr;
    struct Step {
        const QImage *image;
        QRect rect;
    };
    for (const Step &step :
         {Step{&first, QRect(QPoint(), size)}, Step{&second, QRect(40, 30, 20, 10)},
          Step{&third, QRect(0, 0, 1, 1)}}) {
        const GIFPalette palette = GIFFrameCoder::choosePalette(*step.image, previous);
        ASSERT_TRUE(palette.isValid());
        ASSERT_TRUE(coder.code(*step.image, palette, frame));
        EXPECT_EQ(frame.rect, step.rect);
        EXPECT_LE(frame.palette.size(), 256u);
        EXPECT_EQ(frame.indices.size(), std::size_t(frame.rect.width()) * frame.rect.height());
        EXPECT_EQ(frame.transparentIndex >= 0, previous != nullptr);
        compose(frame, canvas);
        // A gradient of 160 × 90 colours in 256 entries with light dithering
        // and the LZW loss: some levels off at worst.
        EXPECT_LE(largestError(canvas, *step.image), 24);
        previous = step.image;
    }

    GIFFrameCoder other(size);
    EXPECT_FALSE(other.code(first, GIFPalette(), frame)) << "no palette";
    const QImage smaller = first.copy(0, 0, 10, 10);
    EXPECT_FALSE(GIFFrameCoder::choosePalette(first, &smaller).isValid()) << "sizes differ";
}

} // namespace
