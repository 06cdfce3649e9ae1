#include "app/StandardServices.h"

#include "app/EditorLaunch.h"
#include "app/MemoryTuning.h"
#include "app/ShortcutRegistrar.h"
#include "app/Toast.h"
#include "app/settingswindow/SettingsWindow.h"
#include "capture/ScreenCaptureService.h"
#include "capture/overlay/SelectionOverlayController.h"
#include "capture/scrolling/ScrollingCaptureController.h"
#include "editor/ui/EditorWindowController.h"
#include "output/OutputService.h"
#include "output/history/HistoryItemOpener.h"
#include "output/history/HistoryStore.h"
#include "output/ocr/OCRService.h"
#include "output/ocr/OCRWindowController.h"
#include "output/upload/UploadService.h"
#include "platform/DesktopFileBrowser.h"
#include "platform/Platform.h"
#include "recording/RecordingEngine.h"
#include "recording/VideoThumbnail.h"
#include "recording/gif/GIFEncoder.h"
#include "settings/AppSettings.h"

#include <QApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace zorv::standardServices
{

namespace
{
DesktopFileBrowser &fileBrowser()
{
    static DesktopFileBrowser browser;
    return browser;
}

HistoryItemOpener &historyOpener()
{
    static HistoryItemOpener opener(fileBrowser(), [](const HistoryItem &item) {
        openHistoryImage(item, qApp, &openEditor, toast());
    });
    return opener;
}

RecordingController *recordingController = nullptr; // once made

// Zorv's sounds play through the default output, whose monitor a recording of
// the system's sound records: while such a recording runs they stay silent
// (and so does the beep that would replace them).
class EventSounds : public SoundPlayer
{
  public:
    bool playCaptureSound() override
    {
        if (recordingController && recordingController->isCapturingSystemAudio())
            return true;
        return Platform::shared().sound().playCaptureSound();
    }
};

EventSounds &eventSounds()
{
    static EventSounds sounds;
    return sounds;
}

void pinImage(const QImage &image)
{
    PinWindowController::pin(image, Platform::shared().windowSystem(), pinActions());
}

// The history window and the quick-access panel say that recognition started;
// the editor and the command say it themselves.
void recognizeAnnounced(const QImage &image)
{
    toast()(QStringLiteral("Recognizing Text…"), QStringLiteral("text.viewfinder"), 1.9);
    extractText(image, std::nullopt);
}
} // namespace

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
    services.sound = &eventSounds();
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
    services.settings = &AppSettings::shared();
    services.delivery = pipeline;
    services.toast = toast();
    services.selectArea = [](SelectionMode mode, bool windowMode,
                             std::function<void(std::optional<SelectionOutcome>)> completion) {
        SelectionOverlayController::shared().begin(mode, windowMode, std::move(completion));
    };
    services.pin = &pinImage;
    services.openEditor = &openEditor;
    services.showQuickAccess = [](QuickAccessPayload payload) {
        quickAccess().show(std::move(payload));
    };
    services.hideQuickAccess = [] { quickAccess().hide(); };
    services.clearScreen = [] {
        if (!quickAccess().panel())
            return false;
        quickAccess().hide();
        return !Platform::shared().windowSystem().compositingActive();
    };
    services.extractText = [](const QImage &image,
                              std::function<void(const std::optional<QString> &)> finished) {
        extractText(image, std::nullopt, std::move(finished));
    };
    services.scrolling = &scrollingCapture();
    services.recording = &recording;
    return services;
}

ScrollingCaptureController &scrollingCapture()
{
    static auto *controller = [] {
        ScrollingCaptureServices services;
        // On the GUI thread: a region grab takes a few milliseconds, once the platform has the
        // screen's latest pixels (at once where it reads them directly).
        services.grab = [](const QRectF &rect, const ScrollingCaptureServices::GrabDone &done) {
            Platform::shared().prepareCapture(qApp, [rect, done](std::optional<QString> problem) {
                static ScreenCaptureService capture(Platform::shared().screens());
                if (problem)
                    done(CaptureError(CaptureError::Code::platform, *problem));
                else
                    done(capture.captureArea(rect));
            });
        };
        services.toast = toast();
        services.windowSystem = &Platform::shared().windowSystem();
        services.hotKeys = &Platform::shared().hotKeys();
        return new ScrollingCaptureController(std::move(services), qApp);
    }();
    return *controller;
}

namespace
{
QPointer<SettingsWindowController> settingsController;
} // namespace

SettingsServices settingsWindow(ShortcutRegistrar &shortcuts)
{
    SettingsServices services;
    services.settings = &AppSettings::shared();
    services.capabilities = Platform::shared().capabilities();
    services.screenCaptureGranted = [] { return Platform::shared().screenCaptureGranted(); };
    services.audio = &Platform::shared().audioSources();
    services.suspendShortcuts = [&shortcuts] { shortcuts.suspend(); };
    services.resumeShortcuts = [&shortcuts] { shortcuts.resume(); };
    services.probeShortcut = [&shortcuts](const KeyCombo &combo) { return shortcuts.probe(combo); };
    services.historyFolder = [] { return HistoryStore::shared().root(); };
    services.historyCount = [] { return int(HistoryStore::shared().items().size()); };
    services.clearHistory = [] { HistoryStore::shared().removeAll(); };
    services.revealFolder = [](const QString &folder) { fileBrowser().open(folder); };
    return services;
}

