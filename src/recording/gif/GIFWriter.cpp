#include "recording/gif/GIFWriter.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

namespace zorv
{

struct GIFWriter::State {
    QByteArray path;
    QSize canvas;
    int fd = -1;
    GifFileType *gif = nullptr;
    // giflib hands over a few bytes at a time; they reach the file in blocks.
    std::vector<GifByteType> buffer;
    int writeErrno = 0;
    bool finished = false;
    QString error;
    std::vector<GifPixelType> line; // giflib masks the pixels it is given in place

    bool flush()
    {
        std::size_t done = 0;
        while (writeErrno == 0 && done < buffer.size()) {
            const ssize_t written = ::write(fd, buffer.data() + done, buffer.size() - done);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                writeErrno = written < 0 ? errno : EIO;
            else
                done += std::size_t(written);
        }
        buffer.clear();
        return writeErrno == 0;
    }

    bool fail(const QString &what, int gifError)
    {
        if (error.isEmpty()) {
            const QString reason = writeErrno != 0
                                       ? QString::fromLocal8Bit(std::strerror(writeErrno))
                                       : QString::fromUtf8(GifErrorString(gifError));
            error = QStringLiteral("%1 (%2)").arg(what, reason);
        }
        return false;
    }
};

namespace
{

constexpr std::size_t kBufferSize = 64 * 1024;

// NETSCAPE2.0 with a loop count of 0: play forever.
bool putLoopForever(GifFileType *gif)
{
    static const GifByteType application[] = "NETSCAPE2.0";
    static const GifByteType loop[] = {1, 0, 0};
    return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
           EGifPutExtensionBlock(gif, 11, application) == GIF_OK &&
           EGifPutExtensionBlock(gif, 3, loop) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

} // namespace

GIFWriter::~GIFWriter()
{
    if (!m_state)
        return;
    if (m_state->gif) {
        int ignored = 0;
        EGifCloseFile(m_state->gif, &ignored);
    }
    if (m_state->fd >= 0)
        ::close(m_state->fd);
    // Only a finished file is a GIF; anything less is removed.
    if (!m_state->finished)
        ::unlink(m_state->path.constData());
}

std::unique_ptr<GIFWriter> GIFWriter::create(const QString &path, QSize canvas, QString *error)
{
    auto reject = [error](const QString &reason) -> std::unique_ptr<GIFWriter> {
        if (error)
            *error = reason;
        return nullptr;
    };
    if (canvas.isEmpty() || canvas.width() > 65535 || canvas.height() > 65535)
        return reject(QStringLiteral("a GIF cannot be %1 × %2 pixels")
                          .arg(canvas.width())
                          .arg(canvas.height()));
    std::unique_ptr<GIFWriter> writer(new GIFWriter);
    writer->m_state = std::make_unique<State>();
    State &state = *writer->m_state;
    state.path = QFile::encodeName(path);
    state.canvas = canvas;
    state.buffer.reserve(kBufferSize + 256);
    // O_EXCL: an existing file is never overwritten, nor removed on failure.
    state.fd = ::open(state.path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (state.fd < 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        state.finished = true; // not ours to remove
        return reject(QStringLiteral("the file could not be created (%1)").arg(reason));
    }
    int gifError = 0;
    const OutputFunc output = [](GifFileType *gif, const GifByteType *bytes, int length) {
        auto *to = static_cast<State *>(gif->UserData);
        if (to->writeErrno != 0)
            return 0;
        to->buffer.insert(to->buffer.end(), bytes, bytes + length);
        if (to->buffer.size() >= kBufferSize && !to->flush())
            return 0;
        return length;
    };
    state.gif = EGifOpen(&state, output, &gifError);
    if (!state.gif) {
        state.fail(QStringLiteral("the GIF could not be started"), gifError);
        return reject(state.error);
    }
    EGifSetGifVersion(state.gif, true);
    if (EGifPutScreenDesc(state.gif, canvas.width(), canvas.height(), 8, 0, nullptr) != GIF_OK ||
        !putLoopForever(state.gif)) {
        state.fail(QStringLiteral("the GIF could not be written"), state.gif->Error);
        return reject(state.error);
    }
    return writer;
}

bool GIFWriter::add(const GIFFrame &frame, int delayCs)
{
    State &state = *m_state;
    if (!state.gif || !state.error.isEmpty())
        return false;
    const int colours = int(frame.palette.size());
    const QRect &rect = frame.rect;
    if (rect.isEmpty() || !QRect(QPoint(), state.canvas).contains(rect) || colours < 1 ||
        colours > 256 || frame.transparentIndex >= colours ||
        frame.indices.size() != std::size_t(rect.width()) * std::size_t(rect.height()) ||
        std::any_of(frame.indices.begin(), frame.indices.end(),
                    [colours](uint8_t index) { return index >= colours; })) {
        state.error = QStringLiteral("a frame did not fit the GIF");
        return false;
    }
    int tableSize = 2;
    while (tableSize < colours)
        tableSize *= 2;
    ColorMapObject *map = GifMakeMapObject(tableSize, nullptr);
    if (!map)
        return state.fail(QStringLiteral("the GIF could not be written"), E_GIF_ERR_NOT_ENOUGH_MEM);
    std::fill(map->Colors, map->Colors + tableSize, GifColorType{0, 0, 0});
    for (int i = 0; i < colours; ++i) {
        const QRgb colour = frame.palette[std::size_t(i)];
        map->Colors[i] = {GifByteType(qRed(colour)), GifByteType(qGreen(colour)),
                          GifByteType(qBlue(colour))};
    }
    GraphicsControlBlock control{};
    control.DisposalMode = DISPOSE_DO_NOT;
    control.UserInputFlag = false;
    control.DelayTime = std::clamp(delayCs, 0, 65535);
    control.TransparentColor =
        frame.transparentIndex >= 0 ? frame.transparentIndex : NO_TRANSPARENT_COLOR;
    GifByteType extension[4];
    const std::size_t extensionLength = EGifGCBToExtension(&control, extension);
    state.line.assign(frame.indices.begin(), frame.indices.end());
    const bool written =
        EGifPutExtension(state.gif, GRAPHICS_EXT_FUNC_CODE, int(extensionLength), extension) ==
            GIF_OK &&
        EGifPutImageDesc(state.gif, rect.x(), rect.y(), rect.width(), rect.height(), false, map) ==
            GIF_OK &&
        EGifPutLine(state.gif, state.line.data(), int(state.line.size())) == GIF_OK;
    GifFreeMapObject(map);
    if (!written)
        return state.fail(QStringLiteral("the GIF could not be written"), state.gif->Error);
    return true;
}

bool GIFWriter::finish()
{
    State &state = *m_state;
    if (state.finished)
        return true;
    if (!state.gif || !state.error.isEmpty())
        return false;
    int gifError = 0;
    const int closed = EGifCloseFile(state.gif, &gifError); // frees it either way
    state.gif = nullptr;
    if (closed != GIF_OK)
        return state.fail(QStringLiteral("the GIF could not be completed"), gifError);
    if (!state.flush())
        return state.fail(QStringLiteral("the GIF could not be completed"), 0);
    const int fd = state.fd;
    state.fd = -1;
    if (::close(fd) != 0) {
        state.writeErrno = errno;
        return state.fail(QStringLiteral("the GIF could not be completed"), 0);
    }
    state.finished = true;
    return true;
}

QString GIFWriter::error() const
{
    return m_state ? m_state->error : QString();
}

} // namespace zorv
