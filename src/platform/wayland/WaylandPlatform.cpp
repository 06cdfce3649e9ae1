#include "platform/wayland/WaylandPlatform.h"

#include "platform/linux/CanberraSoundPlayer.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioSources.h"
#include "platform/wayland/WaylandHotKeyBackend.h"
#include "platform/wayland/WaylandRecordingSources.h"
#include "platform/wayland/WaylandScreenBackend.h"
#include "platform/wayland/WaylandWindowSystem.h"

namespace zorv::wayland
{

namespace
{
class WaylandPlatform : public Platform
{
  public:
    QString name() const override { return QStringLiteral("wayland"); }
    PlatformCapabilities capabilities() const override { return wayland::capabilities(); }
    ScreenBackend &screens() override { return m_screens; }
    HotKeyBackend &hotKeys() override { return m_hotKeys; }
    SoundPlayer &sound() override { return m_sound; }
    WindowSystem &windowSystem() override { return m_windowSystem; }
    AudioSources &audioSources() override { return m_audio; }
    RecordingSources &recordingSources() override { return m_recording; }

  private:
    WaylandScreenBackend m_screens;
    WaylandHotKeyBackend m_hotKeys;
    CanberraSoundPlayer m_sound;
    WaylandWindowSystem m_windowSystem;
    PulseAudioSources m_audio;
    WaylandRecordingSources m_recording;
};
} // namespace

bool isWaylandSession()
{
    const QByteArray type = qgetenv("XDG_SESSION_TYPE");
    if (type == "wayland")
        return true;
    if (!type.isEmpty())
        return false;
    return qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("DISPLAY");
}

PlatformCapabilities capabilities()
{
    PlatformCapabilities caps;
    caps.windowList = false;
    caps.windowCapture = false;
    caps.globalHotKeys = false;
    caps.recording = true;
    caps.systemAudio = PulseAudioCapture::installed();
    return caps;
}

std::optional<QString> sessionProblem()
{
    if (!qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return QStringLiteral("zorv: no Wayland display (WAYLAND_DISPLAY is not set). Set "
                              "ZORV_PLATFORM=x11 to use an X11 display instead.");
    return std::nullopt;
}

Expected<std::unique_ptr<Platform>, QString> makePlatform()
{
    return std::unique_ptr<Platform>(std::make_unique<WaylandPlatform>());
}

} // namespace zorv::wayland
