// MPEG-4 writing through FFmpeg's libraries, built as a module of its own:
// libavcodec with its codecs maps tens of megabytes that an idle Zorv never
// needs.
#include "modules/video/VideoModule.h"
#include "modules/video/FFmpegSupport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace
{

using namespace zorv::video;

constexpr int audioRate = 48000;
// Audio stamps within this many samples of where the track has got to are
// taken as following on, so clock jitter neither inserts nor drops samples.
constexpr int64_t audioJitterSamples = audioRate / 200;
// When the audio source has given nothing for this long behind the video, the
// track is filled with silence up to there, so the muxer need not hold video
// back waiting for audio that may never come.
constexpr int64_t audioLagUs = 1000000;
// Chosen on scrolling screen content at 1080p (bench/video_encode): the
// worst frame stays above 35 dB PSNR, so text stays sharp. x265's ultrafast
// needs a lower CRF than x264's for the same quality.
constexpr int defaultCrfH264 = 23;
constexpr int defaultCrfHevc = 21;
// x264's frame threads beyond the cores hide the colour conversion done on the
// caller's thread: measured faster on two cores at the same CPU per frame.
constexpr int h264Threads = 4;
constexpr int hevcThreads = 2;

// What a user understands of a failed write.
std::string writeFailure(int code)
{
    if (code == AVERROR(ENOSPC) || code == AVERROR(EDQUOT))
        return "the disk is full";
    if (code == AVERROR(EFBIG))
        return "the file has grown too large for its disk";
    return "writing the video failed (" + avError(code) + ")";
}

} // namespace

struct ZorvVideoWriter {
    std::string path;
    std::string error;
    int width = 0;
    int height = 0;
    AVFormatContext *format = nullptr;
    AVCodecContext *video = nullptr;
    AVCodecContext *audio = nullptr;
    AVStream *videoStream = nullptr;
    AVStream *audioStream = nullptr;
    SwsContext *scaler = nullptr;
    AVFrame *picture = nullptr;
    AVFrame *sound = nullptr;
    AVPacket *packet = nullptr;
    bool headerWritten = false;
    bool failed = false;
    bool finished = false;
    int64_t lastVideoPts = AV_NOPTS_VALUE; // in the encoder's time base
    int64_t lastVideoUs = -1;
    // Planar samples not yet encoded; the first of them is sample `audioQueued`
    // of the track, counted from the start of the recording.
    std::vector<float> left, right;
    int64_t audioQueued = 0;