WelcomeServices welcome()
{
    WelcomeServices services;
    services.settings = &AppSettings::shared();
    services.screenCaptureGranted = [] { return Platform::shared().screenCaptureGranted(); };
    services.unavailableReason =
        QStringLiteral("This desktop does not let Zorv read the screen. Log in to an X11 "
                       "session to capture.");
    if (settingsController)
        services.openSettings = [] { showSettingsWindow(); };
    return services;
}

EditorActions editorActions()
{
    EditorActions actions;
    actions.toast = toast();
    actions.copy = &OutputService::copy;
    actions.pin = &pinImage;
    actions.playSaveSound = [] { eventSounds().playCaptureSound(); };
    actions.reveal = [](const QString &filePath) { fileBrowser().reveal(filePath); };
    actions.openFolder = [](const QString &folder) { fileBrowser().open(folder); };
    actions.saveWithPanel = [](const QImage &image, const QString &suggestedName,
                               std::function<void(std::optional<QString>)> completion) {
        OutputService::shared().saveWithPanel(image, suggestedName, std::move(completion));
    };
    actions.upload = &upload;
    actions.extractText = [](const QImage &image, std::optional<QUuid> historyItemID) {
        extractText(image, historyItemID);
    };
    return actions;
}

void openEditor(const QImage &image, CaptureKind kind, std::optional<QString> fileName,
                std::optional<QUuid> historyItemID)
{
    EditorWindowController::open(image, kind, std::move(fileName), historyItemID,
                                 AppSettings::shared(), editorActions());
}

void setSettingsWindow(SettingsWindowController *controller)
{
    settingsController = controller;
}

void showSettingsWindow()
{
    if (settingsController)
        settingsController->open(SettingsTab::general);
}

HistoryActions historyActions()
{
    HistoryActions actions;
    actions.open = &openHistoryItem;
    actions.reveal = [](const QString &path) { fileBrowser().reveal(path); };
    actions.copyImage = &OutputService::copy;
    actions.copyText = [](const QString &text) { Platform::shared().clipboard().setText(text); };
    actions.pin = &pinImage;
    actions.extractText = &recognizeAnnounced;
    actions.toast = toast();
    actions.releaseMemory = &memoryTuning::releaseFreeMemory;
    return actions;
}

void upload(const QImage &image)
{
    static UploadService *service = nullptr;
    if (!service) {
        UploadServices services;
        services.settings = &AppSettings::shared();
        services.toast = toast();
        services.copyText = [](const QString &text) {
            Platform::shared().clipboard().setText(text);
        };
        services.openSettings = [] {
            if (settingsController)
                settingsController->open(SettingsTab::upload);
        };
        services.makeTransport = [] { return loadUploadTransport(); };
        service = new UploadService(std::move(services));
        // Its network part goes while the event loop still runs, before the application object.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                         [] { delete std::exchange(service, nullptr); });
    }
    service->upload(image);
}

void extractText(const QImage &image, std::optional<QUuid> historyItemID,
                 std::function<void(const std::optional<QString> &failure)> finished)
{
    OCRService::recognize(
        image, {}, qApp, [image, historyItemID, finished](const OCROutcome &outcome) {
            if (!outcome) {
                toast()(outcome.error().description,
                        QStringLiteral("exclamationmark.triangle.fill"), 1.9);
                if (finished)
                    finished(outcome.error().description);
                return;
            }
            const OCRResult &result = outcome.value();
            OCRWindowController::present(result, image);
            if (result.lines.isEmpty())
                toast()(QStringLiteral("No text found"), QStringLiteral("text.viewfinder"), 1.9);
            if (historyItemID)
                HistoryStore::shared().updateOCR(*historyItemID, result.text());
            if (finished)
                finished(std::nullopt);
        });
}

void showHistoryWindow()
{
    static HistoryWindowController *controller = nullptr;
    if (!controller) {
        controller = new HistoryWindowController(HistoryStore::shared(), historyActions());
        // Gone while the event loop's timers still work, before the application object.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                         [] { delete std::exchange(controller, nullptr); });
    }
    controller->show();
}

void openHistoryItem(const HistoryItem &item)
{
    if (historyOpener().open(item))
        return;
    const QString why = QFileInfo(item.filePath).isFile()
                            ? QStringLiteral("no application opens this kind of file")
                            : QStringLiteral("the file is no longer there");
    toast()(QStringLiteral("Couldn't open %1: %2").arg(item.fileName, why),
            QStringLiteral("exclamationmark.triangle.fill"), 2.5);
}

