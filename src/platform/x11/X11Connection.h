#pragma once

#include <xcb/xcb.h>

namespace zorv::x11
{

// Qt's own connection to the X server; null when Qt does not run on xcb.
xcb_connection_t *connection();
xcb_window_t rootWindow();
int screenNumber();

} // namespace zorv::x11
