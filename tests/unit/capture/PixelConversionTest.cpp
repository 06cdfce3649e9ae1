#include "platform/x11/ImagePool.h"
#include "platform/x11/X11Pixels.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zorv;

TEST(PixelConversion, WritesIntoTheGivenImageOnlyWhenItFitsAndNobodyElseHoldsIt)
{
    // 3 × 2 X pixels (BGRX or BGRA words) in rows of 4 words; the padding byte
    // of depth 24 is whatever the server left there.
    const int width = 3, height = 2, stride = 16;
    const std::vector<uint32_t> words{0x5A102030, 0x00405060, 0xFF708090, 0xDEADBEEF,
                                      0x80000000, 0x7F0A0B0C, 0x01FFFFFF, 0xDEADBEEF};
    const auto *data = reinterpret_cast<const uchar *>(words.data());
    const auto rgb32 = QImage::Format_RGB32, argb = QImage::Format_ARGB32_Premultiplied;

    const struct {
        const char *name;
        int depth;
        QSize size;
        QImage::Format format;
        bool heldElsewhere;
        bool reused;
    } cases[] = {
        {"opaque, same shape", 24, {3, 2}, rgb32, false, true},
        {"with alpha, same shape", 32, {3, 2}, argb, false, true},
        {"held by someone else", 24, {3, 2}, rgb32, true, false},
        {"another size", 24, {3, 3}, rgb32, false, false},
        {"another format", 32, {3, 2}, rgb32, false, false},
        {"nothing given", 24, {}, rgb32, false, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        QImage into = c.size.isEmpty() ? QImage() : QImage(c.size, c.format);
        into.fill(Qt::white);
        const QImage other = c.heldElsewhere ? into : QImage();
        const uchar *memory = into.constBits();

        const QImage image = imageFromPixels(data, width, height, stride, c.depth, std::move(into));
        ASSERT_EQ(image.size(), QSize(width, height));
        EXPECT_EQ(image.format(), c.depth == 32 ? argb : rgb32);
        EXPECT_EQ(image.constBits() == memory, c.reused);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const uint32_t word = words[size_t(y * 4 + x)];
                EXPECT_EQ(image.pixel(x, y), c.depth == 32 ? word : word | 0xFF000000u)
                    << x << "," << y;
            }
        }
        if (c.heldElsewhere) {
            EXPECT_EQ(other.pixel(0, 0), qRgb(255, 255, 255)); // untouched
        }
    }
    EXPECT_TRUE(imageFromPixels(data, width, height, stride, 16).isNull());
}

TEST(ImagePool, HandsOutOnlyReleasedImagesOfTheTwoLastKept)
{
    // A screen, two areas (all over a megabyte) and a tiny area.
    const QSize screen(1024, 512), area(600, 500), other(700, 500), tiny(16, 16);
    const struct {
        const char *name;
        std::vector<QSize> kept; // oldest first
        int held;                // index of a kept image someone still holds, or -1
        QSize wanted;
        int expected; // index of the kept image handed out, or -1 for none
    } cases[] = {
        {"released screen", {screen}, -1, screen, 0},
        {"screen still held", {screen}, 0, screen, -1},
        {"other size only", {area}, -1, screen, -1},
        {"an area between two screens", {screen, area}, -1, screen, 0},
        {"two areas push the screen out", {screen, area, other}, -1, screen, -1},
        {"a tiny area is not kept", {screen, tiny, area}, -1, screen, 0},
        {"nor handed out", {screen, tiny}, -1, tiny, -1},
        {"the released one of two screens", {screen, screen}, 1, screen, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ImagePool pool;
        QImage held;
        std::vector<const uchar *> memory;
        for (size_t i = 0; i < c.kept.size(); ++i) {
            QImage image(c.kept[i], QImage::Format_RGB32);
            memory.push_back(image.constBits());
            pool.keep(image);
            if (int(i) == c.held)
                held = image;
        }
        const QImage taken = pool.take(c.wanted);
        EXPECT_EQ(taken.constBits(), c.expected < 0 ? nullptr : memory[size_t(c.expected)]);
    }

    // Taken out, written and kept again, an image is kept once: released, it
    // is handed out again.
    ImagePool pool;
    pool.keep(QImage(screen, QImage::Format_RGB32));
    QImage image = pool.take(screen);
    const uchar *memory = image.constBits();
    EXPECT_TRUE(image.isDetached()); // out of the pool: writing copies nothing
    pool.keep(image);
    pool.keep(image);
    image = QImage();
    EXPECT_EQ(pool.take(screen).constBits(), memory);
}
