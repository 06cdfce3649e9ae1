#pragma once

#include "common/Expected.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>

namespace zorv
{

enum class VideoCodec { h264, hevc };

struct VideoWriterConfig {
    QString path;    // the MPEG-4 file to create; must not exist yet
    QSize frameSize; // of every frame passed in; both sides even
    int fps = 30;    // the nominal rate written in the file
    VideoCodec codec = VideoCodec::h264;
    bool audio = false; // one AAC track, 48 kHz stereo
};

// Encodes frames and audio into an MPEG-4 file through the video module
// (libzorv-video, loaded on first use). One thread at a time uses a writer.
//
// While recording the file is fragmented, so a file cut short (full disk,
// crash) still plays up to its last fragment; finish() rewrites it with the
// index at the front so it starts playing before it is fully read.
class VideoWriter
{
  public:
    // The module, the encoder or the file could not be opened: the reason, and
    // no file is left behind.
    static Expected<std::unique_ptr<VideoWriter>, QString> open(const VideoWriterConfig &config);
    virtual ~VideoWriter() = default; // without finish(): what was written stays playable

    // `frame` is Format_RGB32 of the configured size. `ptsUs` counts from the
    // start of the recording and grows with every frame. False with error()
    // set when writing failed (the disk is full, the encoder broke).
    virtual bool writeVideo(const QImage &frame, int64_t ptsUs) = 0;
    // Interleaved float stereo at 48 kHz; `ptsUs` of the first sample.
    virtual bool writeAudio(const float *interleaved, int frames, int64_t ptsUs) = 0;
    // Flushes the encoders and completes the file. False with error() set;
    // what was written before stays playable.
    virtual bool finish() = 0;
    virtual QString error() const = 0;
};

} // namespace zorv
