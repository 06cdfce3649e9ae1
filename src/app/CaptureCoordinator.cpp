#include "app/CaptureCoordinator.h"

#include "app/Toast.h"
#include "common/Trace.h"
#include "capture/Permissions.h"
#include "capture/ScreenCaptureService.h"
#include "capture/ScreenGeometry.h"
#include "capture/overlay/SelectionOverlayController.h"
#include "output/history/HistoryStore.h"
#include "output/encoding/ImageEncoder.h"
#include "output/Naming.h"
#include "output/OutputService.h"
#include "output/pins/PinWindowController.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"

#include <QApplication>
#include <QFuture>
#include <QGuiApplication>
#include <QImageReader>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QtConcurrent>

namespace zorv
{

namespace
{
const QString warningSymbol = QStringLiteral("exclamationmark.triangle.fill");
} // namespace

CoordinatorServices CoordinatorServices::standard()
{
    CoordinatorServices services;
    services.platform = &Platform::shared();
    services.settings = &AppSettings::shared();
    services.history = &HistoryStore::shared();
    services.toast = [](const QString &message, const QString &symbol, double seconds) {
        Toast::shared().show(message, symbol, seconds);
    };
    services.beep = &QApplication::beep;
    services.now = &QDateTime::currentDateTime;
    services.selectArea = [](SelectionMode mode, bool windowMode,
                             std::function<void(std::optional<SelectionOutcome>)> completion) {
        SelectionOverlayController::shared().begin(mode, windowMode, std::move(completion));
    };
    services.pin = [](const QImage &image) {
        PinActions actions;
        actions.copy = &OutputService::copy;
        actions.saveWithPanel = [](const QImage &image, const QString &suggestedName) {
            OutputService::shared().saveWithPanel(image, suggestedName);
        };
        actions.toast = [](const QString &message, const QString &symbol, double seconds) {
            Toast::shared().show(message, symbol, seconds);
        };
        actions.naming = [] {
            const AppSettings &settings = AppSettings::shared();
            return std::pair(settings.nameTemplate(), settings.imageFormat());
        };
        PinWindowController::pin(image, Platform::shared().windowSystem(), std::move(actions));
    };
    return services;
}

CaptureCoordinator &CaptureCoordinator::shared()
{
    static CaptureCoordinator *instance =
        new CaptureCoordinator(CoordinatorServices::standard(), qApp);
    return *instance;
}

CaptureCoordinator::CaptureCoordinator(CoordinatorServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_capture(m_services.platform->screens())
{
}

QList<CaptureAction> CaptureCoordinator::availableActions()
{
    return {CaptureAction::area, CaptureAction::window, CaptureAction::fullScreen,
            CaptureAction::pinLast, CaptureAction::repeatLastArea};
}

bool CaptureCoordinator::isAvailable(CaptureAction action)
{
    return availableActions().contains(action);
}

void CaptureCoordinator::perform(CaptureAction action)
{
    switch (action) {
    case CaptureAction::area:
        captureArea();
        return;
    case CaptureAction::window:
        captureWindow();
        return;
    case CaptureAction::fullScreen:
        captureFullScreen();
        return;
    case CaptureAction::pinLast:
        pinLast();
        return;
    case CaptureAction::repeatLastArea:
        if (m_lastArea) {
            // No overlay and no permission gate: the area was granted before.
            QTimer::singleShot(
                0, this, [this, rect = *m_lastArea] { capture(rect, CaptureKind::screenshot); });
        } else {
            captureArea();
        }
        return;
    default:
        // Refused earlier by the command line and never registered as a shortcut.
        return;
    }
}

bool CaptureCoordinator::passPermissionGate()
{
    Platform &platform = *m_services.platform;
    if (platform.screenCaptureGranted() || platform.requestScreenCapture())
        return true;
    m_services.toast(QStringLiteral("Allow Screen Recording, then try again"),
                     QStringLiteral("lock.shield.fill"), toastSeconds);
    Permissions::open(Permissions::screenRecordingLink());
    return false;
}

void CaptureCoordinator::captureArea()
{
    selectAndCapture(false);
}

void CaptureCoordinator::captureWindow()
{
    selectAndCapture(true);
}

void CaptureCoordinator::selectAndCapture(bool windowMode)
{
    if (!passPermissionGate())
        return;
    QPointer<CaptureCoordinator> self(this);
    m_services.selectArea(
        SelectionMode::screenshot, windowMode, [self](std::optional<SelectionOutcome> outcome) {
            if (!self || !outcome)
                return;
            if (outcome->isArea()) {
                self->m_lastArea = outcome->areaRect();
                QTimer::singleShot(0, self.data(), [self, rect = outcome->areaRect()] {
                    self->capture(rect, CaptureKind::screenshot);
                });
            } else {
                QTimer::singleShot(0, self.data(),
                                   [self, info = outcome->windowInfo()] { self->capture(info); });
            }
        });
}

void CaptureCoordinator::capture(const QRectF &rect, CaptureKind kind)
{
    const CaptureResult image = m_capture.captureArea(rect);
    if (!image) {
        showError(image.error().description());
        return;
    }
    deliver(image.value(), kind);
}

void CaptureCoordinator::capture(const WindowInfo &info)
{
    const CaptureResult image = m_capture.captureWindow(info);
    if (!image) {
        showError(image.error().description());
        return;
    }
    deliver(image.value(), CaptureKind::screenshot);
}

void CaptureCoordinator::pinLast()
{
    QImage image;
    if (m_lastCaptureURL) {
        QImageReader reader(m_lastCaptureURL->toLocalFile());
        image = reader.read();
    }
    if (image.isNull()) {
        m_services.toast(QStringLiteral("Nothing captured yet"), QStringLiteral("pin.slash"),
                         toastSeconds);
        return;
    }
    m_services.pin(image);
}

void CaptureCoordinator::captureFullScreen()
{
    if (!passPermissionGate())
        return;
    const CaptureResult image = m_capture.captureScreen(ScreenGeometry::screenUnderMouse());
    if (!image) {
        showError(image.error().description());
        return;
    }
    deliver(image.value(), CaptureKind::screenshot);
}

void CaptureCoordinator::deliver(const QImage &image, CaptureKind kind)
{
    AppSettings &settings = *m_services.settings;
    if (settings.copyToClipboard()) {
        OutputService::copy(image);
        Trace::mark("clipboard-set");
    }
    if (settings.playSound() && !m_services.platform->sound().playCaptureSound())
        m_services.beep();

    const ImageFormat format = settings.imageFormat();
    const double quality = settings.jpegQuality();
    const QString fileName = Naming::fileName(settings.nameTemplate(), m_services.now(),
                                              imageFormat::fileExtension(format));
    QtConcurrent::run([image, format, quality] {
        return ImageEncoder::encode(image, format, quality);
    }).then(this, [this, image, kind, fileName](std::optional<QByteArray> data) {
        finishDelivery(image, kind, fileName, data);
    });
}

void CaptureCoordinator::finishDelivery(const QImage &image, CaptureKind kind,
                                        const QString &fileName,
                                        const std::optional<QByteArray> &data)
{
    AppSettings &settings = *m_services.settings;
    if (data && data->startsWith("\x89PNG") && settings.copyToClipboard())
        OutputService::offerClipboardPng(image, *data);
    const FileResult<HistoryItem> item =
        m_services.history->recordImage(image, data, kind, fileName);
    m_lastCaptureURL =
        item ? std::optional<QUrl>(QUrl::fromLocalFile(item.value().filePath)) : std::nullopt;
    Trace::mark("history-written");

    if (settings.saveScreenshotsAutomatically()) {
        const auto saved = OutputService(settings).save(image, data, fileName);
        if (!saved)
            m_services.toast(QStringLiteral("Couldn't save: ") + saved.error().description(),
                             warningSymbol, toastSeconds);
    }
    Q_EMIT deliveryFinished(item ? item.value().filePath : QString());
}

void CaptureCoordinator::showError(const QString &description)
{
    m_services.toast(description, warningSymbol, toastSeconds);
}

} // namespace zorv
