#pragma once

#include <xcb/xcb.h>

namespace zorv::x11
{

// Qt's own connection to the X server; null when Qt does not run on xcb.
xcb_connection_t *connection();
xcb_window_t rootWindow();
int screenNumber();
// True while a compositing manager owns _NET_WM_CM_Sn.
bool compositorRunning();
xcb_atom_t atom(const char *name);

} // namespace zorv::x11
