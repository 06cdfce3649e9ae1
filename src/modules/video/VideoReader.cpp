// Frames of a video file through FFmpeg's libraries, for thumbnails and for
// reading recordings back.
#include "modules/video/FFmpegSupport.h"
#include "modules/video/VideoModule.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

using namespace zorv::video;

struct ZorvVideoReader {
    std::string error;
    AVFormatContext *format = nullptr;
    AVCodecContext *decoder = nullptr;
    int stream = -1;
    int maxWidth = 0;
    int maxHeight = 0;
    SwsContext *scaler = nullptr;
    // The frame last moved to, decoded but converted only when asked: frames
    // nobody looks at skip the costly scaling.
    AVFrame *frame = nullptr;
    bool hasFrame = false;
    // The frame after it, decoded early when its time was asked.
    AVFrame *ahead = nullptr;
    bool hasAhead = false;
    AVPacket *packet = nullptr;
    bool draining = false;

    ~ZorvVideoReader()
    {
        sws_freeContext(scaler);
        av_frame_free(&frame);
        av_frame_free(&ahead);
        av_packet_free(&packet);
        avcodec_free_context(&decoder);
        avformat_close_input(&format);
    }

    int fail(std::string reason)
    {
        error = std::move(reason);
        return -1;
    }
};

namespace
{

// The size that fits `width` × `height` in the limits, aspect kept, even sides
// never needed: pictures, not video.
void fitted(int width, int height, int maxWidth, int maxHeight, int *outWidth, int *outHeight)
{
    double factor = 1;
    if (maxWidth > 0 && width > maxWidth)
        factor = std::min(factor, double(maxWidth) / width);
    if (maxHeight > 0 && height > maxHeight)
        factor = std::min(factor, double(maxHeight) / height);
    *outWidth = std::max(1, int(std::lround(width * factor)));
    *outHeight = std::max(1, int(std::lround(height * factor)));
    if (maxWidth > 0)
        *outWidth = std::min(*outWidth, maxWidth);
    if (maxHeight > 0)
        *outHeight = std::min(*outHeight, maxHeight);
}

int colourStandard(AVColorSpace space)
{
    switch (space) {
    case AVCOL_SPC_BT709:
        return SWS_CS_ITU709;
    case AVCOL_SPC_BT2020_NCL:
    case AVCOL_SPC_BT2020_CL:
        return SWS_CS_BT2020;
    case AVCOL_SPC_SMPTE240M:
        return SWS_CS_SMPTE240M;
    default:
        return SWS_CS_DEFAULT;
    }
}

} // namespace

extern "C" ZORV_VIDEO_EXPORT ZorvVideoReader *
zorv_video_reader_open(const char *path, int maxWidth, int maxHeight, char *error, int errorSize)
{
    quietLogs();
    auto reader = std::make_unique<ZorvVideoReader>();
    auto reject = [&](const std::string &reason) -> ZorvVideoReader * {
        copyError(reason, error, errorSize);
        return nullptr;
    };
    if (!path)
        return reject("no file was given");
    if (const int opened =
            avformat_open_input(&reader->format, fileUrl(path).c_str(), nullptr, nullptr);
        opened < 0)
        return reject("the file could not be opened (" + avError(opened) + ")");
    if (avformat_find_stream_info(reader->format, nullptr) < 0)
        return reject("the file holds no readable streams");
    const AVCodec *codec = nullptr;
    reader->stream = av_find_best_stream(reader->format, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0);
    if (reader->stream < 0 || !codec)
        return reject("the file holds no video that can be decoded");
    for (unsigned i = 0; i < reader->format->nb_streams; ++i) {
        if (int(i) != reader->stream)
            reader->format->streams[i]->discard = AVDISCARD_ALL;
    }
    reader->decoder = avcodec_alloc_context3(codec);
    reader->frame = av_frame_alloc();
    reader->ahead = av_frame_alloc();
    reader->packet = av_packet_alloc();
    if (!reader->decoder || !reader->frame || !reader->ahead || !reader->packet)
        return reject("out of memory");
    avcodec_parameters_to_context(reader->decoder,
                                  reader->format->streams[reader->stream]->codecpar);
    reader->decoder->pkt_timebase = reader->format->streams[reader->stream]->time_base;
    if (avcodec_open2(reader->decoder, codec, nullptr) < 0)
        return reject("the video decoder could not be opened");
    reader->maxWidth = std::max(0, maxWidth);
    reader->maxHeight = std::max(0, maxHeight);
    return reader.release();
}

namespace
{

// Decodes the next frame in presentation order into `to`: 1, 0 at the end, -1
// on failure.
int decode(ZorvVideoReader *reader, AVFrame *to)
{
    for (;;) {
        const int received = avcodec_receive_frame(reader->decoder, to);
        if (received == AVERROR_EOF)
            return 0;
        if (received >= 0)
            return 1;
        if (received != AVERROR(EAGAIN))
            return reader->fail("the video could not be decoded (" + avError(received) + ")");
        if (reader->draining)
            return 0;
        const int read = av_read_frame(reader->format, reader->packet);
        if (read == AVERROR_EOF) {
            reader->draining = true;
            avcodec_send_packet(reader->decoder, nullptr);
            continue;
        }
        if (read < 0)
            return reader->fail("the file could not be read (" + avError(read) + ")");
        if (reader->packet->stream_index == reader->stream) {
            // A damaged packet (a file cut short) is skipped, not the end.
            avcodec_send_packet(reader->decoder, reader->packet);
        }
        av_packet_unref(reader->packet);
    }
}

int64_t timeUs(const ZorvVideoReader *reader, const AVFrame *frame)
{
    const int64_t pts = frame->best_effort_timestamp;
    return pts == AV_NOPTS_VALUE
               ? -1
               : av_rescale_q(pts, reader->format->streams[reader->stream]->time_base,
                              microseconds);
}

} // namespace

