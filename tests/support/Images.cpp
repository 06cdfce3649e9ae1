#include "support/Images.h"
#include "output/encoding/HeicCodec.h"

#include <QRandomGenerator>
#include <algorithm>
#include <cstdlib>

namespace zorv::test
{

QImage solidImage(QSize size, QColor colour, QImage::Format format)
{
    QImage image(size, format);
    image.fill(colour);
    return image;
}

QImage noise(int w, int h, quint32 seed, bool opaque)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    QRandomGenerator random(seed);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const quint32 a = opaque ? 255 : 128 + random.bounded(128);
            line[x] = (a << 24) | (random.bounded(a + 1) << 16) | (random.bounded(a + 1) << 8) |
                      random.bounded(a + 1);
        }
    }
    return image;
}

QImage decoded(const QByteArray &bytes)
{
    const QImage image = QImage::fromData(bytes);
    return image.isNull() ? HeicCodec::decode(bytes).value_or(QImage()) : image;
}

int colorDistance(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

} // namespace zorv::test
