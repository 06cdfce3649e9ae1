#pragma once

#include "common/Capabilities.h"
#include "common/Expected.h"
#include "platform/Platform.h"

#include <memory>
#include <optional>

namespace zorv::x11
{

// What the X11 backend can do (any EWMH window manager).
PlatformCapabilities capabilities();
// Why this session cannot be served over X11 (no display, the display does not
// answer, Qt told to use another platform plugin); nullopt when it can. Makes
// Qt use its xcb plugin when the user chose none.
std::optional<QString> sessionProblem();
// The backend on Qt's X connection; the reason when Qt does not run on X11.
Expected<std::unique_ptr<Platform>, QString> makePlatform();

} // namespace zorv::x11
