#include "platform/wayland/WaylandRecordingSources.h"

#include "platform/linux/PulseAudioCapture.h"

namespace zorv
{

Expected<std::unique_ptr<FrameGrabber>, QString>
WaylandRecordingSources::frameGrabber(const RecordingArea &)
{
    return QStringLiteral("not yet");
}

std::unique_ptr<CursorSource> WaylandRecordingSources::cursor(const RecordingArea &)
{
    return nullptr;
}

Expected<std::unique_ptr<AudioCapture>, QString>
WaylandRecordingSources::audio(AudioInput input, const QString &deviceID,
                               AudioCapture::Samples samples, AudioCapture::Lost lost)
{
    return PulseAudioCapture::start(input, deviceID, std::move(samples), std::move(lost));
}

} // namespace zorv
