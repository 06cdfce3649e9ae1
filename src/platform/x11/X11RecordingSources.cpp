#include "platform/x11/X11RecordingSources.h"

#include "platform/linux/PulseAudioCapture.h"
#include "platform/x11/X11FrameGrabber.h"
#include "platform/x11/X11PointerSources.h"
#include "platform/x11/X11ScreenBackend.h"

namespace zorv
{

std::optional<DeviceArea> X11RecordingSources::deviceArea(const RecordingArea &area)
{
    const std::optional<ScreenArea> screen = m_screens.displayArea(area.displayID);
    if (!screen)
        return std::nullopt;
    return DeviceArea::of(*screen, area);
}

Expected<std::unique_ptr<FrameGrabber>, QString>
X11RecordingSources::frameGrabber(const RecordingArea &area)
{
    const std::optional<DeviceArea> device = deviceArea(area);
    if (!device)
        return QStringLiteral("the display to record is not connected");
    auto made = X11FrameGrabber::make(*device, area.displayID);
    if (!made)
        return made.error();
    return std::unique_ptr<FrameGrabber>(std::move(made.value()));
}

std::unique_ptr<CursorSource> X11RecordingSources::cursor(const RecordingArea &area)
{
    const std::optional<DeviceArea> device = deviceArea(area);
    return device ? std::make_unique<X11CursorSource>(*device) : nullptr;
}

std::unique_ptr<ClickSource> X11RecordingSources::clicks(const RecordingArea &area)
{
    const std::optional<DeviceArea> device = deviceArea(area);
    return device ? std::make_unique<X11ClickSource>(*device) : nullptr;
}

Expected<std::unique_ptr<AudioCapture>, QString>
X11RecordingSources::audio(AudioInput input, const QString &deviceID, AudioCapture::Samples samples,
                           AudioCapture::Lost lost)
{
    return PulseAudioCapture::start(input, deviceID, std::move(samples), std::move(lost));
}

} // namespace zorv
