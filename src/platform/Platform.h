#pragma once

#include "common/Capabilities.h"
#include "common/CaptureAction.h"
#include "common/CaptureTypes.h"
#include "common/Expected.h"
#include "common/KeyCombo.h"
#include "platform/Clipboard.h"
#include "platform/RecordingSources.h"
#include "platform/WindowSystem.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRectF>
#include <functional>
#include <memory>
#include <optional>

class QScreen;

namespace zorv
{

// A top-level window as the window system reports it, before any filtering.
struct PlatformWindow {
    uint32_t id = 0;
    QRectF frame; // global logical coordinates, including the window manager's frame
    QString title;
    QString appName;
    int32_t pid = 0; // 0 when unknown
    int layer = 0;   // 0 = normal application window; docks, menus, desktop … are not 0
    bool onScreen = true;
};

// Displays, windows and pixels.
class ScreenBackend
{
  public:
    virtual ~ScreenBackend() = default;
    virtual CaptureExpected<QList<DisplayInfo>> displays() = 0;
    // The display a QScreen shows, matched by monitor name.
    virtual std::optional<uint32_t> displayID(const QScreen *screen) = 0;
    // Every top-level window, in the window system's own (content) order.
    virtual CaptureExpected<QList<PlatformWindow>> windows() = 0;
    // Window ids, front-most first.
    virtual QList<uint32_t> stackingOrder() = 0;

    // A region of one display at `scale` pixels per logical unit, composed
    // without Zorv's own windows. The result is round(scale·w) × round(scale·h).
    virtual CaptureResult grabDisplayRegion(uint32_t displayID, const QRectF &rect,
                                            double scale) = 0;
    // One window's own pixels, even where covered.
    virtual CaptureResult grabWindow(uint32_t windowID, double scale, bool includeShadow) = 0;
    // A rectangle that may span displays; pieces on no display are transparent.
    virtual CaptureResult grabArea(const QRectF &rect) = 0;
};

// One of the user's shortcuts, as a reload asks for it.
struct HotKeyRequest {
    uint32_t id;
    CaptureAction action;
    KeyCombo combo;
};

// Global shortcuts. Presses are reported on the main thread.
class HotKeyBackend : public QObject
{
    Q_OBJECT
  public:
    using QObject::QObject;
    // One key combination held for a moment (the scrolling capture's Return and Escape).
    // nullopt on success, else the reason the combination was refused.
    virtual std::optional<QString> grab(uint32_t id, const KeyCombo &combo) = 0;
    virtual void ungrab(uint32_t id) = 0;
    // The user's shortcuts of one reload, in order; the reasons of those refused at once, by
    // id. A desktop that decides later refuses through `refused` and then says `settled`.
    virtual QHash<uint32_t, QString> grabAll(const QList<HotKeyRequest> &requests)
    {
        QHash<uint32_t, QString> refusals;
        for (const HotKeyRequest &request : requests) {
            if (const auto reason = grab(request.id, request.combo))
                refusals.insert(request.id, *reason);
        }
        return refusals;
    }
    // Why `combo` could not become a shortcut now; nullopt when nothing is known against it.
    virtual std::optional<QString> probe(uint32_t id, const KeyCombo &combo)
    {
        auto reason = grab(id, combo);
        if (!reason)
            ungrab(id);
        return reason;
    }

  Q_SIGNALS:
    void pressed(uint32_t id);
    // A shortcut that grabAll accepted is not or no longer bound: the desktop declined it,
    // or ended the binding.
    void refused(uint32_t id, const QString &reason);
    // The desktop has answered for the last grabAll.
    void settled();
};

// Event sounds.
class SoundPlayer
{
  public:
    virtual ~SoundPlayer() = default;
    // Plays the capture sound; false when it cannot be played (the caller beeps).
    virtual bool playCaptureSound() = 0;
};

// A microphone of the sound server.
struct AudioSource {
    QString id;   // the server's name for it, stored as the chosen device
    QString name; // what the user sees
    friend bool operator==(const AudioSource &, const AudioSource &) = default;
};

// The sound server's inputs. Asking may take a moment, so the answer comes
// later, on the main thread.
class AudioSources
{
  public:
    using Answer = std::function<void(Expected<QList<AudioSource>, QString>)>;
    virtual ~AudioSources() = default;
    // Calls `answer` within `context` with the microphones (monitors of outputs
    // left out), or why the server could not be asked.
    virtual void listMicrophones(QObject *context, Answer answer) = 0;
};

// The backend bundle, picked once at start (ZORV_PLATFORM=x11|fake forces one).
class Platform
{
  public:
    virtual ~Platform() = default;
    virtual QString name() const = 0;
    virtual PlatformCapabilities capabilities() const = 0;
    virtual ScreenBackend &screens() = 0;
    virtual HotKeyBackend &hotKeys() = 0;
    virtual SoundPlayer &sound() = 0;
    virtual WindowSystem &windowSystem() = 0;
    virtual AudioSources &audioSources() = 0;
    // What a recording reads: frames, pointer, clicks and sound.
    virtual RecordingSources &recordingSources() = 0;
    // Makes the screens' pixels ready for the grabs that follow, and calls `ready` within
    // `context` with nullopt, or with why the screens cannot be captured (told to the user).
    // Backends whose grabs read the screen directly answer at once; others (a portal's
    // stream) wait off the GUI thread. Call it before every capture, overlay or grab series.
    virtual void prepareCapture(QObject *context,
                                std::function<void(std::optional<QString> problem)> ready)
    {
        Q_UNUSED(context);
        ready(std::nullopt);
    }
    // Qt's clipboard unless the backend needs its own way.
    virtual Clipboard &clipboard();
    // Called once, just before the process ends, when the connection to the display is lost
    // for good (the compositor crashed): the last chance to finish writes and clean up.
    // Backends whose toolkit ends the process on its own call it from there.
    virtual void setDisplayLostHandler(std::function<void()> handler) { (void)handler; }
    virtual bool screenCaptureGranted() { return true; }
    virtual bool requestScreenCapture() { return screenCaptureGranted(); }

    static Platform &shared();
    // Replaces the shared backend (tests); takes ownership.
    static void install(std::unique_ptr<Platform> platform);
    // Ends the shared backend while the application and its X connection still
    // exist: static destruction comes after the connection is closed.
    static void shutDown() { install(nullptr); }
};

} // namespace zorv
