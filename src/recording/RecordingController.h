#pragma once

#include "common/CaptureKind.h"
#include "output/history/HistoryItem.h"
#include "output/quickaccess/QuickAccessPayload.h"
#include "recording/Recorder.h"
#include "recording/RecordingHUD.h"
#include "recording/RecordingLeftovers.h"
#include "recording/gif/GIFEncoder.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFuture>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QSizeF>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace zorv
{

class AppSettings;
class WindowSystem;

// What the controller works with; the application wires the real ones.
struct RecordingServices {
    Recorder *recorder = nullptr;
    AppSettings *settings = nullptr;
    // Whether presses in other programs can be seen; without it the clicks setting is not
    // asked for (the tray and settings say why).
    bool clickCapture = true;
    // Translucency and workspaces of the control window; none: no control window
    // (tests of the states alone).
    WindowSystem *windows = nullptr;
    // Qt's screens and the pointer, in global logical coordinates.
    std::function<QList<RecordingScreen>()> screens;
    std::function<QPointF()> pointer;
    std::function<void(const QString &message, const QString &symbol, double seconds)> toast;
    // Moves a finished file into the history off the GUI thread (a copy of the
    // whole recording when the temporary folder is on another file system);
    // resolves on the GUI thread, with nothing when that failed.
    std::function<QFuture<std::optional<HistoryItem>>(const QString &path, CaptureKind kind,
                                                      const QString &fileName, QSizeF pixelSize)>
        recordFile;
    std::function<void(QuickAccessPayload)> showQuickAccess;
    // The capture sound; false when it cannot be played (then the beep).
    std::function<bool()> playSound;
    std::function<void()> beep;
    // The first frame of a video, made off the GUI thread.
    std::function<QFuture<std::optional<QImage>>(const QString &path)> thumbnail;
    std::function<QDateTime()> now;
    QString temporaryDirectory; // empty: the system's
    // Turns a finished video into a GIF (GIFEncoder::makeGIF); blocks, so it
    // runs off the GUI thread. None: GIF recordings are kept as videos.
    std::function<Expected<QString, GIFFailure>(
        const QString &videoPath, int fps, int maxWidth, const QString &temporaryDirectory,
        const GIFEncoder::Progress &progress, const std::atomic<bool> *cancel)>
        makeGIF;
    // The toast that follows a long conversion: shown again with each new
    // `fraction` (0…1), its Cancel calls `cancel`; closed when the work ends.
    std::function<void(const QString &message, const QString &symbol, double fraction,
                       std::function<void()> cancel)>
        progressToast;
    std::function<void()> closeProgressToast;
};

// Runs one screen recording from the chosen area to the finished file in the
// history: starts the recorder, shows the control window, and stops, discards
// or finishes the recording. Lives on the GUI thread.
class RecordingController : public QObject
{
    Q_OBJECT
  public:
    static constexpr double toastSeconds = 1.9;
    // A conversion shows its progress only once it has taken this long.
    static constexpr int progressAfterMs = 1000;

    explicit RecordingController(RecordingServices services, QObject *parent = nullptr);
    ~RecordingController() override;

    // Records `rect` (global logical coordinates). Ignored while a recording
    // starts or runs; failures are shown to the user.
    void start(const QRectF &rect, CaptureKind kind);
    // Finishes the running recording and keeps it; nothing without one.
    void stop();
    // Finishes the running recording and throws the file away.
    void cancel();
    // The recorder ended the recording by itself.
    void systemStopped(const QString &reason);
    // Stops a running (or starting) recording and calls `done` once it and any
    // recording still finishing are filed in the history; at once when none
    // is. For quitting without losing the recording: a GIF being built is
    // given up and its video filed as a recording.
    void finishThen(std::function<void()> done);
    // Recording files a crash left in the temporary folder go into the
    // history when their first frame decodes, else they are removed. Checked
    // off the GUI thread; `done` (for tests) runs when all are dealt with.
    void adoptLeftovers(recordingLeftovers::Probe probe, std::function<void()> done = {});

    bool isRecording() const { return m_recording; }
    bool isStarting() const { return m_starting; }
    // GIFs being built from stopped recordings.
    int conversions() const { return int(m_conversions.size()); }
    // A recording whose sound would pick up Zorv's own event sounds runs (or
    // is about to).
    bool isCapturingSystemAudio() const { return (m_recording || m_starting) && m_systemAudio; }
    CaptureKind kind() const { return m_kind; }
    QSizeF pixelSize() const { return m_pixelSize; }
    QRectF recordingRect() const { return m_recordingRect; }
    RecordingHUD *hud() const { return m_hud.data(); }

    // "zorv-" + upper-case UUID + ".mp4": how the files of running recordings
    // are named, and how leftovers of a crash are recognised.
    static QString newOutputName();
    static bool isOutputName(const QString &fileName);

  Q_SIGNALS:
    void recordingChanged(bool recording);
    // A finished recording went to the history and the panel (for tests and
    // journeys); `historyPath` is empty when the history could not take it.
    void delivered(const QString &historyPath);

  private:
    struct Conversion;
    // `stoppedBecause`: why the system ended the recording, empty when the user did.
    void finish(bool discard, const QString &stoppedBecause = {});
    void convert(const QString &video, QSizeF pixelSize, const QString &stoppedBecause);
    void showProgress(const std::shared_ptr<Conversion> &conversion, bool due);
    void converted(const std::shared_ptr<Conversion> &conversion,
                   const Expected<QString, GIFFailure> &result, const QString &video,
                   QSizeF pixelSize, const QString &stoppedBecause);
    // `headline`: what the last toast says instead of the usual success text.
    // `video`: the one a GIF was made from, removed once the history holds the
    // GIF and filed instead when it cannot.
    void deliverFile(const QString &path, CaptureKind kind, QSizeF pixelSize,
                     const QString &stoppedBecause, const QString &headline = {},
                     const QString &video = {});
    void showDelivered(const std::optional<HistoryItem> &entry, const QString &stored,
                       CaptureKind kind, QSizeF pixelSize, const QString &stoppedBecause,
                       const QString &headline);
    void present(const std::optional<HistoryItem> &entry, const std::optional<QImage> &thumbnail,
                 CaptureKind kind, QSizeF pixelSize, const QString &stoppedBecause,
                 const QString &headline);
    void toast(const QString &message, const QString &symbol) const;
    // One finishing recording is filed (or thrown away).
    void finished();
    void releaseWaiters();
    QString temporaryDirectory() const;
    std::optional<RecordingScreen> screenFor(const QRectF &rect) const;
    void showControls(const QList<RecordingScreen> &screens, const RecordingScreen &screen);

    RecordingServices m_services;
    QPointer<RecordingHUD> m_hud;
    bool m_recording = false;
    bool m_starting = false;
    bool m_systemAudio = false;
    int m_finishing = 0; // recordings stopped and not yet filed
    std::vector<std::function<void()>> m_waiters;
    std::vector<std::shared_ptr<Conversion>> m_conversions;
    CaptureKind m_kind = CaptureKind::recording;
    QElapsedTimer m_startedAt;
    QSizeF m_pixelSize;
    QRectF m_recordingRect;
    QString m_outputPath;
};

} // namespace zorv
