#pragma once

#include "common/Expected.h"

#include <QImage>
#include <QList>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace zorv
{

// Everything a recording reads from the desktop. Each source is made for one
// recording and is used from one worker thread (never the GUI thread); each
// opens its own connection so it never waits on the GUI thread's. The frame,
// cursor and click sources are made on the GUI thread (the area is mapped
// through the screens); audio() may block for a few seconds while the sound
// server answers, so it is called off the GUI thread.
//
// Times are CLOCK_MONOTONIC nanoseconds (common/MonotonicClock.h), the one
// clock every frame and audio buffer is stamped with.

// The part of one display being recorded.
struct RecordingArea {
    uint32_t displayID = 0;
    QRectF rect;      // global logical coordinates
    double scale = 1; // pixels per logical unit of that display
    QSize pixelSize;  // what each frame measures; the caller rounds it
};

// Grabs the area again and again.
class FrameGrabber
{
  public:
    virtual ~FrameGrabber() = default;
    // Sets up what the first frame needs, on the thread that starts the recording (never the
    // GUI thread): a grabber that must first be granted the screen waits here, bounded by
    // its own timeouts and returning early once `abandon` is set. The reason, in a sentence
    // for the user, when it cannot record.
    virtual std::optional<QString> open(const std::atomic<bool> &abandon)
    {
        (void)abandon;
        return std::nullopt;
    }
    // Whether a picture of the area exists yet, waiting at most `timeoutNs` for the first:
    // a stream that has sent nothing has nothing to grab, and its frame is skipped.
    virtual bool hasPicture(int64_t timeoutNs)
    {
        (void)timeoutNs;
        return true;
    }
    // Fills `frame` (Format_RGB32, the area's pixel size; the same buffer is
    // passed every time so nothing is allocated per frame) with the area as it
    // looks now, Zorv's own windows left out. False with the reason when the
    // display or the server is gone.
    virtual bool grab(QImage &frame, QString &error) = 0;
};

// The pointer as it is drawn now.
struct CursorSnapshot {
    QPoint position; // the hot spot, in pixels relative to the area's top-left corner
    QPoint hotspot;  // within `image`
    QImage image;    // ARGB32_Premultiplied at the area's scale; shared while the shape stays
    bool visible = true;
};

class CursorSource
{
  public:
    virtual ~CursorSource() = default;
    // None when the pointer cannot be read (the frame is then drawn without it).
    virtual std::optional<CursorSnapshot> current() = 0;
};

struct PointerClick {
    int64_t timeNs = 0;
    QPoint position; // pixels relative to the area's top-left corner
    int button = 1;
};

// Button presses anywhere on the desktop, seen from their own thread.
class ClickSource
{
  public:
    virtual ~ClickSource() = default;
    // The presses since the last call, oldest first.
    virtual QList<PointerClick> takeClicks() = 0;
};

// Audio from the sound server, delivered on the server client's own thread as
// interleaved 32-bit float stereo at 48 kHz.
class AudioCapture
{
  public:
    // `captureTimeNs` is when the first sample of `data` was heard.
    using Samples = std::function<void(const float *data, int frames, int64_t captureTimeNs)>;
    // The source went away (server gone, device unplugged); no samples follow.
    using Lost = std::function<void(const QString &reason)>;
    static constexpr int sampleRate = 48000;
    static constexpr int channels = 2;
    // Stops; no callback runs after it returns. Never from inside a callback.
    virtual ~AudioCapture() = default;
};

enum class AudioInput { systemOutput, microphone };

class RecordingSources
{
  public:
    virtual ~RecordingSources() = default;
    virtual Expected<std::unique_ptr<FrameGrabber>, QString>
    frameGrabber(const RecordingArea &area) = 0;
    virtual std::unique_ptr<CursorSource> cursor(const RecordingArea &area) = 0;
    virtual std::unique_ptr<ClickSource> clicks(const RecordingArea &area) = 0;
    // `deviceID` chooses a microphone; empty means the server's default. For
    // systemOutput it is ignored: the monitor of the default output is used.
    virtual Expected<std::unique_ptr<AudioCapture>, QString> audio(AudioInput input,
                                                                   const QString &deviceID,
                                                                   AudioCapture::Samples samples,
                                                                   AudioCapture::Lost lost) = 0;
};

} // namespace zorv