    ~ZorvVideoWriter()
    {
        sws_freeContext(scaler);
        av_frame_free(&picture);
        av_frame_free(&sound);
        av_packet_free(&packet);
        avcodec_free_context(&video);
        avcodec_free_context(&audio);
        if (format) {
            avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    bool fail(std::string reason)
    {
        failed = true;
        error = std::move(reason);
        return false;
    }

    // Every packet the encoder has ready, into the file.
    bool drain(AVCodecContext *encoder, AVStream *stream)
    {
        for (;;) {
            const int received = avcodec_receive_packet(encoder, packet);
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF)
                return true;
            if (received < 0)
                return fail(withLog("the encoder failed (" + avError(received) + ")"));
            av_packet_rescale_ts(packet, encoder->time_base, stream->time_base);
            packet->stream_index = stream->index;
            const int written = av_interleaved_write_frame(format, packet);
            if (written < 0 || format->pb->error < 0)
                return fail(writeFailure(written < 0 ? written : format->pb->error));
        }
    }

    bool encode(AVCodecContext *encoder, AVStream *stream, const AVFrame *frame)
    {
        const int sent = avcodec_send_frame(encoder, frame);
        if (sent < 0 && sent != AVERROR_EOF)
            return fail(withLog("the encoder failed (" + avError(sent) + ")"));
        return drain(encoder, stream);
    }

    int64_t audioEnd() const { return audioQueued + int64_t(left.size()); }

    // Encodes whole frames of queued samples; with `all`, the short rest too.
    bool encodeAudio(bool all)
    {
        const int frameSize = audio->frame_size > 0 ? audio->frame_size : 1024;
        while (left.size() >= size_t(frameSize) || (all && !left.empty())) {
            const int count = int(std::min(left.size(), size_t(frameSize)));
            av_frame_unref(sound);
            sound->format = AV_SAMPLE_FMT_FLTP;
            sound->sample_rate = audioRate;
            sound->nb_samples = count;
            av_channel_layout_copy(&sound->ch_layout, &audio->ch_layout);
            if (av_frame_get_buffer(sound, 0) < 0)
                return fail("out of memory for audio");
            std::memcpy(sound->data[0], left.data(), sizeof(float) * size_t(count));
            std::memcpy(sound->data[1], right.data(), sizeof(float) * size_t(count));
            sound->pts = audioQueued;
            left.erase(left.begin(), left.begin() + count);
            right.erase(right.begin(), right.begin() + count);
            audioQueued += count;
            if (!encode(audio, audioStream, sound))
                return false;
        }
        return true;
    }

    bool silenceUntil(int64_t sample)
    {
        while (audioEnd() < sample) {
            const size_t count = size_t(std::min<int64_t>(sample - audioEnd(), 48000));
            left.insert(left.end(), count, 0.f);
            right.insert(right.end(), count, 0.f);
            if (!encodeAudio(false))
                return false;
        }
        return true;
    }
};

namespace
{

std::string openVideoEncoder(ZorvVideoWriter &writer, const ZorvVideoSettings &settings)
{
    const bool hevc = settings.codec == ZORV_VIDEO_HEVC;
    const char *name = hevc ? "libx265" : "libx264";
    const AVCodec *codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        return std::string("the ") + (hevc ? "HEVC" : "H.264") + " encoder (" + name +
               ") is not available";
    AVCodecContext *context = writer.video = avcodec_alloc_context3(codec);
    if (!context)
        return "out of memory";
    context->width = settings.width;
    context->height = settings.height;
    context->pix_fmt = AV_PIX_FMT_YUV420P;
    // Ticks of a thousandth of a frame: callers' microsecond stamps survive to
    // well under a frame, and players see the nominal rate.
    context->time_base = AVRational{1, settings.fps * 1000};
    context->framerate = AVRational{settings.fps, 1};
    context->gop_size = settings.fps; // a keyframe, so a fragment, each second
    context->color_primaries = AVCOL_PRI_BT709;
    context->color_trc = AVCOL_TRC_BT709;
    context->colorspace = AVCOL_SPC_BT709;
    context->color_range = AVCOL_RANGE_MPEG;
    context->thread_count = settings.threads > 0 ? settings.threads
                            : hevc               ? hevcThreads
                                                 : h264Threads;
    if (writer.format->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    const int crf = settings.crf > 0 ? settings.crf : hevc ? defaultCrfHevc : defaultCrfH264;
    AVDictionary *options = nullptr;
    av_dict_set(&options, "preset", settings.preset ? settings.preset : "ultrafast", 0);
    av_dict_set_int(&options, "crf", crf, 0);
    if (hevc) {
        // Closed GOPs so that every keyframe starts a fragment that decodes alone.
        av_dict_set(&options, "x265-params", "log-level=error:open-gop=0", 0);
    }
    clearLog();
    const int opened = avcodec_open2(context, codec, &options);
    av_dict_free(&options);
    if (opened < 0)
        return withLog(std::string("the ") + (hevc ? "HEVC" : "H.264") +
                       " encoder could not be opened");
    return {};
}

std::string openAudioEncoder(ZorvVideoWriter &writer)
{
    const AVCodec *codec = avcodec_find_encoder_by_name("aac");
    if (!codec)
        return "the AAC encoder is not available";
    AVCodecContext *context = writer.audio = avcodec_alloc_context3(codec);
    if (!context)
        return "out of memory";
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = audioRate;
    context->time_base = AVRational{1, audioRate};
    context->bit_rate = 160000;
    const AVChannelLayout stereo = AV_CHANNEL_LAYOUT_STEREO;
    av_channel_layout_copy(&context->ch_layout, &stereo);
    if (writer.format->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    clearLog();
    if (avcodec_open2(context, codec, nullptr) < 0)
        return withLog("the AAC encoder could not be opened");
    return {};
}

AVStream *addStream(AVFormatContext *format, const AVCodecContext *encoder)
{
    AVStream *stream = avformat_new_stream(format, nullptr);
    if (!stream || avcodec_parameters_from_context(stream->codecpar, encoder) < 0)
        return nullptr;
    stream->time_base = encoder->time_base;
    return stream;
}

std::string openScaler(ZorvVideoWriter &writer)
{
    SwsContext *scaler = writer.scaler = sws_alloc_context();
    if (!scaler)
        return "out of memory";
    av_opt_set_int(scaler, "srcw", writer.width, 0);
    av_opt_set_int(scaler, "srch", writer.height, 0);
    av_opt_set_int(scaler, "src_format", AV_PIX_FMT_RGB32, 0);
    av_opt_set_int(scaler, "dstw", writer.width, 0);
    av_opt_set_int(scaler, "dsth", writer.height, 0);
    av_opt_set_int(scaler, "dst_format", AV_PIX_FMT_YUV420P, 0);
    // Chroma from every input pixel, then averaged 2 × 2: the full-width RGB
    // to chroma step has SIMD code where the halved one has none, so this is
    // both the exact box average and about 40 % cheaper than bilinear.
    av_opt_set_int(scaler, "sws_flags", SWS_AREA | SWS_FULL_CHR_H_INP, 0);
    if (sws_init_context(scaler, nullptr, nullptr) < 0)
        return "the colour converter could not be set up";
    // Screen RGB is full range; the stream is tagged BT.709 limited range.
    const int *bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(scaler, bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);

    writer.picture = av_frame_alloc();
    if (!writer.picture)
        return "out of memory";
    writer.picture->format = AV_PIX_FMT_YUV420P;
    writer.picture->width = writer.width;
    writer.picture->height = writer.height;
    if (av_frame_get_buffer(writer.picture, 0) < 0)
        return "out of memory for a frame";
    return {};
}

// Rewrites the fragmented file at `from` as a plain MPEG-4 file at `to` with its
// index at the front, by stream copy.
std::string remuxFastStart(const std::string &from, const std::string &to)
{
    AVFormatContext *in = nullptr;
    if (const int opened = avformat_open_input(&in, fileUrl(from).c_str(), nullptr, nullptr);
        opened < 0)
        return "the recording could not be read back (" + avError(opened) + ")";
    AVFormatContext *out = nullptr;
    std::string problem;
    AVPacket *packet = av_packet_alloc();
    if (avformat_alloc_output_context2(&out, nullptr, "mp4", fileUrl(to).c_str()) < 0 || !packet)
        problem = "out of memory";
    for (unsigned i = 0; problem.empty() && i < in->nb_streams; ++i) {
        AVStream *stream = avformat_new_stream(out, nullptr);
        if (!stream || avcodec_parameters_copy(stream->codecpar, in->streams[i]->codecpar) < 0)
            problem = "out of memory";
        else {
            stream->time_base = in->streams[i]->time_base;
            stream->avg_frame_rate = in->streams[i]->avg_frame_rate;
        }
    }
    if (problem.empty()) {
        if (const int opened = avio_open(&out->pb, fileUrl(to).c_str(), AVIO_FLAG_WRITE);
            opened < 0)
            problem = writeFailure(opened);
    }
    if (problem.empty()) {
        AVDictionary *options = nullptr;
        av_dict_set(&options, "movflags", "+faststart", 0);
        const int written = avformat_write_header(out, &options);
        av_dict_free(&options);
        if (written < 0)
            problem = writeFailure(written);
    }
    bool headerWritten = problem.empty();
    while (problem.empty()) {
        const int read = av_read_frame(in, packet);
        if (read == AVERROR_EOF)
            break;
        if (read < 0) {
            problem = "the recording could not be read back (" + avError(read) + ")";
            break;
        }
        const AVStream *source = in->streams[packet->stream_index];
        av_packet_rescale_ts(packet, source->time_base,
                             out->streams[packet->stream_index]->time_base);
        packet->pos = -1;
        const int written = av_interleaved_write_frame(out, packet);
        if (written < 0 || out->pb->error < 0)
            problem = writeFailure(written < 0 ? written : out->pb->error);
    }
    if (headerWritten) {
        // Moves the index to the front: the whole file is written a second time.
        const int trailer = av_write_trailer(out);
        if (problem.empty() && (trailer < 0 || out->pb->error < 0))
            problem = writeFailure(trailer < 0 ? trailer : out->pb->error);
    }
    av_packet_free(&packet);
    if (out) {
        if (out->pb && avio_closep(&out->pb) < 0 && problem.empty())
            problem = "the finished video could not be written";
        avformat_free_context(out);
    }
    avformat_close_input(&in);
    return problem;
}

// A free name in the folder of `path` for the rewritten file.
std::string temporaryBeside(const std::string &path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string name = folder + "/.zorv-video-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return name;
}

} // namespace

extern "C" ZORV_VIDEO_EXPORT ZorvVideoWriter *zorv_video_open(const ZorvVideoSettings *settings,
                                                              char *error, int errorSize)
{
    quietLogs();
    auto reject = [&](const std::string &reason) -> ZorvVideoWriter * {
        copyError(reason, error, errorSize);
        return nullptr;
    };
    if (!settings || !settings->path || !*settings->path)
        return reject("no file was given for the video");
    if (settings->width < 2 || settings->height < 2 || settings->width % 2 != 0 ||
        settings->height % 2 != 0)
        return reject("the video size " + std::to_string(settings->width) + " × " +
                      std::to_string(settings->height) + " is not a pair of even numbers");
    if (settings->fps < 1 || settings->fps > 240)
        return reject("the frame rate " + std::to_string(settings->fps) + " is out of range");
    if (settings->codec != ZORV_VIDEO_H264 && settings->codec != ZORV_VIDEO_HEVC)
        return reject("unknown video codec");

    auto writer = std::make_unique<ZorvVideoWriter>();
    writer->path = settings->path;
    writer->width = settings->width;
    writer->height = settings->height;
    if (avformat_alloc_output_context2(&writer->format, nullptr, "mp4",
                                       fileUrl(settings->path).c_str()) < 0)
        return reject("the MPEG-4 writer is not available");
    writer->packet = av_packet_alloc();
    writer->sound = av_frame_alloc();
    if (!writer->packet || !writer->sound)
        return reject("out of memory");

    // Everything that can fail without a file first, so that a failure leaves none.
    if (std::string problem = openVideoEncoder(*writer, *settings); !problem.empty())
        return reject(problem);
    if (settings->audio) {
        if (std::string problem = openAudioEncoder(*writer); !problem.empty())
            return reject(problem);
    }
    writer->videoStream = addStream(writer->format, writer->video);
    if (!writer->videoStream)
        return reject("out of memory");
    writer->videoStream->avg_frame_rate = AVRational{settings->fps, 1};
    if (settings->codec == ZORV_VIDEO_HEVC) // the tag players on every system accept
        writer->videoStream->codecpar->codec_tag = MKTAG('h', 'v', 'c', '1');
    if (writer->audio) {
        writer->audioStream = addStream(writer->format, writer->audio);
        if (!writer->audioStream)
            return reject("out of memory");
    }
    if (std::string problem = openScaler(*writer); !problem.empty())
        return reject(problem);

    // Created exclusively, so an existing file is never replaced.
    const int fd = ::open(settings->path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return reject(std::string("the file could not be created (") + std::strerror(errno) + ")");
    ::close(fd);
    auto removeFile = [&](const std::string &reason) {
        writer.reset();
        ::unlink(settings->path);
        return reject(reason);
    };
    if (const int opened =
            avio_open(&writer->format->pb, fileUrl(settings->path).c_str(), AVIO_FLAG_WRITE);
        opened < 0)
        return removeFile("the file could not be opened (" + avError(opened) + ")");
    // Fragments ending at each keyframe: a file cut short plays to its last one.
    AVDictionary *options = nullptr;
    av_dict_set(&options, "movflags", "frag_keyframe+empty_moov+delay_moov+default_base_moof", 0);
    writer->format->flush_packets = 1;
    const int header = avformat_write_header(writer->format, &options);
    av_dict_free(&options);
    if (header < 0 || writer->format->pb->error < 0)
        return removeFile(writeFailure(header < 0 ? header : writer->format->pb->error));
    writer->headerWritten = true;
    return writer.release();
}

extern "C" ZORV_VIDEO_EXPORT int
zorv_video_write_frame(ZorvVideoWriter *writer, const uint8_t *pixels, int stride, int64_t ptsUs)
{
    if (writer->failed)
        return 0;
    if (writer->finished)
        return writer->fail("the video is already finished");
    if (!pixels || ptsUs < 0 || std::abs(stride) < writer->width * 4)
        return writer->fail("a frame was not of the recording's size");

    int64_t pts = av_rescale_q(ptsUs, microseconds, writer->video->time_base);
    // Stamps closer than a tick still get a tick each: the encoder needs them rising.
    if (writer->lastVideoPts != AV_NOPTS_VALUE && pts <= writer->lastVideoPts)
        pts = writer->lastVideoPts + 1;
    if (av_frame_make_writable(writer->picture) < 0)
        return writer->fail("out of memory for a frame");
    const uint8_t *const planes[] = {pixels};
    const int strides[] = {stride};
    sws_scale(writer->scaler, planes, strides, 0, writer->height, writer->picture->data,
              writer->picture->linesize);
    writer->picture->pts = pts;
    writer->lastVideoPts = pts;
    writer->lastVideoUs = std::max(writer->lastVideoUs, ptsUs);
    if (!writer->encode(writer->video, writer->videoStream, writer->picture))
        return 0;
    if (writer->audio && ptsUs > audioLagUs)
        return writer->silenceUntil(av_rescale(ptsUs - audioLagUs, audioRate, 1000000)) ? 1 : 0;
    return 1;
}

extern "C" ZORV_VIDEO_EXPORT int
zorv_video_write_audio(ZorvVideoWriter *writer, const float *interleaved, int frames, int64_t ptsUs)
{
    if (writer->failed)
        return 0;
    if (writer->finished)
        return writer->fail("the video is already finished");
    if (!writer->audio)
        return writer->fail("the video has no audio track");
    if (frames <= 0)
        return 1;
    if (!interleaved || ptsUs < 0)
        return writer->fail("audio without samples or time");

    // Samples sit at the time they were stamped with: a gap becomes silence,
    // and what overlaps audio already written is dropped.
    const int64_t start = av_rescale(ptsUs, audioRate, 1000000);
    const int64_t end = writer->audioEnd();
    if (start > end + audioJitterSamples && !writer->silenceUntil(start))
        return 0;
    if (start < end - audioJitterSamples) {
        const int64_t skip = end - start;
        if (skip >= frames)
            return 1;
        interleaved += 2 * skip;
        frames -= int(skip);
    }
    writer->left.reserve(writer->left.size() + size_t(frames));
    writer->right.reserve(writer->right.size() + size_t(frames));
    for (int i = 0; i < frames; ++i) {
        writer->left.push_back(interleaved[2 * i]);
        writer->right.push_back(interleaved[2 * i + 1]);
    }
    return writer->encodeAudio(false) ? 1 : 0;
}

extern "C" ZORV_VIDEO_EXPORT int zorv_video_finish(ZorvVideoWriter *writer)
{
    if (writer->finished)
        return writer->failed ? 0 : 1;
    writer->finished = true;
    if (writer->failed) {
        // Completes the last fragment if the disk still takes it; the reason stays.
        av_write_trailer(writer->format);
        return 0;
    }
    bool ok = true;
    if (writer->audio) {
        // The audio track lasts as long as the video, and the encoder's tail is flushed.
        if (writer->lastVideoUs >= 0) {
            const int64_t videoEnd =
                writer->lastVideoUs + av_rescale(1, 1000000, writer->video->framerate.num);
            ok = writer->silenceUntil(av_rescale(videoEnd, audioRate, 1000000));
        }
        ok = ok && writer->encodeAudio(true) &&
             writer->encode(writer->audio, writer->audioStream, nullptr);
    }
    ok = ok && writer->encode(writer->video, writer->videoStream, nullptr);
    const int trailer = av_write_trailer(writer->format);
    if (ok && (trailer < 0 || writer->format->pb->error < 0))
        ok = writer->fail(writeFailure(trailer < 0 ? trailer : writer->format->pb->error));
    if (avio_closep(&writer->format->pb) < 0 && ok)
        ok = writer->fail("the video could not be written");
    if (!ok)
        return 0;

    const std::string temporary = temporaryBeside(writer->path);
    if (temporary.empty())
        return writer->fail("the video could not be rewritten for playback: " +
                            std::string(std::strerror(errno)));
    std::string problem = remuxFastStart(writer->path, temporary);
    // The temporary file was made private; the video keeps the mode it was created with.
    struct stat created {
    };
    if (problem.empty() && ::stat(writer->path.c_str(), &created) == 0)
        ::chmod(temporary.c_str(), created.st_mode & 07777);
    if (problem.empty() && ::rename(temporary.c_str(), writer->path.c_str()) != 0)
        problem = std::string("the rewritten video could not be put in place (") +
                  std::strerror(errno) + ")";
    if (!problem.empty()) {
        // The fragmented file stays: it plays, only without fast start.
        ::unlink(temporary.c_str());
        return writer->fail(problem);
    }
    return 1;
}

extern "C" ZORV_VIDEO_EXPORT const char *zorv_video_error(const ZorvVideoWriter *writer)
{
    return writer->error.c_str();
}

extern "C" ZORV_VIDEO_EXPORT void zorv_video_close(ZorvVideoWriter *writer)
{
    if (!writer)
        return;
    if (writer->headerWritten && !writer->finished)
        av_write_trailer(writer->format); // writes out the fragment under way
    delete writer;
}
