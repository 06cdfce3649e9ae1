#include "output/encoding/ImageEncoder.h"
#include "output/encoding/HeicCodec.h"

#include <QBuffer>
#include <QPainter>
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

// Straight (not premultiplied) colours, each rounded correctly: Qt's
// whole-image conversion rounds some unpremultiplied values down.
QImage straightColours(const QImage &image)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied)
        return image.convertToFormat(QImage::Format_ARGB32);
    QImage straight(image.size(), QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        const auto *in = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        auto *out = reinterpret_cast<QRgb *>(straight.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            out[x] = qUnpremultiply(in[x]);
    }
    return straight;
}

int channelDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b))});
}

struct PngCase {
    QSize size;
    QImage::Format format;
    bool translucent;
    bool expectAlpha;
};

} // namespace

TEST(ImageEncoder, PngRoundTripsPixelExact)
{
    const PngCase cases[] = {
        {{1, 1}, QImage::Format_RGB32, false, false},
        {{3, 7}, QImage::Format_ARGB32, true, true},
        {{517, 389}, QImage::Format_ARGB32_Premultiplied, true, true},
        // An alpha channel that is fully opaque is written as RGB.
        {{64, 300}, QImage::Format_ARGB32, false, false},
        {{31, 17}, QImage::Format_RGB888, false, false},
        {{31, 17}, QImage::Format_RGBA8888, true, true},
        {{40, 2000}, QImage::Format_Grayscale8, false, false},
    };
    for (const PngCase &c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.size.width() << "x" << c.size.height() << " format " << c.format);
        const QImage image = patterned(c.size, c.format, c.translucent);
        const std::optional<QByteArray> png = ImageEncoder::pngData(image);
        ASSERT_TRUE(png.has_value());
        const QImage decoded = QImage::fromData(*png);
        ASSERT_FALSE(decoded.isNull());
        EXPECT_EQ(decoded.hasAlphaChannel(), c.expectAlpha);
        EXPECT_EQ(decoded.convertToFormat(QImage::Format_ARGB32), straightColours(image));
    }
}

TEST(ImageEncoder, PngOfScreenContentIsNoLargerThanQtsWriter)
{
    QImage image(1200, 800, QImage::Format_RGB32);
    image.fill(QColor(245, 245, 247));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    for (int i = 0; i < 40; ++i) {
        painter.setPen(QColor::fromHsv(i * 9, 200, 150));
        painter.drawText(QPoint(20 + (i % 4) * 280, 30 + i * 18),
                         QStringLiteral("line %1 of some captured text").arg(i));
    }
    painter.fillRect(QRect(600, 500, 400, 200), QColor(40, 90, 200));
    painter.end();

    QByteArray qtBytes;
    QBuffer buffer(&qtBytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "png"));
    const std::optional<QByteArray> ours = ImageEncoder::pngData(image);
    ASSERT_TRUE(ours.has_value());
    EXPECT_LE(ours->size(), qtBytes.size());
    EXPECT_EQ(QImage::fromData(*ours).convertToFormat(QImage::Format_RGB32), image);
}

TEST(ImageEncoder, LossyFormatsDecodeToTheRightSizeAndColour)
{
    const QColor colour(200, 30, 60);
    for (const QSize size : {QSize(1, 1), QSize(3, 7), QSize(64, 48), QSize(333, 211)}) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);

        const std::optional<QByteArray> jpeg = ImageEncoder::jpegData(image, 0.9);
        ASSERT_TRUE(jpeg.has_value());
        const QImage fromJpeg = QImage::fromData(*jpeg);
        EXPECT_EQ(fromJpeg.size(), size);
        EXPECT_LE(
            channelDistance(fromJpeg.pixel(size.width() / 2, size.height() / 2), colour.rgb()), 8);

        const std::optional<QByteArray> heic = ImageEncoder::heicData(image, 0.9);
        ASSERT_TRUE(heic.has_value());
        const std::optional<QImage> fromHeic = HeicCodec::decode(*heic);
        ASSERT_TRUE(fromHeic.has_value());
        EXPECT_EQ(fromHeic->size(), size);
        EXPECT_LE(
            channelDistance(fromHeic->pixel(size.width() / 2, size.height() / 2), colour.rgb()), 8);
    }
}

TEST(ImageEncoder, QualityChangesTheLossyOutput)
{
    const QImage image = patterned({200, 120}, QImage::Format_RGB32, false);
    EXPECT_LT(ImageEncoder::jpegData(image, 0.2)->size(),
              ImageEncoder::jpegData(image, 1.0)->size());
    EXPECT_LT(ImageEncoder::heicData(image, 0.2)->size(),
              ImageEncoder::heicData(image, 1.0)->size());
}

TEST(ImageEncoder, HeicKeepsTranslucency)
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(QColor(0, 120, 255, 128));
    const std::optional<QImage> decoded = HeicCodec::decode(*ImageEncoder::heicData(image, 0.9));
    ASSERT_TRUE(decoded.has_value());
    EXPECT_NEAR(qAlpha(decoded->pixel(16, 16)), 128, 8);
}
