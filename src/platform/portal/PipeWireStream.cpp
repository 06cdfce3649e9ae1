#include "platform/portal/PipeWireStream.h"

#include "common/Modules.h"
#include "modules/pipewire/PipeWireModule.h"

#include <unistd.h>

namespace zorv
{

namespace
{

struct Module {
    ZorvPipeWireOpen open = nullptr;
    ZorvPipeWireNext next = nullptr;
    ZorvPipeWireCursorRead cursor = nullptr;
    ZorvPipeWireError error = nullptr;
    ZorvPipeWireClose close = nullptr;
};

const Module &module()
{
    static const Module loaded = [] {
        const QList<QFunctionPointer> found = loadModule(
            QStringLiteral("libzorv-pipewire"),
            {QStringLiteral("zorv_pipewire_open"), QStringLiteral("zorv_pipewire_next"),
             QStringLiteral("zorv_pipewire_cursor"), QStringLiteral("zorv_pipewire_error"),
             QStringLiteral("zorv_pipewire_close")},
            QStringLiteral("Screen streams"));
        if (found.isEmpty())
            return Module{};
        return Module{reinterpret_cast<ZorvPipeWireOpen>(found[0]),
                      reinterpret_cast<ZorvPipeWireNext>(found[1]),
                      reinterpret_cast<ZorvPipeWireCursorRead>(found[2]),
                      reinterpret_cast<ZorvPipeWireError>(found[3]),
                      reinterpret_cast<ZorvPipeWireClose>(found[4])};
    }();
    return loaded;
}

// The module writes straight into the image's pixels.
uint8_t *allocateImage(void *userdata, int width, int height, int *stride)
{
    QImage &image = *static_cast<QImage *>(userdata);
    if (image.size() != QSize(width, height) || image.depth() != 32)
        image = QImage(width, height, QImage::Format_RGB32);
    if (image.isNull())
        return nullptr;
    *stride = int(image.bytesPerLine());
    return image.bits();
}

} // namespace

Expected<std::unique_ptr<PipeWireStream>, QString> PipeWireStream::open(int fd, uint node,
                                                                        int timeoutMs)
{
    const Module &m = module();
    if (!m.open) {
        ::close(fd);
        return QStringLiteral("the PipeWire module is not installed");
    }
    char error[256] = {};
    ZorvPipeWireStream *stream = m.open(fd, node, timeoutMs, error, sizeof error);
    if (!stream)
        return QString::fromUtf8(error);
    return std::unique_ptr<PipeWireStream>(new PipeWireStream(stream));
}

PipeWireStream::~PipeWireStream()
{
    module().close(m_stream);
}

Expected<PipeWireStream::Frame, PipeWireStream::Problem>
PipeWireStream::next(int64_t afterNs, int timeoutMs, QImage reuse)
{
    Frame frame;
    frame.image = std::move(reuse);
    ZorvPipeWireFrame info{};
    const int got = module().next(m_stream, afterNs, timeoutMs, allocateImage, &frame.image, &info);
    if (got == 0)
        return Problem{Problem::TimedOut, QStringLiteral("no frame within %1 ms").arg(timeoutMs)};
    if (got < 0)
        return Problem{Problem::Ended, QString::fromUtf8(module().error(m_stream))};
    const bool alpha = info.format == ZORV_PIPEWIRE_BGRA || info.format == ZORV_PIPEWIRE_RGBA;
    frame.image.reinterpretAsFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    frame.timeNs = info.timeNs;
    frame.sequence = info.sequence;
    return frame;
}

std::optional<PipeWireStream::Cursor> PipeWireStream::cursor()
{
    QImage bitmap;
    ZorvPipeWireCursor info{};
    if (!module().cursor(m_stream, &info, allocateImage, &bitmap))
        return std::nullopt;
    Cursor cursor;
    cursor.visible = info.visible != 0;
    cursor.hotspot = QPoint(info.hotX, info.hotY);
    cursor.position = QPoint(info.x, info.y);
    if (!bitmap.isNull()) {
        bitmap.reinterpretAsFormat(QImage::Format_ARGB32);
        cursor.image = bitmap;
    }
    return cursor;
}

} // namespace zorv
