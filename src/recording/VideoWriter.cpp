#include "recording/VideoWriter.h"

#include "common/Modules.h"
#include "modules/video/VideoModule.h"

#include <QFile>

namespace zorv
{

namespace
{

struct Module {
    ZorvVideoOpen open = nullptr;
    ZorvVideoWriteFrame writeFrame = nullptr;
    ZorvVideoWriteAudio writeAudio = nullptr;
    ZorvVideoFinish finish = nullptr;
    ZorvVideoError error = nullptr;
    ZorvVideoClose close = nullptr;
};

// Loaded at the first recording, from whichever thread opens a writer first.
const Module &module()
{
    static const Module loaded = [] {
        const QList<QFunctionPointer> found = loadModule(
            QStringLiteral("libzorv-video"),
            {QStringLiteral("zorv_video_open"), QStringLiteral("zorv_video_write_frame"),
             QStringLiteral("zorv_video_write_audio"), QStringLiteral("zorv_video_finish"),
             QStringLiteral("zorv_video_error"), QStringLiteral("zorv_video_close")},
            QStringLiteral("Video recording"));
        if (found.isEmpty())
            return Module{};
        return Module{reinterpret_cast<ZorvVideoOpen>(found[0]),
                      reinterpret_cast<ZorvVideoWriteFrame>(found[1]),
                      reinterpret_cast<ZorvVideoWriteAudio>(found[2]),
                      reinterpret_cast<ZorvVideoFinish>(found[3]),
                      reinterpret_cast<ZorvVideoError>(found[4]),
                      reinterpret_cast<ZorvVideoClose>(found[5])};
    }();
    return loaded;
}

class ModuleVideoWriter final : public VideoWriter
{
  public:
    ModuleVideoWriter(ZorvVideoWriter *writer, QSize size) : m_writer(writer), m_size(size) {}
    ~ModuleVideoWriter() override { module().close(m_writer); }

    bool writeVideo(const QImage &frame, int64_t ptsUs) override
    {
        if (frame.size() != m_size) {
            m_ownError = QStringLiteral("a frame of %1 × %2 pixels came for a video of %3 × %4")
                             .arg(frame.width())
                             .arg(frame.height())
                             .arg(m_size.width())
                             .arg(m_size.height());
            return false;
        }
        // These three share one memory layout; the alpha byte is ignored.
        const bool direct = frame.format() == QImage::Format_RGB32 ||
                            frame.format() == QImage::Format_ARGB32 ||
                            frame.format() == QImage::Format_ARGB32_Premultiplied;
        const QImage pixels = direct ? frame : frame.convertToFormat(QImage::Format_RGB32);
        m_ownError.clear();
        return module().writeFrame(m_writer, pixels.constBits(), int(pixels.bytesPerLine()),
                                   ptsUs) != 0;
    }

    bool writeAudio(const float *interleaved, int frames, int64_t ptsUs) override
    {
        m_ownError.clear();
        return module().writeAudio(m_writer, interleaved, frames, ptsUs) != 0;
    }

    bool finish() override
    {
        m_ownError.clear();
        return module().finish(m_writer) != 0;
    }

    QString error() const override
    {
        if (!m_ownError.isEmpty())
            return m_ownError;
        return QString::fromUtf8(module().error(m_writer));
    }

  private:
    ZorvVideoWriter *m_writer;
    QSize m_size;
    QString m_ownError;
};

} // namespace

Expected<std::unique_ptr<VideoWriter>, QString> VideoWriter::open(const VideoWriterConfig &config)
{
    if (!module().open)
        return QStringLiteral("video encoding is not available on this system");
    const QByteArray path = QFile::encodeName(config.path);
    const ZorvVideoSettings settings{path.constData(),
                                     config.frameSize.width(),
                                     config.frameSize.height(),
                                     config.fps,
                                     config.codec == VideoCodec::hevc ? ZORV_VIDEO_HEVC
                                                                      : ZORV_VIDEO_H264,
                                     config.audio ? 1 : 0,
                                     0,
                                     nullptr,
                                     0};
    char error[512] = {};
    ZorvVideoWriter *writer = module().open(&settings, error, int(sizeof error));
    if (!writer)
        return QString::fromUtf8(error);
    return std::unique_ptr<VideoWriter>(new ModuleVideoWriter(writer, config.frameSize));
}

} // namespace zorv
