#include "output/encoding/ImageEncoder.h"
#include "support/Images.h"

#include <gtest/gtest.h>

using namespace zorv;

namespace
{

// Deterministic pixels that exercise every channel, including partial alpha.
QImage patterned(QSize size, QImage::Format format, bool translucent)
{
    QImage image(size, QImage::Format_ARGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            const int alpha = translucent ? (x * 37 + y * 11) % 256 : 255;
            image.setPixel(x, y, qRgba((x * 13 + y) % 256, (y * 7) % 256, (x ^ y) % 256, alpha));
        }
    }
    return image.convertToFormat(format);
}

// Straight colours, each rounded correctly: Qt's whole-image conversion rounds
// some unpremultiplied values down.
QImage straightColours(const QImage &image)
{
    QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    if (image.format() == QImage::Format_ARGB32_Premultiplied)
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                straight.setPixel(x, y, qUnpremultiply(image.pixel(x, y)));
    return straight;
}

} // namespace

TEST(ImageEncoder, PngRoundTripsPixelExact)
{
    const struct {
        QSize size;
        QImage::Format format;
        bool translucent;
    } cases[] = {{{1, 1}, QImage::Format_RGB32, false},
                 {{3, 7}, QImage::Format_ARGB32, true},
                 {{517, 389}, QImage::Format_ARGB32_Premultiplied, true},
                 {{64, 300}, QImage::Format_ARGB32, false}, // opaque alpha is written as RGB
                 {{31, 17}, QImage::Format_RGB888, false},
                 {{31, 17}, QImage::Format_RGBA8888, true},
                 {{40, 2000}, QImage::Format_Grayscale8, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "format " << c.format << ", width " << c.size.width());
        const QImage image = patterned(c.size, c.format, c.translucent);
        const QImage decoded = test::decoded(ImageEncoder::pngData(image).value_or(""));
        EXPECT_EQ(decoded.hasAlphaChannel(), c.translucent);
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), straightColours(image));
    }
}

TEST(ImageEncoder, LossyFormatsKeepSizeColourTranslucencyAndFollowTheQuality)
{
    const QColor colour(200, 30, 60);
    const QImage busy = patterned({200, 120}, QImage::Format_RGB32, false);
    for (const ImageFormat format : {ImageFormat::jpeg, ImageFormat::heic}) {
        for (const QSize size : {QSize(1, 1), QSize(3, 7), QSize(333, 211)}) {
            SCOPED_TRACE(testing::Message() << "format " << int(format) << ", " << size.width());
            const QImage image = test::solidImage(size, colour, QImage::Format_RGB32);
            const QImage decoded = test::decoded(ImageEncoder::encode(image, format, 0.9).value());
            ASSERT_EQ(decoded.size(), size);
            EXPECT_LE(test::colorDistance(decoded.pixel(size.width() / 2, size.height() / 2),
                                          colour.rgb()),
                      8);
        }
        EXPECT_LT(ImageEncoder::encode(busy, format, 0.2)->size(),
                  ImageEncoder::encode(busy, format, 1.0)->size());
    }
    const QImage translucent = test::decoded(
        ImageEncoder::heicData(
            test::solidImage({32, 32}, QColor(0, 120, 255, 128), QImage::Format_ARGB32), 0.9)
            .value());
    EXPECT_NEAR(qAlpha(translucent.pixel(16, 16)), 128, 8);
}
