#include "platform/wayland/WaylandPlatform.h"

#include "platform/linux/CanberraSoundPlayer.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioSources.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandHotKeyBackend.h"
#include "platform/wayland/WaylandRecordingSources.h"
#include "platform/wayland/WaylandScreenBackend.h"
#include "platform/wayland/WaylandWindowSystem.h"

#include <QString>
#include <atomic>
#include <unistd.h>

namespace zorv::wayland
{

namespace
{

// Qt's Wayland plugin ends the process with _exit() as soon as the compositor's connection
// breaks, after one warning. That warning is the only moment left to finish writes: the
// handler runs there, says what happened in its own words instead, and ends the process.
std::function<void()> displayLost;
QtMessageHandler previousHandler = nullptr;
std::atomic_bool lost = false;

// What Qt's Wayland plugin says each time Zorv asks for what X11 offers and Wayland does not
// (the overlay's input grab, window opacity): expected here, and it would flood the log.
bool isExpectedLimit(const QString &message)
{
    return message == QLatin1String("This plugin supports grabbing the mouse only for popup "
                                    "windows") ||
           message == QLatin1String("This plugin does not support setting window opacity");
}

bool isConnectionLoss(const QString &message)
{
    return message.startsWith(QLatin1String("The Wayland connection broke")) ||
           message.startsWith(QLatin1String("The Wayland connection experienced a fatal error"));
}

void watchMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && isExpectedLimit(message))
        return;
    if (type == QtWarningMsg && isConnectionLoss(message) && !lost.exchange(true)) {
        if (displayLost)
            displayLost();
        _exit(1);
    }
    if (previousHandler)
        previousHandler(type, context, message);
    else
        qt_message_output(type, context, message);
}

class WaylandPlatform : public Platform
{
  public:
    WaylandPlatform() { previousHandler = qInstallMessageHandler(&watchMessages); }
    ~WaylandPlatform() override
    {
        qInstallMessageHandler(previousHandler);
        displayLost = nullptr;
    }
    QString name() const override { return QStringLiteral("wayland"); }
    PlatformCapabilities capabilities() const override { return wayland::capabilities(); }
    ScreenBackend &screens() override { return m_screens; }
    HotKeyBackend &hotKeys() override { return m_hotKeys; }
    SoundPlayer &sound() override { return m_sound; }
    WindowSystem &windowSystem() override { return m_windowSystem; }
    AudioSources &audioSources() override { return m_audio; }
    RecordingSources &recordingSources() override { return m_recording; }
    Clipboard &clipboard() override { return m_clipboard; }
    void setDisplayLostHandler(std::function<void()> handler) override
    {
        displayLost = std::move(handler);
    }

  private:
    WaylandScreenBackend m_screens;
    WaylandHotKeyBackend m_hotKeys;
    CanberraSoundPlayer m_sound;
    WaylandWindowSystem m_windowSystem;
    PulseAudioSources m_audio;
    WaylandRecordingSources m_recording;
    WaylandClipboard m_clipboard;
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
    return std::unique_ptr<Platform>(std::make_unique<WaylandPlatform>());
}

} // namespace zorv::wayland
