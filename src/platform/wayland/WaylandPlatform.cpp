#include "platform/wayland/WaylandPlatform.h"

#include "common/Log.h"
#include "platform/linux/CanberraSoundPlayer.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioSources.h"
#include "platform/portal/RestoreTokenStore.h"
#include "platform/wayland/DesktopCast.h"
#include "platform/wayland/WaylandHotKeyBackend.h"
#include "platform/wayland/WaylandRecordingSources.h"
#include "platform/wayland/WaylandScreenBackend.h"
#include "platform/wayland/WaylandWindowSystem.h"

#include <QDBusConnection>

namespace zorv::wayland
{

namespace
{
// How long loading waits for the portal to say what it offers.
constexpr int offerTimeoutMs = 1000;

class WaylandPlatform : public Platform
{
  public:
    explicit WaylandPlatform(PortalOffer offer)
        : m_offerProblem(stillRoute(offer).problem()),
          m_tokens(FileRestoreTokenStore::defaultPath()),
          m_cast(QDBusConnection::sessionBus(), portalService, m_tokens, offer), m_screens(m_cast),
          m_reachable(offer.unreachable.isEmpty())
    {
        if (!m_reachable)
            logLine(QStringLiteral("the desktop portal did not answer at start (%1)")
                        .arg(offer.unreachable));
        else if (m_offerProblem)
            logLine(*m_offerProblem);
    }
    QString name() const override { return QStringLiteral("wayland"); }
    PlatformCapabilities capabilities() const override { return wayland::capabilities(); }
    ScreenBackend &screens() override { return m_screens; }
    HotKeyBackend &hotKeys() override { return m_hotKeys; }
    SoundPlayer &sound() override { return m_sound; }
    WindowSystem &windowSystem() override { return m_windowSystem; }
    AudioSources &audioSources() override { return m_audio; }
    RecordingSources &recordingSources() override { return m_recording; }
    void prepareCapture(QObject *context,
                        std::function<void(std::optional<QString> problem)> ready) override
    {
        m_cast.prepare(context, std::move(ready));
    }
    // The portal answered and offers a way to take stills.
    bool screenCaptureGranted() override { return m_reachable && !m_offerProblem; }
    // Nothing to ask ahead: the portal asks the user itself, and a capture says why it fails.
    bool requestScreenCapture() override { return true; }

  private:
    std::optional<QString> m_offerProblem;
    FileRestoreTokenStore m_tokens;
    DesktopCast m_cast;
    WaylandScreenBackend m_screens;
    WaylandHotKeyBackend m_hotKeys;
    CanberraSoundPlayer m_sound;
    WaylandWindowSystem m_windowSystem;
    PulseAudioSources m_audio;
    WaylandRecordingSources m_recording;
    bool m_reachable;
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
    caps.recording = false;
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
    return std::unique_ptr<Platform>(std::make_unique<WaylandPlatform>(
        askPortalOffer(QDBusConnection::sessionBus(), portalService, offerTimeoutMs)));
}

} // namespace zorv::wayland
