#pragma once

#include "capture/ScrollStitcher.h"
#include "capture/scrolling/ScrollingHUD.h"
#include "common/CaptureTypes.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>
#include <functional>
#include <optional>

namespace zorv
{

class HotKeyBackend;
class WindowSystem;

// How one scrolling capture ended, for the caller that started it.
struct ScrollingEnd {
    enum class Status { stitched, cancelled, failed };
    Status status = Status::cancelled;
    QImage image;    // the stitched page (stitched)
    QString message; // what the user was told (failed)
};

// What the controller works with; tests replace the grabs, the stitcher and the timer.
struct ScrollingCaptureServices {
    using GrabDone = std::function<void(const CaptureResult &)>;
    // Grabs a region at its screen's pixel scale and answers, now or later.
    std::function<void(const QRectF &, GrabDone)> grab;
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    // Runs off the GUI thread.
    std::function<Expected<ScrollStitcher::Result, ScrollStitcher::StitchError>(QList<QImage>)>
        stitch = &ScrollStitcher::stitch;
    // Starts a repeating timer that calls `tick`; the function returned stops it.
    // Empty: a QTimer.
    std::function<std::function<void()>(int intervalMs, std::function<void()> tick)> startTimer;
    WindowSystem *windowSystem = nullptr; // for the panel; none: no panel (tests)
    HotKeyBackend *hotKeys = nullptr;     // Return and Escape while capturing; may be null
};

// Grabs a region on a timer while the user scrolls it, keeps the grabs whose
// content moved, and on Done stitches them off the GUI thread into one tall
// image for the caller to deliver.
class ScrollingCaptureController : public QObject
{
    Q_OBJECT
  public:
    static constexpr int grabIntervalMs = 380;
    static constexpr int initialMaxFrames = 48;
    static constexpr qint64 frameBudgetBytes = 335544320; // 320 MiB of frames
    static constexpr double noticeSeconds = 1.9;
    static constexpr double warningSeconds = 5.0;

    using Ended = std::function<void(const ScrollingEnd &)>;

    explicit ScrollingCaptureController(ScrollingCaptureServices services,
                                        QObject *parent = nullptr);
    ~ScrollingCaptureController() override;

    // Frames allowed when the first grab takes `bytes` of memory.
    static int maxFramesFor(qint64 bytes);
    // What the user is told when the stitched image is shorter than the grabs
    // promised; nullopt when it is whole.
    static std::optional<QString> shortfallNotice(const ScrollStitcher::Result &result);

    // Starts capturing `rect` (global logical coordinates); false, and nothing
    // happens, while a capture runs. `ended` hears once how it ended.
    bool capture(const QRectF &rect, Ended ended = {});
    void finish();
    void cancel();

    bool isCapturing() const { return m_capturing; }
    int frameCount() const { return int(m_frames.size()); }
    int maxFrames() const { return m_maxFrames; }
    ScrollingHUD *hud() const { return m_hud.data(); }

  private:
    void grabFrame();
    void grabbed(const CaptureResult &result, quint64 generation);
    void stop();
    void stitch(QList<QImage> frames, const Ended &ended);
    void stitched(const Expected<ScrollStitcher::Result, ScrollStitcher::StitchError> &outcome,
                  const Ended &ended);
    void end(const Ended &ended, ScrollingEnd how);
    void toast(const QString &message, const QString &symbol, double seconds);

    ScrollingCaptureServices m_services;
    QList<QImage> m_frames;
    QRectF m_rect;
    Ended m_ended;
    std::optional<QByteArray> m_lastFingerprint;
    std::function<void()> m_stopTimer;
    QPointer<ScrollingHUD> m_hud;
    QTimer m_notice; // the shortfall warning, after the stitched toast
    QString m_pendingNotice;
    quint64 m_generation = 0; // tells the grabs of one capture from a later one's
    int m_maxFrames = initialMaxFrames;
    bool m_capturing = false;
    bool m_grabbing = false;
};

} // namespace zorv
