#pragma once

#include "app/DeliveryPipeline.h"
#include "app/EditorLaunch.h"
#include "capture/ScreenCaptureService.h"
#include "capture/overlay/SelectionOverlayTypes.h"
#include "capture/scrolling/ScrollingCaptureController.h"
#include "common/CaptureAction.h"
#include "output/quickaccess/QuickAccessPayload.h"

#include <QImage>
#include <QObject>
#include <QRectF>
#include <QUrl>
#include <functional>
#include <optional>

namespace zorv
{

class AppSettings;
class Platform;
class RecordingController;

// Everything the coordinator works with, injectable for tests.
struct CoordinatorServices {
    Platform *platform = nullptr; // the screens to capture and the permission to do so
    AppSettings *settings = nullptr;
    DeliveryPipeline *delivery = nullptr;
    ToastFunction toast;
    // The selection overlay and pins, replaceable so that tests need no windows.
    std::function<void(SelectionMode, bool windowMode,
                       std::function<void(std::optional<SelectionOutcome>)>)>
        selectArea;
    std::function<void(const QImage &)> pin;
    OpenEditorFunction openEditor;
    // The panel after a capture, when the editor does not open instead.
    std::function<void(QuickAccessPayload)> showQuickAccess;
    std::function<void()> hideQuickAccess;
    // Takes Zorv's own windows that would show in a capture (a quick-access
    // panel) off the screen; true when the pixels beneath need a moment to be
    // painted again (no compositor).
    std::function<bool()> clearScreen;
    // Recognises the image's text and shows it; the caller has said it is working.
    // `finished` gets nullopt once the result is shown, or the failure as told.
    std::function<void(const QImage &,
                       std::function<void(const std::optional<QString> &failure)> finished)>
        extractText;
    // Grabs a region while the user scrolls it and stitches the grabs.
    ScrollingCaptureController *scrolling = nullptr;
    // The one recording controller, made on first use.
    std::function<RecordingController &()> recording;
};

// How one command ended, for a caller that waits for it (the command line's
// --output). Captures end when their delivery has finished.
struct CommandResult {
    enum class Status { done, cancelled, failed };
    Status status = Status::done;
    QString message; // why it failed, as the user was told
    std::optional<Delivery> delivery;
};
using CommandFinished = std::function<void(const CommandResult &)>;

// Turns every capture command into a capture and hands every still image to
// the delivery pipeline.
class CaptureCoordinator : public QObject
{
    Q_OBJECT
  public:
    static constexpr double toastSeconds = 1.9;
    // How long a capture waits for the windows beneath a panel it took away.
    static constexpr int repaintDelayMs = 120;

    static CaptureCoordinator &shared();
    explicit CaptureCoordinator(CoordinatorServices services, QObject *parent = nullptr);

    // Why the action cannot run here (not built yet, or the platform cannot do
    // it); nullopt when it can.
    std::optional<QString> unavailableReason(CaptureAction action) const;

    void perform(CaptureAction action, CommandFinished finished = {});
    void captureArea(CommandFinished finished = {});
    void captureWindow(CommandFinished finished = {});
    void captureFullScreen(CommandFinished finished = {});
    // An area or window picked with the overlay, its text recognised.
    void captureOCR(CommandFinished finished = {});
    // A region picked with the overlay, grabbed while the user scrolls it; the
    // command ends when the stitched page has been delivered.
    void captureScrolling(CommandFinished finished = {});
    void pinLast(CommandFinished finished = {});
    // Starts a recording of a chosen area, or stops the one that runs.
    void record(CaptureKind kind, CommandFinished finished = {});
    void deliver(const QImage &image, CaptureKind kind, CommandFinished finished = {});

    std::optional<QUrl> lastCaptureURL() const { return m_lastCaptureURL; }
    std::optional<QRectF> lastArea() const { return m_lastArea; }

  Q_SIGNALS:
    // The end of one delivery (after the history copy and the automatic save).
    void deliveryFinished(const QString &historyPath);

  private:
    // Whether the action reads the screen's pixels (a capture, or an overlay to pick from).
    bool readsScreen(CaptureAction action) const;
    // Has the platform make the screens' pixels ready, then starts the action.
    void prepareAndStart(CaptureAction action, CommandFinished finished);
    void start(CaptureAction action, CommandFinished finished);
    bool passPermissionGate(const CommandFinished &finished);
    // Runs the overlay; `picked` gets the choice once the overlay has left the
    // screen, a cancel is reported here.
    using Picked = std::function<void(const SelectionOutcome &, const CommandFinished &)>;
    void select(SelectionMode mode, bool windowMode, CommandFinished finished, Picked picked);
    void selectAndCapture(bool windowMode, CommandFinished finished);
    void capture(const QRectF &rect, CaptureKind kind, CommandFinished finished);
    void capture(const WindowInfo &info, CommandFinished finished);
    void deliverCapture(const CaptureResult &image, CaptureKind kind, CommandFinished finished);
    // The editor or the quick-access panel, as the settings ask.
    void present(const Delivery &delivery);
    void recognize(const CaptureResult &image, const CommandFinished &finished);
    void fail(const QString &message, const QString &symbol, const CommandFinished &finished);

    CoordinatorServices m_services;
    ScreenCaptureService m_capture;
    std::optional<QUrl> m_lastCaptureURL;
    std::optional<QRectF> m_lastArea;
};

} // namespace zorv
