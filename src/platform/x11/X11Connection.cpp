#include "platform/x11/X11Connection.h"

#include <QGuiApplication>
#include <cstdlib>
#include <cstring>

namespace zorv::x11
{

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

int screenNumber()
{
    // Qt opens the display named by $DISPLAY; its default screen is the one we use.
    static const int number = [] {
        int screen = 0;
        const QByteArray display = qgetenv("DISPLAY");
        const int dot = display.lastIndexOf('.');
        const int colon = display.lastIndexOf(':');
        if (dot > colon && colon >= 0)
            screen = display.mid(dot + 1).toInt();
        return screen;
    }();
    return number;
}

xcb_window_t rootWindow()
{
    xcb_connection_t *c = connection();
    if (!c)
        return XCB_WINDOW_NONE;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber() && it.rem; ++i)
        xcb_screen_next(&it);
    return it.rem ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

} // namespace zorv::x11
