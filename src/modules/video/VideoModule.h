#pragma once

// The entry points of the video module (libzorv-video.so), which Zorv loads
// with QLibrary at the first recording or video thumbnail, so that FFmpeg's
// libraries cost nothing before. Plain C types only: the module needs neither
// Qt nor Zorv.

#include <stdint.h>

#define ZORV_VIDEO_EXPORT __attribute__((visibility("default")))

extern "C" {

enum ZorvVideoCodec { ZORV_VIDEO_H264 = 0, ZORV_VIDEO_HEVC = 1 };

struct ZorvVideoSettings {
    const char *path;   // created; must not exist yet
    int width;          // even
    int height;         // even
    int fps;            // nominal rate, also the keyframe interval (one fragment a second)
    int codec;          // ZorvVideoCodec
    int audio;          // non-zero: one AAC track, 48 kHz stereo
    int crf;            // 0: the module's choice for the codec
    const char *preset; // null: the module's choice
    int threads;        // 0: the module's choice
};

typedef struct ZorvVideoWriter ZorvVideoWriter;

// Null on failure with the reason in `error` (`errorSize` bytes, terminated),
// and then no file is left at `path`.
using ZorvVideoOpen = ZorvVideoWriter *(*)(const ZorvVideoSettings *settings, char *error,
                                           int errorSize);
// One frame of 32-bit pixels 0xffRRGGBB in native byte order, `stride` bytes a
// row, of the opened size. `ptsUs` grows with every frame. 0 on failure.
using ZorvVideoWriteFrame = int (*)(ZorvVideoWriter *writer, const uint8_t *pixels, int stride,
                                    int64_t ptsUs);
// Interleaved float stereo at 48 kHz; `ptsUs` is the time of the first sample.
// 0 on failure.
using ZorvVideoWriteAudio = int (*)(ZorvVideoWriter *writer, const float *interleaved, int frames,
                                    int64_t ptsUs);
// Flushes the encoders and rewrites the file with its index at the front. 0 on
// failure; what was written before stays playable.
using ZorvVideoFinish = int (*)(ZorvVideoWriter *writer);
// Why the last call failed; empty before any failure. Owned by the writer.
using ZorvVideoError = const char *(*)(const ZorvVideoWriter *writer);
// Frees the writer. Without a finish the file stays as written so far, which
// plays up to its last complete fragment.
using ZorvVideoClose = void (*)(ZorvVideoWriter *writer);

// Asked for the buffer of a decoded picture of `width` × `height` pixels
// (0xffRRGGBB, native order); returns its first row and sets `*stride`, or
// null to stop.
using ZorvVideoAllocate = uint8_t *(*)(void *userdata, int width, int height, int *stride);

typedef struct ZorvVideoReader ZorvVideoReader;

// Opens the first video stream of a file for reading frame after frame, each
// scaled to fit `maxWidth` × `maxHeight` (aspect kept; 0 for no limit). Null on
// failure with the reason in `error`.
using ZorvVideoReaderOpen = ZorvVideoReader *(*)(const char *path, int maxWidth, int maxHeight,
                                                 char *error, int errorSize);
// The next frame in presentation order into a buffer from `allocate`, with its
// time in microseconds from the start of the stream. 1: a frame; 0: the end;
// -1: failure (the reason from ZorvVideoReaderError).
using ZorvVideoReaderNext = int (*)(ZorvVideoReader *reader, ZorvVideoAllocate allocate,
                                    void *userdata, int64_t *ptsUs);
// The stream's coded size, nominal rate (num/den, 0/1 when unknown), duration in
// microseconds (-1 when unknown) and the clockwise rotation players apply (0, 90,
// 180 or 270).
// Frames one by one without converting those nobody looks at (decoding is
// cheap next to scaling). Peek: the time of the next frame, decoding it but
// leaving it next. Advance: moves to the next frame without converting it.
// Convert: the frame last advanced to, into a buffer from `allocate`. Each
// returns 1, 0 at the end (peek, advance) or -1 on failure.
using ZorvVideoReaderPeek = int (*)(ZorvVideoReader *reader, int64_t *ptsUs);
using ZorvVideoReaderAdvance = int (*)(ZorvVideoReader *reader, int64_t *ptsUs);
using ZorvVideoReaderConvert = int (*)(ZorvVideoReader *reader, ZorvVideoAllocate allocate,
                                       void *userdata);
using ZorvVideoReaderInfo = void (*)(const ZorvVideoReader *reader, int *width, int *height,
                                     int *fpsNum, int *fpsDen, int64_t *durationUs, int *rotation);
using ZorvVideoReaderError = const char *(*)(const ZorvVideoReader *reader);
using ZorvVideoReaderClose = void (*)(ZorvVideoReader *reader);
}
