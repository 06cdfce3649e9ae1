#pragma once

#include "platform/RecordingSources.h"

#include <atomic>
#include <memory>

namespace zorv
{

class CastRecording;

// Recording on Wayland: frames from a ScreenCast session of the recording's own, opened when
// the recording starts and closed when it ends; sound from the sound server.
class WaylandRecordingSources : public RecordingSources
{
  public:
    // `tokenPath`: where the session's restore token is kept, apart from the stills' one,
    // whose session asks for the pointer differently.
    explicit WaylandRecordingSources(QString tokenPath = defaultTokenPath());

    Expected<std::unique_ptr<FrameGrabber>, QString>
    frameGrabber(const RecordingArea &area) override;
    // The pointer as the stream's metadata describes it, for the grabber made last. Nullptr
    // when the portal offers no metadata: the pointer is then in the frames themselves.
    std::unique_ptr<CursorSource> cursor(const RecordingArea &area) override;
    // Clicks anywhere on the desktop are not visible to a Wayland client.
    std::unique_ptr<ClickSource> clicks(const RecordingArea &) override { return nullptr; }
    Expected<std::unique_ptr<AudioCapture>, QString> audio(AudioInput input,
                                                           const QString &deviceID,
                                                           AudioCapture::Samples samples,
                                                           AudioCapture::Lost lost) override;

    // screencast-recording-token beside the stills' token.
    static QString defaultTokenPath();

  private:
    QString m_tokenPath;
    std::weak_ptr<CastRecording> m_latest;
    std::shared_ptr<std::atomic<uint>> m_cursorModes = std::make_shared<std::atomic<uint>>(0);
};

} // namespace zorv
