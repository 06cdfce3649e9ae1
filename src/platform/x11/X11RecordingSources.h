#pragma once

#include "platform/RecordingSources.h"
#include "platform/x11/RecordingArea.h"

namespace zorv
{

class X11ScreenBackend;

// Frames, pointer and clicks from the X server, each over a connection of its
// own; sound from PulseAudio. The area is mapped to X pixels through the
// screen backend, so the sources are made on the GUI thread (the sound one
// excepted, which may block) and used on any one thread after.
class X11RecordingSources : public RecordingSources
{
  public:
    explicit X11RecordingSources(X11ScreenBackend &screens) : m_screens(screens) {}

    Expected<std::unique_ptr<FrameGrabber>, QString>
    frameGrabber(const RecordingArea &area) override;
    std::unique_ptr<CursorSource> cursor(const RecordingArea &area) override;
    std::unique_ptr<ClickSource> clicks(const RecordingArea &area) override;
    Expected<std::unique_ptr<AudioCapture>, QString> audio(AudioInput input,
                                                           const QString &deviceID,
                                                           AudioCapture::Samples samples,
                                                           AudioCapture::Lost lost) override;

    // The area in X pixels; nullopt when its display is not connected.
    std::optional<DeviceArea> deviceArea(const RecordingArea &area);

  private:
    X11ScreenBackend &m_screens;
};

} // namespace zorv
