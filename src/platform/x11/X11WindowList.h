#pragma once

#include "platform/x11/X11Atoms.h"

#include <QList>
#include <QMargins>
#include <QRect>
#include <QSet>
#include <QString>
#include <xcb/xcb.h>

namespace zorv
{

// A managed client window as the window manager describes it, in X pixels.
struct X11Client {
    xcb_window_t id = 0;
    QRect frame;     // including the window manager's frame, without client-side shadows
    QMargins shadow; // client-side shadow margins around `frame` (_GTK_FRAME_EXTENTS)
    QString title;
    QString appName;
    int32_t pid = 0;
    int layer = 0;
    bool onScreen = true;
};

// Reads the window manager's client list (EWMH) and the top-level tree.
class X11WindowList
{
  public:
    // Layers given to windows that are not plain application windows.
    enum Layer : int {
        normalLayer = 0,
        desktopLayer = -1000,
        dockLayer = 20,
        menuLayer = 24,
        notificationLayer = 25,
        splashLayer = 30,
        tooltipLayer = 100,
    };

    X11WindowList(xcb_connection_t *connection, xcb_window_t root, const X11Atoms &atoms);

    // Every client in the window manager's mapping order.
    QList<X11Client> clients() const;
    // Client ids, front-most first.
    QList<uint32_t> stackingOrder() const;
    // The child of the root that holds `window` (its frame when managed), or 0.
    xcb_window_t topLevelOf(xcb_window_t window) const;
    // The root children that hold the given windows or any client of process `pid`.
    QSet<xcb_window_t> topLevelsOf(const QList<xcb_window_t> &windows, int32_t pid) const;
    // The client-side shadow margins of a window.
    QMargins shadowMargins(xcb_window_t window) const;

  private:
    QList<uint32_t> rootWindows(xcb_atom_t property) const;
    int layerFor(const QList<uint32_t> &types) const;

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    X11Atoms m_atoms;
};

} // namespace zorv
