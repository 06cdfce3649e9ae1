#include "output/encoding/VideoFrames.h"

#include "common/Modules.h"
#include "modules/video/VideoModule.h"

#include <QFile>
#include <QTransform>

namespace zorv
{

namespace
{

struct Module {
    ZorvVideoReaderOpen open = nullptr;
    ZorvVideoReaderNext next = nullptr;
    ZorvVideoReaderInfo info = nullptr;
    ZorvVideoReaderError error = nullptr;
    ZorvVideoReaderClose close = nullptr;
    ZorvVideoReaderPeek peek = nullptr;
    ZorvVideoReaderAdvance advance = nullptr;
    ZorvVideoReaderConvert convert = nullptr;
};

// Loaded at the first video picture, from whichever thread asks first.
const Module &module()
{
    static const Module loaded = [] {
        const QList<QFunctionPointer> found = loadModule(
            QStringLiteral("libzorv-video"),
            {QStringLiteral("zorv_video_reader_open"), QStringLiteral("zorv_video_reader_next"),
             QStringLiteral("zorv_video_reader_info"), QStringLiteral("zorv_video_reader_error"),
             QStringLiteral("zorv_video_reader_close"), QStringLiteral("zorv_video_reader_peek"),
             QStringLiteral("zorv_video_reader_advance"),
             QStringLiteral("zorv_video_reader_convert")},
            QStringLiteral("Video pictures"));
        if (found.isEmpty())
            return Module{};
        return Module{reinterpret_cast<ZorvVideoReaderOpen>(found[0]),
                      reinterpret_cast<ZorvVideoReaderNext>(found[1]),
                      reinterpret_cast<ZorvVideoReaderInfo>(found[2]),
                      reinterpret_cast<ZorvVideoReaderError>(found[3]),
                      reinterpret_cast<ZorvVideoReaderClose>(found[4]),
                      reinterpret_cast<ZorvVideoReaderPeek>(found[5]),
                      reinterpret_cast<ZorvVideoReaderAdvance>(found[6]),
                      reinterpret_cast<ZorvVideoReaderConvert>(found[7])};
    }();
    return loaded;
}

uint8_t *allocateImage(void *userdata, int width, int height, int *stride)
{
    auto *image = static_cast<QImage *>(userdata);
    *image = QImage(width, height, QImage::Format_RGB32);
    if (image->isNull())
        return nullptr;
    *stride = int(image->bytesPerLine());
    return image->bits();
}

} // namespace

std::unique_ptr<VideoFrameReader> VideoFrameReader::open(const QString &path, QSize maxSize,
                                                         QString *error)
{
    if (!module().open) {
        if (error)
            *error = QStringLiteral("video decoding is not available on this system");
        return nullptr;
    }
    char reason[512] = {};
    ZorvVideoReader *reader =
        module().open(QFile::encodeName(path).constData(), qMax(0, maxSize.width()),
                      qMax(0, maxSize.height()), reason, int(sizeof reason));
    if (!reader) {
        if (error)
            *error = QString::fromUtf8(reason);
        return nullptr;
    }
    return std::unique_ptr<VideoFrameReader>(new VideoFrameReader(reader));
}

VideoFrameReader::~VideoFrameReader()
{
    module().close(m_reader);
}

VideoFrameReader::Info VideoFrameReader::info() const
{
    int width = 0, height = 0, fpsNum = 0, fpsDen = 1, rotation = 0;
    int64_t durationUs = -1;
    module().info(m_reader, &width, &height, &fpsNum, &fpsDen, &durationUs, &rotation);
    return Info{QSize(width, height), fpsDen > 0 ? double(fpsNum) / fpsDen : 0.0, durationUs,
                rotation};
}

std::optional<int64_t> VideoFrameReader::reported(int got, int64_t ptsUs)
{
    if (got < 0)
        m_error = QString::fromUtf8(module().error(m_reader));
    if (got <= 0)
        return std::nullopt;
    return ptsUs;
}

std::optional<VideoFrameReader::Frame> VideoFrameReader::next()
{
    Frame frame;
    const int got = module().next(m_reader, &allocateImage, &frame.image, &frame.ptsUs);
    if (!reported(got, frame.ptsUs))
        return std::nullopt;
    return frame;
}

std::optional<int64_t> VideoFrameReader::peekTime()
{
    int64_t ptsUs = -1;
    const int got = module().peek(m_reader, &ptsUs);
    return reported(got, ptsUs);
}

std::optional<int64_t> VideoFrameReader::skip()
{
    int64_t ptsUs = -1;
    const int got = module().advance(m_reader, &ptsUs);
    return reported(got, ptsUs);
}

std::optional<QImage> VideoFrameReader::picture()
{
    QImage image;
    if (module().convert(m_reader, &allocateImage, &image) <= 0) {
        m_error = QString::fromUtf8(module().error(m_reader));
        return std::nullopt;
    }
    return image;
}

namespace VideoFrames
{

std::optional<QImage> firstFrame(const QString &path, int maxPixel)
{
    if (maxPixel <= 0)
        return std::nullopt;
    const std::unique_ptr<VideoFrameReader> reader =
        VideoFrameReader::open(path, QSize(maxPixel, maxPixel));
    if (!reader)
        return std::nullopt;
    std::optional<VideoFrameReader::Frame> frame = reader->next();
    if (!frame)
        return std::nullopt;
    if (const int rotation = reader->info().rotation; rotation != 0)
        return frame->image.transformed(QTransform().rotate(rotation));
    return frame->image;
}

} // namespace VideoFrames
} // namespace zorv
