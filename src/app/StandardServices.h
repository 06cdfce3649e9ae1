#pragma once

#include "app/CaptureCoordinator.h"
#include "app/DeliveryPipeline.h"
#include "output/history/HistoryWindowController.h"
#include "output/pins/PinWindowController.h"

namespace zorv::standardServices
{

// The application's real collaborators, wired here and nowhere else.
ToastFunction toast();
DeliveryServices delivery();
PinActions pinActions();
CoordinatorServices coordinator();
HistoryActions historyActions();

// The history window, made on first use, in front with the focus.
void showHistoryWindow();
// Opens an entry as a click in the history window does.
void openHistoryItem(const HistoryItem &item);

} // namespace zorv::standardServices
