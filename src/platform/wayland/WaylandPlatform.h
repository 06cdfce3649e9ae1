#pragma once

#include "common/Capabilities.h"
#include "common/Expected.h"
#include "platform/Platform.h"

#include <memory>
#include <optional>

namespace zorv::wayland
{

// Whether this session is a Wayland one: XDG_SESSION_TYPE says so, or only WAYLAND_DISPLAY
// is set.
bool isWaylandSession();
// What the Wayland backend can do on any portal desktop, known without asking the portal.
// The loaded backend settles what depends on this desktop's portals (global shortcuts).
PlatformCapabilities capabilities();
// Why this session cannot be served through the portals (no Wayland display); nullopt when
// it can. Qt's platform plugin is left to Qt: the portals serve either.
std::optional<QString> sessionProblem();
// The backend; asks the portals which interfaces they offer (bounded by a short timeout).
Expected<std::unique_ptr<Platform>, QString> makePlatform();

} // namespace zorv::wayland
