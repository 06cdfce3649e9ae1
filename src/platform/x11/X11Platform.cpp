#include "platform/x11/X11Platform.h"

#include "platform/linux/CanberraSoundPlayer.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioSources.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotKeyBackend.h"
#include "platform/x11/X11RecordingSources.h"
#include "platform/x11/X11ScreenBackend.h"
#include "platform/x11/X11WindowSystem.h"

#include <QGuiApplication>
#include <cstdlib>
#include <xcb/xcb.h>

namespace zorv::x11
{

namespace
{
class X11Platform : public Platform
{
  public:
    QString name() const override { return QStringLiteral("x11"); }
    PlatformCapabilities capabilities() const override { return x11::capabilities(); }
    ScreenBackend &screens() override { return m_screens; }
    HotKeyBackend &hotKeys() override { return m_hotKeys; }
    SoundPlayer &sound() override { return m_sound; }
    WindowSystem &windowSystem() override { return m_windowSystem; }
    AudioSources &audioSources() override { return m_audio; }
    RecordingSources &recordingSources() override { return m_recording; }

  private:
    X11ScreenBackend m_screens{x11::connection(), x11::screenNumber()};
    X11HotKeyBackend m_hotKeys;
    CanberraSoundPlayer m_sound;
    X11WindowSystem m_windowSystem;
    PulseAudioSources m_audio;
    X11RecordingSources m_recording{m_screens};
};
} // namespace

PlatformCapabilities capabilities()
{
    PlatformCapabilities caps;
    caps.windowList = true;
    caps.windowCapture = true;
    caps.globalHotKeys = true;
    // Frames come from the root window, which every X server serves.
    caps.recording = true;
    caps.clickCapture = true;
    caps.ownWindowsLeftOut = true; // a composed picture of the desktop without them
    // The sound server is asked only when a recording starts (it may start
    // later than Zorv); what must be here is the module that speaks to it.
    caps.systemAudio = PulseAudioCapture::installed();
    return caps;
}

std::optional<QString> sessionProblem()
{
    const QByteArray display = qgetenv("DISPLAY");
    if (display.isEmpty()) {
        return qEnvironmentVariableIsSet("WAYLAND_DISPLAY")
                   ? QStringLiteral("zorv: no X display. Zorv needs X11 (or XWayland with "
                                    "DISPLAY set).")
                   : QStringLiteral("zorv: no X display (DISPLAY is not set). Zorv needs a "
                                    "running X11 desktop.");
    }
    xcb_connection_t *probe = xcb_connect(display.constData(), nullptr);
    const bool reachable = probe && xcb_connection_has_error(probe) == 0;
    xcb_disconnect(probe);
    if (!reachable)
        return QStringLiteral("zorv: cannot open the X display %1.")
            .arg(QString::fromLocal8Bit(display));

    const QByteArray plugin = qgetenv("QT_QPA_PLATFORM");
    if (plugin.isEmpty())
        setenv("QT_QPA_PLATFORM", "xcb", 1); // also on a Wayland session with XWayland
    else if (!plugin.startsWith("xcb"))
        return QStringLiteral("zorv: Zorv captures through X11, but QT_QPA_PLATFORM asks Qt "
                              "for '%1'. Unset it or set it to xcb.")
            .arg(QString::fromLocal8Bit(plugin));
    return std::nullopt;
}

Expected<std::unique_ptr<Platform>, QString> makePlatform()
{
    if (!x11::connection())
        return QStringLiteral("zorv: the X11 backend needs Qt's xcb platform, but Qt runs on "
                              "'%1'.")
            .arg(QGuiApplication::platformName());
    return std::unique_ptr<Platform>(std::make_unique<X11Platform>());
}

} // namespace zorv::x11