GlassMenuActions glassMenuActions(CaptureCoordinator &coordinator)
{
    GlassMenuActions actions;
    actions.perform = [&coordinator](CaptureAction action) { coordinator.perform(action); };
    actions.openRecent = &openHistoryItem;
    actions.showHistory = &showHistoryWindow;
    actions.openSettings = &showSettingsWindow;
    actions.requestScreenAccess = [] { Platform::shared().requestScreenCapture(); };
    actions.quit = &quit;
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

namespace
{
std::optional<HistoryItem> historyItem(const QUuid &id)
{
    for (const HistoryItem &item : HistoryStore::shared().items())
        if (item.id == id)
            return item;
    return std::nullopt;
}
} // namespace

QuickAccessActions quickAccessActions()
{
    QuickAccessActions actions;
    actions.openEditor = [](const QImage &image, CaptureKind kind, std::optional<QUuid> id) {
        openEditor(image, kind, std::nullopt, id);
    };
    actions.copyImage = &OutputService::copy;
    actions.copyFile = [](const QString &path) {
        auto *data = new QMimeData;
        const QUrl url = QUrl::fromLocalFile(path);
        data->setUrls({url});
        // What GNOME's and KDE's file managers paste as a copied file.
        data->setData(QStringLiteral("x-special/gnome-copied-files"), "copy\n" + url.toEncoded());
        Platform::shared().clipboard().setMimeData(data);
    };
    actions.saveWithPanel = [](const QImage &image, const QString &suggestedName,
                               std::function<void(std::optional<QString>)> completion) {
        OutputService::shared().saveWithPanel(image, suggestedName, std::move(completion));
    };
    actions.pin = &pinImage;
    actions.upload = &upload;
    // The panel's text stays out of the history entry, unlike the editor's.
    actions.extractText = [](const QImage &image, std::optional<QUuid>) {
        recognizeAnnounced(image);
    };
    actions.reveal = [](const QString &path) { fileBrowser().reveal(path); };
    actions.openFile = [](const QString &path) { fileBrowser().open(path); };
    actions.removeHistoryEntry = [](const QUuid &id) {
        const auto item = historyItem(id);
        if (item)
            HistoryStore::shared().remove(*item);
        return item.has_value();
    };
    actions.historyFile = [](const QUuid &id) -> std::optional<QString> {
        const auto item = historyItem(id);
        return item ? std::optional(item->filePath) : std::nullopt;
    };
    actions.toast = toast();
    actions.naming = [] {
        const AppSettings &settings = AppSettings::shared();
        return std::pair(settings.nameTemplate(), settings.imageFormat());
    };
    return actions;
}

QuickAccessPanelController &quickAccess()
{
    static auto *controller = new QuickAccessPanelController(
        AppSettings::shared(), Platform::shared().windowSystem(), quickAccessActions(), {}, qApp);
    return *controller;
}

RecordingController &recording()
{
    if (recordingController)
        return *recordingController;
    auto *engine = new RecordingEngine(Platform::shared().recordingSources(),
                                       Platform::shared().screens(), qApp);
    RecordingServices services;
    services.recorder = engine;
    services.settings = &AppSettings::shared();
    services.windows = &Platform::shared().windowSystem();
    services.clickCapture = Platform::shared().capabilities().clickCapture;
    services.screens = [] {
        QList<RecordingScreen> screens;
        for (const QScreen *screen : QGuiApplication::screens())
            screens.append({QRectF(screen->geometry()), QRectF(screen->availableGeometry()),
                            screen->devicePixelRatio()});
        return screens;
    };
    services.pointer = [] { return Platform::shared().windowSystem().pointerOrScreenCentre(); };
    services.toast = toast();
    services.recordFile = [](const QString &path, CaptureKind kind, const QString &fileName,
                             QSizeF pixelSize) {
        return HistoryStore::shared().recordFileAsync(path, kind, fileName, pixelSize);
    };
    services.showQuickAccess = [](QuickAccessPayload payload) {
        quickAccess().show(std::move(payload));
    };
    services.playSound = [] { return eventSounds().playCaptureSound(); };
    services.beep = &QApplication::beep;
    services.thumbnail = &VideoThumbnail::make;
    services.now = &QDateTime::currentDateTime;
    services.makeGIF = &GIFEncoder::makeGIF;
    services.progressToast = [](const QString &message, const QString &symbol, double fraction,
                                std::function<void()> cancel) {
        Toast::shared().showProgress(message, symbol, fraction, std::move(cancel));
    };
    services.closeProgressToast = [] { Toast::shared().closeProgress(); };
    recordingController = new RecordingController(std::move(services), qApp);
    // The controller goes first: its control window and pending answers name the engine.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, qApp,
                     [] { delete std::exchange(recordingController, nullptr); });
    return *recordingController;
}

void quit()
{
    const auto now = [] {
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    };
    if (!recordingController)
        return now();
    // A delivery that never completes must not keep Zorv from ending; the
    // file then stays in the temporary folder, adopted at the next start.
    QTimer::singleShot(std::chrono::seconds(30), qApp, now);
    recordingController->finishThen(now);
}

} // namespace zorv::standardServices