extern "C" ZORV_VIDEO_EXPORT int zorv_video_reader_peek(ZorvVideoReader *reader, int64_t *ptsUs)
{
    if (!reader->hasAhead) {
        const int decoded = decode(reader, reader->ahead);
        if (decoded <= 0)
            return decoded;
        reader->hasAhead = true;
    }
    if (ptsUs)
        *ptsUs = timeUs(reader, reader->ahead);
    return 1;
}

extern "C" ZORV_VIDEO_EXPORT int zorv_video_reader_advance(ZorvVideoReader *reader, int64_t *ptsUs)
{
    av_frame_unref(reader->frame);
    reader->hasFrame = false;
    if (reader->hasAhead) {
        av_frame_move_ref(reader->frame, reader->ahead);
        reader->hasAhead = false;
    } else if (const int decoded = decode(reader, reader->frame); decoded <= 0) {
        return decoded;
    }
    reader->hasFrame = true;
    if (ptsUs)
        *ptsUs = timeUs(reader, reader->frame);
    return 1;
}

extern "C" ZORV_VIDEO_EXPORT int
zorv_video_reader_convert(ZorvVideoReader *reader, ZorvVideoAllocate allocate, void *userdata)
{
    if (!reader->hasFrame)
        return reader->fail("there is no frame to convert");
    const AVFrame *frame = reader->frame;
    int width = 0;
    int height = 0;
    fitted(frame->width, frame->height, reader->maxWidth, reader->maxHeight, &width, &height);
    const bool shrinking = width < frame->width || height < frame->height;
    // Bicubic keeps text sharp when shrinking; area averaging blurs it (on
    // screen content it stays 7 dB further from a Lanczos reference).
    reader->scaler = sws_getCachedContext(
        reader->scaler, frame->width, frame->height, AVPixelFormat(frame->format), width, height,
        AV_PIX_FMT_RGB32, shrinking ? SWS_BICUBIC : SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!reader->scaler)
        return reader->fail("the picture could not be converted");
    const int *coefficients = sws_getCoefficients(colourStandard(frame->colorspace));
    sws_setColorspaceDetails(reader->scaler, coefficients, frame->color_range == AVCOL_RANGE_JPEG,
                             coefficients, 1, 0, 1 << 16, 1 << 16);
    int stride = 0;
    uint8_t *pixels = allocate(userdata, width, height, &stride);
    if (!pixels)
        return reader->fail("no memory for the picture");
    uint8_t *const planes[] = {pixels};
    const int strides[] = {stride};
    sws_scale(reader->scaler, frame->data, frame->linesize, 0, frame->height, planes, strides);
    return 1;
}

extern "C" ZORV_VIDEO_EXPORT int zorv_video_reader_next(ZorvVideoReader *reader,
                                                        ZorvVideoAllocate allocate, void *userdata,
                                                        int64_t *ptsUs)
{
    const int advanced = zorv_video_reader_advance(reader, ptsUs);
    if (advanced <= 0)
        return advanced;
    const int converted = zorv_video_reader_convert(reader, allocate, userdata);
    // The picture is handed over; the decoded frame need not wait for the next call.
    av_frame_unref(reader->frame);
    reader->hasFrame = false;
    return converted;
}

extern "C" ZORV_VIDEO_EXPORT void zorv_video_reader_info(const ZorvVideoReader *reader, int *width,
                                                         int *height, int *fpsNum, int *fpsDen,
                                                         int64_t *durationUs, int *rotation)
{
    const AVStream *stream = reader->format->streams[reader->stream];
    *width = stream->codecpar->width;
    *height = stream->codecpar->height;
    const AVRational rate =
        stream->avg_frame_rate.num > 0 ? stream->avg_frame_rate : AVRational{0, 1};
    *fpsNum = rate.num;
    *fpsDen = rate.den;
    if (stream->duration != AV_NOPTS_VALUE)
        *durationUs = av_rescale_q(stream->duration, stream->time_base, microseconds);
    else if (reader->format->duration != AV_NOPTS_VALUE)
        *durationUs = av_rescale_q(reader->format->duration, AV_TIME_BASE_Q, microseconds);
    else
        *durationUs = -1;
    *rotation = 0;
    if (const uint8_t *matrix =
            av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, nullptr)) {
        // The matrix turns counter-clockwise; players turn the picture back.
        const double degrees = av_display_rotation_get(reinterpret_cast<const int32_t *>(matrix));
        if (!std::isnan(degrees))
            *rotation = ((int(std::lround(-degrees / 90.0)) % 4 + 4) % 4) * 90;
    }
}

extern "C" ZORV_VIDEO_EXPORT const char *zorv_video_reader_error(const ZorvVideoReader *reader)
{
    return reader->error.c_str();
}

extern "C" ZORV_VIDEO_EXPORT void zorv_video_reader_close(ZorvVideoReader *reader)
{
    delete reader;
}
