#include "output/encoding/ImageEncoder.h"
#include "output/encoding/HeicCodec.h"
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
    if (image.format() == QImage::Format_ARGB32_Premultiplied) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                straight.setPixel(x, y, qUnpremultiply(image.pixel(x, y)));
    }
    return straight;
}

std::optional<QImage> decodeHeic(const std::optional<QByteArray> &bytes)
{
    return bytes ? HeicCodec::decode(*bytes) : std::nullopt;
}

} // namespace

TEST(ImageEncoder, PngRoundTripsPixelExact)
{
    const struct {
        QSize size;
        QImage::Format format;
        bool translucent;
    } cases[] = {
        {{1, 1}, QImage::Format_RGB32, false},
        {{3, 7}, QImage::Format_ARGB32, true},
        {{517, 389}, QImage::Format_ARGB32_Premultiplied, true},
        {{64, 300}, QImage::Format_ARGB32, false}, // opaque alpha is written as RGB
        {{31, 17}, QImage::Format_RGB888, false},
        {{31, 17}, QImage::Format_RGBA8888, true},
        {{40, 2000}, QImage::Format_Grayscale8, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.size.width() << "x" << c.size.height() << " format " << c.format);
        const QImage image = patterned(c.size, c.format, c.translucent);
        const QImage decoded = QImage::fromData(ImageEncoder::pngData(image).value_or(""));
        ASSERT_FALSE(decoded.isNull());
        EXPECT_EQ(decoded.hasAlphaChannel(), c.translucent);
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), straightColours(image));
    }
}

TEST(ImageEncoder, LossyFormatsKeepSizeColourTranslucencyAndFollowTheQuality)
{
    const QColor colour(200, 30, 60);
    for (const QSize size : {QSize(1, 1), QSize(3, 7), QSize(333, 211)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        const QImage image = test::solidImage(size, colour, QImage::Format_RGB32);
        const QPoint middle(size.width() / 2, size.height() / 2);
        const QImage jpeg = QImage::fromData(ImageEncoder::jpegData(image, 0.9).value_or(""));
        ASSERT_EQ(jpeg.size(), size);
        EXPECT_LE(test::colorDistance(jpeg.pixel(middle), colour.rgb()), 8);
        const std::optional<QImage> heic = decodeHeic(ImageEncoder::heicData(image, 0.9));
        ASSERT_TRUE(heic.has_value());
        ASSERT_EQ(heic->size(), size);
        EXPECT_LE(test::colorDistance(heic->pixel(middle), colour.rgb()), 8);
    }
    const QImage image = patterned({200, 120}, QImage::Format_RGB32, false);
    EXPECT_LT(ImageEncoder::jpegData(image, 0.2)->size(),
              ImageEncoder::jpegData(image, 1.0)->size());
    EXPECT_LT(ImageEncoder::heicData(image, 0.2)->size(),
              ImageEncoder::heicData(image, 1.0)->size());
    const std::optional<QImage> translucent = decodeHeic(ImageEncoder::heicData(
        test::solidImage({32, 32}, QColor(0, 120, 255, 128), QImage::Format_ARGB32), 0.9));
    ASSERT_TRUE(translucent.has_value());
    EXPECT_NEAR(qAlpha(translucent->pixel(16, 16)), 128, 8);
}
