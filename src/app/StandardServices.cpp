#include "app/StandardServices.h"

#include "app/Toast.h"
#include "capture/overlay/SelectionOverlayController.h"
#include "output/OutputService.h"
#include "output/history/HistoryStore.h"
#include "platform/Platform.h"
#include "settings/AppSettings.h"

#include <QApplication>

namespace zorv::standardServices
{

ToastFunction toast()
{
    return [](const QString &message, const QString &symbol, double seconds) {
        Toast::shared().show(message, symbol, seconds);
    };
}

DeliveryServices delivery()
{
    DeliveryServices services;
    services.settings = &AppSettings::shared();
    services.history = &HistoryStore::shared;
    services.sound = &Platform::shared().sound();
    services.copy = &OutputService::copy;
    services.offerPng = &OutputService::offerClipboardPng;
    services.beep = &QApplication::beep;
    services.toast = toast();
    services.now = &QDateTime::currentDateTime;
    return services;
}

PinActions pinActions()
{
    PinActions actions;
    actions.copy = &OutputService::copy;
    actions.saveWithPanel = [](const QImage &image, const QString &suggestedName) {
        OutputService::shared().saveWithPanel(image, suggestedName);
    };
    actions.toast = toast();
    actions.naming = [] {
        const AppSettings &settings = AppSettings::shared();
        return std::pair(settings.nameTemplate(), settings.imageFormat());
    };
    return actions;
}

CoordinatorServices coordinator()
{
    static auto *pipeline = new DeliveryPipeline(delivery(), qApp);
    CoordinatorServices services;
    services.platform = &Platform::shared();
    services.delivery = pipeline;
    services.toast = toast();
    services.selectArea = [](SelectionMode mode, bool windowMode,
                             std::function<void(std::optional<SelectionOutcome>)> completion) {
        SelectionOverlayController::shared().begin(mode, windowMode, std::move(completion));
    };
    services.pin = [](const QImage &image) {
        PinWindowController::pin(image, Platform::shared().windowSystem(), pinActions());
    };
    return services;
}

GlassMenuActions glassMenuActions(CaptureCoordinator &coordinator)
{
    GlassMenuActions actions;
    actions.perform = [&coordinator](CaptureAction action) { coordinator.perform(action); };
    actions.requestScreenAccess = [] { Platform::shared().requestScreenCapture(); };
    actions.quit = [] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    return actions;
}

GlassMenuServices glassMenuServices()
{
    GlassMenuServices services;
    services.settings = &AppSettings::shared();
    services.windows = &Platform::shared().windowSystem();
    services.capabilities = Platform::shared().capabilities();
    services.screenAccessGranted = [] { return Platform::shared().screenCaptureGranted(); };
    services.history = [] { return HistoryStore::shared().items(); };
    services.thumbnail = [](const HistoryItem &item) {
        return HistoryStore::shared().thumbnail(item, 200);
    };
    return services;
}

} // namespace zorv::standardServices
