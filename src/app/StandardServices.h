#pragma once

#include "app/CaptureCoordinator.h"
#include "app/DeliveryPipeline.h"
#include "app/WelcomeWindow.h"
#include "app/settingswindow/SettingsServices.h"
#include "app/tray/GlassMenuController.h"
#include "editor/ui/EditorActions.h"
#include "output/history/HistoryWindowController.h"
#include "output/pins/PinWindowController.h"
#include "output/quickaccess/QuickAccessPanelController.h"
#include "recording/RecordingController.h"

namespace zorv
{
class ShortcutRegistrar;
class SettingsWindowController;
} // namespace zorv

namespace zorv::standardServices
{

// The application's real collaborators, wired here and nowhere else.
ToastFunction toast();
DeliveryServices delivery();
PinActions pinActions();
CoordinatorServices coordinator();
SettingsServices settingsWindow(ShortcutRegistrar &shortcuts);
WelcomeServices welcome();
EditorActions editorActions();

// An editor window for the image, with the application's settings.
void openEditor(const QImage &image, CaptureKind kind, std::optional<QString> fileName,
                std::optional<QUuid> historyItemID);

// The running instance's settings window, once start-up has made it. The tray
// panel's "All Settings…" calls showSettingsWindow().
void setSettingsWindow(SettingsWindowController *controller);
void showSettingsWindow();
HistoryActions historyActions();

// Uploads an image to the user's server and copies the link (the editor's
// "Upload & Copy Link", the quick-access panel's "Link").
void upload(const QImage &image);

// Recognises the image's text off the GUI thread and shows the result window
// ("No text found" or the failure as a toast); with a history entry, keeps the
// text in it. The caller has already said that it is working; `finished` gets
// nullopt once the result is shown, or the failure.
void extractText(const QImage &image, std::optional<QUuid> historyItemID,
                 std::function<void(const std::optional<QString> &failure)> finished = {});

// The history window, made on first use, in front with the focus.
void showHistoryWindow();
// Opens an entry as a click in the history window does: pictures in the
// editor, recordings and GIFs with their default application.
void openHistoryItem(const HistoryItem &item);
// The tray panel's commands and what it reads.
GlassMenuActions glassMenuActions(CaptureCoordinator &coordinator);
GlassMenuServices glassMenuServices();

// The scrolling capture, grabbing through the platform's screens.
ScrollingCaptureController &scrollingCapture();

// The quick-access panel after captures, and what its tiles do.
QuickAccessActions quickAccessActions();
QuickAccessPanelController &quickAccess();

// The one recording controller and its engine, made on first use.
RecordingController &recording();
// Ends the instance; a recording that runs or is finishing is filed first.
void quit();

} // namespace zorv::standardServices
