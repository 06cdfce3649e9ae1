#include "capture/scrolling/ScrollFingerprint.h"

#include <QImage>

namespace zorv::ScrollFingerprint
{

QByteArray of(const QImage &image)
{
    QByteArray bytes(side * side, '\0');
    if (image.isNull())
        return bytes;
    // Sampling first keeps the cost at side² pixels whatever the grab's size.
    const QImage grey = image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                            .convertToFormat(QImage::Format_Grayscale8);
    if (grey.size() != QSize(side, side))
        return bytes;
    for (int y = 0; y < side; ++y)
        memcpy(bytes.data() + y * side, grey.constScanLine(y), side);
    return bytes;
}

} // namespace zorv::ScrollFingerprint
