#include "recording/VideoThumbnail.h"

#include "output/encoding/VideoFrames.h"

#include <QFileInfo>
#include <QImageReader>
#include <QtConcurrent>

namespace zorv::VideoThumbnail
{

namespace
{
constexpr int maxPixel = 600;
} // namespace

QFuture<std::optional<QImage>> make(const QString &path)
{
    return QtConcurrent::run([path]() -> std::optional<QImage> {
        if (QFileInfo(path).suffix().toLower() == QLatin1String("gif")) {
            QImageReader reader(path);
            QImage image = reader.read();
            if (image.isNull())
                return std::nullopt;
            if (image.width() > maxPixel || image.height() > maxPixel)
                image =
                    image.scaled(maxPixel, maxPixel, Qt::KeepAspectRatio, Qt::SmoothTransformation);
            return image;
        }
        return VideoFrames::firstFrame(path, maxPixel);
    });
}

std::optional<QSize> playableFrameSize(const QString &path)
{
    // Small frames are enough to know that one decodes.
    const auto reader = VideoFrameReader::open(path, QSize(64, 64));
    if (!reader || !reader->next())
        return std::nullopt;
    const VideoFrameReader::Info info = reader->info();
    if (info.size.isEmpty())
        return std::nullopt;
    return info.rotation % 180 == 0 ? info.size : info.size.transposed();
}

} // namespace zorv::VideoThumbnail
