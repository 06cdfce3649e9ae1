#include "app/CaptureCoordinator.h"

#include "app/StandardServices.h"
#include "capture/Permissions.h"
#include "capture/ScreenGeometry.h"
#include "common/Trace.h"
#include "platform/Platform.h"
#include "recording/RecordingController.h"
#include "settings/AppSettings.h"

#include <QApplication>
#include <QImageReader>
#include <QPointer>
#include <QTimer>

namespace zorv
{

namespace
{
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");

void report(const CommandFinished &finished, CommandResult result)
{
    if (finished)
        finished(result);
}
} // namespace

CaptureCoordinator &CaptureCoordinator::shared()
{
    static CaptureCoordinator *instance =
        new CaptureCoordinator(standardServices::coordinator(), qApp);
    return *instance;
}

CaptureCoordinator::CaptureCoordinator(CoordinatorServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_capture(m_services.platform->screens())
{
}

std::optional<QString> CaptureCoordinator::unavailableReason(CaptureAction action) const
{
    return captureAction::unavailableReason(action, m_services.platform->capabilities());
}

void CaptureCoordinator::perform(CaptureAction action, CommandFinished finished)
{
    if (const auto reason = unavailableReason(action)) {
        // Callers refuse these first; a stray one is reported, never faked.
        report(finished, {CommandResult::Status::failed, *reason, std::nullopt});
        return;
    }
    // A new capture replaces the panel of the last one, and must not show it.
    if (action != CaptureAction::pinLast && m_services.clearScreen && m_services.clearScreen()) {
        QTimer::singleShot(repaintDelayMs, this,
                           [this, action, finished = std::move(finished)]() mutable {
                               prepareAndStart(action, std::move(finished));
                           });
        return;
    }
    prepareAndStart(action, std::move(finished));
}

bool CaptureCoordinator::readsScreen(CaptureAction action) const
{
    switch (action) {
    case CaptureAction::pinLast:
        return false;
    case CaptureAction::recordVideo:
    case CaptureAction::recordGIF: {
        if (!m_services.recording)
            return true;
        // Stopping, or a start under way, shows no overlay.
        const RecordingController &recording = m_services.recording();
        return !recording.isRecording() && !recording.isStarting();
    }
    default:
        return true;
    }
}

void CaptureCoordinator::prepareAndStart(CaptureAction action, CommandFinished finished)
{
    if (!readsScreen(action)) {
        start(action, std::move(finished));
        return;
    }
    // Immediate where the screen is read directly; a portal's stream answers later.
    m_services.platform->prepareCapture(
        this, [this, action, finished = std::move(finished)](std::optional<QString> problem) {
            if (problem)
                fail(*problem, warningSymbol, finished);
            else
                start(action, finished);
        });
}

void CaptureCoordinator::start(CaptureAction action, CommandFinished finished)
{
    switch (action) {
    case CaptureAction::area:
        captureArea(std::move(finished));
        return;
    case CaptureAction::window:
        captureWindow(std::move(finished));
        return;
    case CaptureAction::fullScreen:
        captureFullScreen(std::move(finished));
        return;
    case CaptureAction::pinLast:
        pinLast(std::move(finished));
        return;
    case CaptureAction::ocr:
        captureOCR(std::move(finished));
        return;
    case CaptureAction::repeatLastArea:
        if (m_lastArea) {
            // No overlay and no permission gate: the area was granted before.
            QTimer::singleShot(0, this, [this, rect = *m_lastArea, finished = std::move(finished)] {
                capture(rect, CaptureKind::screenshot, finished);
            });
        } else {
            captureArea(std::move(finished));
        }
        return;
    case CaptureAction::scrolling:
        captureScrolling(std::move(finished));
        return;
    case CaptureAction::recordVideo:
        record(CaptureKind::recording, std::move(finished));
        return;
    case CaptureAction::recordGIF:
        record(CaptureKind::gif, std::move(finished));
        return;
    }
}

bool CaptureCoordinator::passPermissionGate(const CommandFinished &finished)
{
    Platform &platform = *m_services.platform;
    if (platform.screenCaptureGranted() || platform.requestScreenCapture())
        return true;
    fail(QStringLiteral("Allow Screen Recording, then try again"),
         QStringLiteral("lock.shield.fill"), finished);
    Permissions::open(Permissions::screenRecordingLink());
    return false;
}

void CaptureCoordinator::captureArea(CommandFinished finished)
{
    selectAndCapture(false, std::move(finished));
}

void CaptureCoordinator::captureWindow(CommandFinished finished)
{
    selectAndCapture(true, std::move(finished));
}

void CaptureCoordinator::select(SelectionMode mode, bool windowMode, CommandFinished finished,
                                Picked picked)
{
    if (!passPermissionGate(finished))
        return;
    QPointer<CaptureCoordinator> self(this);
    m_services.selectArea(
        mode, windowMode,
        [self, finished = std::move(finished),
         picked = std::move(picked)](std::optional<SelectionOutcome> outcome) {
            if (!self)
                return;
            if (!outcome) {
                report(finished, {CommandResult::Status::cancelled, {}, std::nullopt});
                return;
            }
            // The overlay is gone from the screen by the next turn.
            QTimer::singleShot(0, self.data(), [outcome = *outcome, finished, picked] {
                picked(outcome, finished);
            });
        });
}

void CaptureCoordinator::selectAndCapture(bool windowMode, CommandFinished finished)
{
    select(SelectionMode::screenshot, windowMode, std::move(finished),
           [this](const SelectionOutcome &outcome, const CommandFinished &finished) {
               if (outcome.isArea()) {
                   m_lastArea = outcome.areaRect();
                   capture(outcome.areaRect(), CaptureKind::screenshot, finished);
               } else {
                   capture(outcome.windowInfo(), finished);
               }
           });
}

void CaptureCoordinator::captureOCR(CommandFinished finished)
{
    // The last area stays that of the capture commands.
    select(SelectionMode::screenshot, false, std::move(finished),
           [this](const SelectionOutcome &outcome, const CommandFinished &finished) {
               recognize(outcome.isArea() ? m_capture.captureArea(outcome.areaRect())
                                          : m_capture.captureWindow(outcome.windowInfo()),
                         finished);
           });
}

void CaptureCoordinator::captureScrolling(CommandFinished finished)
{
    ScrollingCaptureController *scrolling = m_services.scrolling;
    if (!scrolling || scrolling->isCapturing()) {
        // One scrolling capture at a time; a second request is ignored.
        report(finished, {CommandResult::Status::cancelled, {}, std::nullopt});
        return;
    }
    select(SelectionMode::scrolling, false, std::move(finished),
           [this](const SelectionOutcome &outcome, const CommandFinished &finished) {
               QPointer<CaptureCoordinator> self(this);
               const auto ended = [self, finished](const ScrollingEnd &end) {
                   switch (end.status) {
                   case ScrollingEnd::Status::stitched:
                       if (self)
                           self->deliver(end.image, CaptureKind::scrolling, finished);
                       return;
                   case ScrollingEnd::Status::cancelled:
                       report(finished, {CommandResult::Status::cancelled, {}, std::nullopt});
                       return;
                   case ScrollingEnd::Status::failed:
                       report(finished, {CommandResult::Status::failed, end.message, std::nullopt});
                       return;
                   }
               };
               // A picked window means nothing here: scrolling captures take areas only.
               if (!outcome.isArea() || !m_services.scrolling->capture(outcome.areaRect(), ended))
                   report(finished, {CommandResult::Status::cancelled, {}, std::nullopt});
           });
}

void CaptureCoordinator::record(CaptureKind kind, CommandFinished finished)
{
    RecordingController &recording = m_services.recording();
    // The same command starts and stops: no gate and no overlay for a stop,
    // whatever kind of recording runs.
    if (recording.isRecording()) {
        QTimer::singleShot(0, &recording, [&recording] { recording.stop(); });
        report(finished, {});
        return;
    }
    // A start under way: an overlay now could only lead to an ignored start.
    if (recording.isStarting()) {
        report(finished, {CommandResult::Status::cancelled, {}, std::nullopt});
        return;
    }
    select(SelectionMode::recording, false, std::move(finished),
           [&recording, kind](const SelectionOutcome &outcome, const CommandFinished &finished) {
               // A window picked in the recording overlay is not recorded.
               if (!outcome.isArea()) {
                   report(finished, {CommandResult::Status::cancelled, {}, std::nullopt});
                   return;
               }
               recording.start(outcome.areaRect(), kind);
               report(finished, {});
           });
}

void CaptureCoordinator::recognize(const CaptureResult &image, const CommandFinished &finished)
{
    if (!image) {
        fail(image.error().description(), warningSymbol, finished);
        return;
    }
    m_services.toast(QStringLiteral("Recognizing Text…"), QStringLiteral("text.viewfinder"),
                     toastSeconds);
    // The caller hears of the recognition's end, not of its start; the user was
    // already told of a failure.
    m_services.extractText(image.value(), [finished](const std::optional<QString> &failure) {
        if (failure)
            report(finished, {CommandResult::Status::failed, *failure, std::nullopt});
        else
            report(finished, {});
    });
}

void CaptureCoordinator::capture(const QRectF &rect, CaptureKind kind, CommandFinished finished)
{
    deliverCapture(m_capture.captureArea(rect), kind, std::move(finished));
}

void CaptureCoordinator::capture(const WindowInfo &info, CommandFinished finished)
{
    deliverCapture(m_capture.captureWindow(info), CaptureKind::screenshot, std::move(finished));
}

void CaptureCoordinator::captureFullScreen(CommandFinished finished)
{
    if (!passPermissionGate(finished))
        return;
    deliverCapture(m_capture.captureScreen(ScreenGeometry::screenUnderMouse()),
                   CaptureKind::screenshot, std::move(finished));
}

void CaptureCoordinator::deliverCapture(const CaptureResult &image, CaptureKind kind,
                                        CommandFinished finished)
{
    Trace::mark("grab-done");
    if (!image) {
        fail(image.error().description(), warningSymbol, finished);
        return;
    }
    deliver(image.value(), kind, std::move(finished));
}

void CaptureCoordinator::pinLast(CommandFinished finished)
{
    QImage image;
    if (m_lastCaptureURL)
        image = QImageReader(m_lastCaptureURL->toLocalFile()).read();
    if (image.isNull()) {
        fail(QStringLiteral("Nothing captured yet"), QStringLiteral("pin.slash"), finished);
        return;
    }
    m_services.pin(image);
    report(finished, {});
}

void CaptureCoordinator::deliver(const QImage &image, CaptureKind kind, CommandFinished finished)
{
    QPointer<CaptureCoordinator> self(this);
    m_services.delivery->deliver(
        image, kind, [self, finished = std::move(finished)](const Delivery &delivery) {
            if (self) {
                const auto &item = delivery.historyItem;
                self->m_lastCaptureURL =
                    item ? std::optional<QUrl>(QUrl::fromLocalFile(item->filePath)) : std::nullopt;
                self->present(delivery);
                Q_EMIT self->deliveryFinished(item ? item->filePath : QString());
            }
            report(finished, {CommandResult::Status::done, {}, delivery});
        });
}

void CaptureCoordinator::present(const Delivery &delivery)
{
    Trace::mark("delivery-finished");
    const auto &item = delivery.historyItem;
    const std::optional<QUuid> id = item ? std::optional(item->id) : std::nullopt;
    const AppSettings &settings = *m_services.settings;
    // The editor wins over the panel: with both on, only the editor opens.
    if (settings.openEditorAfterCapture()) {
        if (m_services.hideQuickAccess)
            m_services.hideQuickAccess();
        // The editor names its document itself; the history keeps the raw capture.
        m_services.openEditor(delivery.image, delivery.kind, std::nullopt, id);
    } else if (settings.showQuickAccess() && m_services.showQuickAccess) {
        QuickAccessPayload payload;
        payload.image = delivery.image;
        payload.kind = delivery.kind;
        payload.historyID = id;
        payload.title = quickAccess::title(delivery.kind);
        payload.subtitle =
            QStringLiteral("%1 × %2").arg(delivery.image.width()).arg(delivery.image.height());
        m_services.showQuickAccess(std::move(payload));
    }
}

void CaptureCoordinator::fail(const QString &message, const QString &symbol,
                              const CommandFinished &finished)
{
    m_services.toast(message, symbol, toastSeconds);
    report(finished, {CommandResult::Status::failed, message, std::nullopt});
}

} // namespace zorv
