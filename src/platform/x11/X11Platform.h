#pragma once

#include "platform/Platform.h"

#include <memory>

namespace zorv
{

// The X11 backend (any EWMH window manager). Fails with a clear message when
// no X display can be reached.
std::unique_ptr<Platform> makeX11Platform();

} // namespace zorv
