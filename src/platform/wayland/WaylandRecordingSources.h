#pragma once

#include "platform/RecordingSources.h"

namespace zorv
{

// Recording on Wayland: frames from a ScreenCast stream, sound from the sound server.
class WaylandRecordingSources : public RecordingSources
{
  public:
    Expected<std::unique_ptr<FrameGrabber>, QString>
    frameGrabber(const RecordingArea &area) override;
    std::unique_ptr<CursorSource> cursor(const RecordingArea &area) override;
    // Clicks anywhere on the desktop are not visible to a Wayland client.
    std::unique_ptr<ClickSource> clicks(const RecordingArea &) override { return nullptr; }
    Expected<std::unique_ptr<AudioCapture>, QString> audio(AudioInput input,
                                                           const QString &deviceID,
                                                           AudioCapture::Samples samples,
                                                           AudioCapture::Lost lost) override;
};

} // namespace zorv
