#include "output/history/Thumbnailer.h"

#include "output/encoding/HeicCodec.h"
#include "output/encoding/VideoFrames.h"

#include <QFile>
#include <QImageReader>
#include <limits>

namespace zorv
{

namespace
{

QSize fitted(QSize size, int maxPixel)
{
    if (size.width() <= maxPixel && size.height() <= maxPixel)
        return size;
    return size.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

QImage shrunk(const QImage &image, int maxPixel)
{
    const QSize size = fitted(image.size(), maxPixel);
    if (size == image.size())
        return image;
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

std::optional<QImage> readHeic(const QString &path, int maxPixel)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const std::optional<QImage> image = HeicCodec::decode(file.readAll());
    if (!image)
        return std::nullopt;
    return shrunk(*image, maxPixel);
}

} // namespace

std::optional<QImage> makeThumbnail(const HistoryItem &item, int maxPixel)
{
    if (maxPixel <= 0)
        return std::nullopt;
    if (item.kind == CaptureKind::recording)
        return VideoFrames::firstFrame(item.filePath, maxPixel);

    QImageReader reader(item.filePath);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return readHeic(item.filePath, maxPixel);
    const QSize size = reader.size();
    if (size.isValid())
        reader.setScaledSize(fitted(size, maxPixel));
    const QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return shrunk(image, maxPixel);
}

std::optional<QImage> readImage(const QString &path)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    if (!reader.canRead())
        return readHeic(path, std::numeric_limits<int>::max());
    QImage image = reader.read();
    if (image.isNull())
        return std::nullopt;
    return image;
}

} // namespace zorv
