#include "platform/wayland/WaylandPlatform.h"

#include "common/Log.h"
#include "platform/linux/CanberraSoundPlayer.h"
#include "platform/linux/PulseAudioCapture.h"
#include "platform/linux/PulseAudioSources.h"
#include "platform/portal/PortalRequest.h"
#include "platform/portal/PortalVersion.h"
#include "platform/portal/RestoreTokenStore.h"
#include "platform/wayland/DesktopCast.h"
#include "platform/wayland/WaylandClipboard.h"
#include "platform/wayland/WaylandHotKeyBackend.h"
#include "platform/wayland/WaylandRecordingSources.h"
#include "platform/wayland/WaylandScreenBackend.h"
#include "platform/wayland/WaylandWindowSystem.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QString>
#include <atomic>
#include <unistd.h>

namespace zorv::wayland
{

namespace
{
// How long the portal may take to bind the shortcuts: some desktops ask the user first.
constexpr int shortcutsTimeoutMs = 60000;
// How long start-up waits to learn whether the portal binds shortcuts.
constexpr int shortcutsProbeTimeoutMs = 1000;

// Why this desktop's portal cannot bind global shortcuts; nullopt when it offers
// GlobalShortcuts in a version Zorv can use. Asked once at start, before the event loop runs.
std::optional<QString> globalShortcutsProblem(QDBusConnection bus, int timeoutMs)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << portalInterfaceName(PortalInterface::GlobalShortcuts) << QStringLiteral("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        const QString error = reply.errorName();
        // The frontend answers so when no backend of this desktop implements the interface.
        if (error == QLatin1String("org.freedesktop.DBus.Error.InvalidArgs") ||
            error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
            error == QLatin1String("org.freedesktop.DBus.Error.UnknownProperty"))
            return portalVersionProblem(PortalInterface::GlobalShortcuts, std::nullopt);
        return QStringLiteral("global shortcuts cannot be asked for: %1")
            .arg(portalErrorOutcome(error, reply.errorMessage()).message);
    }
    bool ok = false;
    const uint version =
        qvariant_cast<QDBusVariant>(reply.arguments().value(0)).variant().toUInt(&ok);
    return portalVersionProblem(PortalInterface::GlobalShortcuts,
                                ok ? std::optional<uint>(version) : std::nullopt);
}

// How long loading waits for the portal to say what it offers.
constexpr int offerTimeoutMs = 1000;

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
    if (type == QtWarningMsg && isConnectionLoss(message)) {
        // Qt's event thread and the main thread may both find the connection gone; Qt ends
        // the process right after its warning, so the second one waits here for the first
        // to finish the clean-up and end it.
        if (lost.exchange(true)) {
            for (;;)
                pause();
        }
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
    WaylandPlatform(PortalOffer offer, PlatformCapabilities capabilities)
        : m_capabilities(capabilities), m_offerProblem(stillRoute(offer).problem()),
          m_tokens(FileRestoreTokenStore::defaultPath()),
          m_cast(QDBusConnection::sessionBus(), portalService, m_tokens, offer), m_screens(m_cast),
          m_hotKeys(QDBusConnection::sessionBus(), portalService, shortcutsTimeoutMs),
          m_reachable(offer.unreachable.isEmpty())
    {
        if (!m_reachable)
            logLine(QStringLiteral("the desktop portal did not answer at start (%1)")
                        .arg(offer.unreachable));
        else if (m_offerProblem)
            logLine(*m_offerProblem);
        previousHandler = qInstallMessageHandler(&watchMessages);
    }
    ~WaylandPlatform() override
    {
        qInstallMessageHandler(previousHandler);
        displayLost = nullptr;
    }
    QString name() const override { return QStringLiteral("wayland"); }
    PlatformCapabilities capabilities() const override { return m_capabilities; }
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
    Clipboard &clipboard() override { return m_clipboard; }
    void setDisplayLostHandler(std::function<void()> handler) override
    {
        displayLost = std::move(handler);
    }

  private:
    PlatformCapabilities m_capabilities;
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
    caps.recording = true;
    caps.systemAudio = PulseAudioCapture::installed();
    return caps;
}

std::optional<QString> sessionProblem()
{
    if (!qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        return QStringLiteral("zorv: no Wayland display (WAYLAND_DISPLAY is not set). Set "
                              "ZORV_PLATFORM=x11 to use an X11 display instead.");
    // Qt's Wayland plugin decides whether it can draw window frames itself by starting
    // OpenGL, which maps the GL driver (50 MB with a software renderer) into an idle tray
    // program. Desktops other than GNOME draw the frames themselves (xdg-decoration), so
    // there Qt need not ask.
    const bool gnome = qgetenv("XDG_CURRENT_DESKTOP").toLower().contains("gnome");
    if (!gnome && !qEnvironmentVariableIsSet("QT_WAYLAND_DISABLE_WINDOWDECORATION"))
        qputenv("QT_WAYLAND_DISABLE_WINDOWDECORATION", "1");
    return std::nullopt;
}

Expected<std::unique_ptr<Platform>, QString> makePlatform()
{
    const PortalOffer offer =
        askPortalOffer(QDBusConnection::sessionBus(), portalService, offerTimeoutMs);
    PlatformCapabilities caps = capabilities();
    // Recordings need a stream; stills also manage with the Screenshot portal alone.
    caps.recording = offer.unreachable.isEmpty() && !stillRoute(offer).castProblem;
    const auto shortcuts =
        globalShortcutsProblem(QDBusConnection::sessionBus(), shortcutsProbeTimeoutMs);
    if (shortcuts)
        logLine(QStringLiteral("no global shortcuts: %1").arg(*shortcuts));
    caps.globalHotKeys = !shortcuts;
    return std::unique_ptr<Platform>(std::make_unique<WaylandPlatform>(offer, caps));
}

} // namespace zorv::wayland
