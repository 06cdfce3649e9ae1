#include "output/encoding/ImageEncoder.h"

#include "output/encoding/HeicCodec.h"

#include <QBuffer>
#include <QImageWriter>
#include <cmath>

namespace zorv::ImageEncoder
{

std::optional<QByteArray> jpegData(const QImage &image, double quality)
{
    if (image.isNull())
        return std::nullopt;
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(int(std::lround(std::clamp(quality, 0.0, 1.0) * 100)));
    if (!writer.write(image))
        return std::nullopt;
    return bytes;
}

std::optional<QByteArray> heicData(const QImage &image, double quality)
{
    return HeicCodec::encode(image, quality);
}

std::optional<QByteArray> encode(const QImage &image, ImageFormat format, double quality)
{
    switch (format) {
    case ImageFormat::png:
        return pngData(image);
    case ImageFormat::jpeg:
        return jpegData(image, quality);
    case ImageFormat::heic:
        return heicData(image, quality);
    }
    return std::nullopt;
}

bool hasTransparency(const QImage &image)
{
    if (!image.hasAlphaChannel())
        return false;
    const QImage argb = image.format() == QImage::Format_ARGB32 ||
                                image.format() == QImage::Format_ARGB32_Premultiplied
                            ? image
                            : image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(argb.constScanLine(y));
        QRgb all = 0xFFFFFFFFu;
        for (int x = 0; x < argb.width(); ++x)
            all &= row[x];
        if (qAlpha(all) != 255)
            return true;
    }
    return false;
}

} // namespace zorv::ImageEncoder
