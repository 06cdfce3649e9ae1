#pragma once

#include "app/CaptureCoordinator.h"
#include "app/DeliveryPipeline.h"
#include "output/pins/PinWindowController.h"

namespace zorv::standardServices
{

// The application's real collaborators, wired here and nowhere else.
ToastFunction toast();
DeliveryServices delivery();
PinActions pinActions();
CoordinatorServices coordinator();

} // namespace zorv::standardServices
