#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>

struct ZorvVideoReader;

namespace zorv
{

// Pictures from video files, decoded through the video module (libzorv-video,
// loaded on first use). Everything decodes on the calling thread.
namespace VideoFrames
{

// The first frame of the video in `path`, turned as players show it and
// scaled to fit `maxPixel` × `maxPixel`; nothing when the file holds no
// decodable video.
std::optional<QImage> firstFrame(const QString &path, int maxPixel = 600);

} // namespace VideoFrames

// Reads the frames of a video one after the other, scaled to fit a size.
class VideoFrameReader
{
  public:
    struct Frame {
        QImage image; // Format_RGB32
        int64_t ptsUs = -1;
    };
    struct Info {
        QSize size;              // coded, before rotation
        double fps = 0;          // nominal; 0 when unknown
        int64_t durationUs = -1; // -1 when unknown
        int rotation = 0;        // clockwise degrees players turn the picture
    };

    // `maxSize` empty: full size. Null with `error` set when the file holds no
    // decodable video or the module is missing.
    static std::unique_ptr<VideoFrameReader> open(const QString &path, QSize maxSize = {},
                                                  QString *error = nullptr);
    ~VideoFrameReader();

    Info info() const;
    // The next frame in presentation order; nothing at the end or on failure
    // (then error() says why).
    std::optional<Frame> next();
    // For taking some frames only: the time of the next frame without moving
    // to it; moving to it without converting its picture (most of the cost);
    // and the picture of the frame last moved to. Nothing at the end or on
    // failure (then error() says why).
    std::optional<int64_t> peekTime();
    std::optional<int64_t> skip();
    std::optional<QImage> picture();
    QString error() const { return m_error; }

  private:
    explicit VideoFrameReader(ZorvVideoReader *reader) : m_reader(reader) {}
    // What a module call returned (1 done, 0 at the end, -1 failed) as a time,
    // keeping the reason of a failure.
    std::optional<int64_t> reported(int got, int64_t ptsUs);
    ZorvVideoReader *m_reader;
    QString m_error;
};

} // namespace zorv
