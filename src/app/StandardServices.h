#pragma once

#include "app/CaptureCoordinator.h"
#include "app/DeliveryPipeline.h"
#include "app/tray/GlassMenuController.h"
#include "output/pins/PinWindowController.h"

namespace zorv::standardServices
{

// The application's real collaborators, wired here and nowhere else.
ToastFunction toast();
DeliveryServices delivery();
PinActions pinActions();
CoordinatorServices coordinator();
// The panel's commands; the history and settings windows are not wired yet.
GlassMenuActions glassMenuActions(CaptureCoordinator &coordinator);
GlassMenuServices glassMenuServices();

} // namespace zorv::standardServices
