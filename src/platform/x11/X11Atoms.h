#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <xcb/xcb.h>

#include <memory>

namespace zorv
{

// The atoms the screen backend reads, interned once in one round trip.
struct X11Atoms {
    xcb_atom_t utf8String = XCB_ATOM_NONE;
    xcb_atom_t clientList = XCB_ATOM_NONE;
    xcb_atom_t clientListStacking = XCB_ATOM_NONE;
    xcb_atom_t currentDesktop = XCB_ATOM_NONE;
    xcb_atom_t wmName = XCB_ATOM_NONE;
    xcb_atom_t wmPid = XCB_ATOM_NONE;
    xcb_atom_t wmDesktop = XCB_ATOM_NONE;
    xcb_atom_t wmState = XCB_ATOM_NONE;
    xcb_atom_t wmStateHidden = XCB_ATOM_NONE;
    xcb_atom_t wmWindowType = XCB_ATOM_NONE;
    xcb_atom_t typeNormal = XCB_ATOM_NONE;
    xcb_atom_t typeDialog = XCB_ATOM_NONE;
    xcb_atom_t typeUtility = XCB_ATOM_NONE;
    xcb_atom_t typeToolbar = XCB_ATOM_NONE;
    xcb_atom_t typeDesktop = XCB_ATOM_NONE;
    xcb_atom_t typeDock = XCB_ATOM_NONE;
    xcb_atom_t typeMenu = XCB_ATOM_NONE;
    xcb_atom_t typeDropdownMenu = XCB_ATOM_NONE;
    xcb_atom_t typePopupMenu = XCB_ATOM_NONE;
    xcb_atom_t typeCombo = XCB_ATOM_NONE;
    xcb_atom_t typeTooltip = XCB_ATOM_NONE;
    xcb_atom_t typeNotification = XCB_ATOM_NONE;
    xcb_atom_t typeSplash = XCB_ATOM_NONE;
    xcb_atom_t typeDnd = XCB_ATOM_NONE;
    xcb_atom_t frameExtents = XCB_ATOM_NONE;
    xcb_atom_t gtkFrameExtents = XCB_ATOM_NONE;
    xcb_atom_t rootPixmap = XCB_ATOM_NONE;

    static X11Atoms intern(xcb_connection_t *connection);
};

// Frees an xcb reply when it goes out of scope.
struct FreeDeleter {
    void operator()(void *p) const { free(p); }
};
template <typename T> using XcbReply = std::unique_ptr<T, FreeDeleter>;

// A property read as 32-bit values (CARDINAL, WINDOW, ATOM …); empty when absent.
QList<uint32_t> propertyValues(xcb_get_property_reply_t *reply);
// A property read as text: UTF8_STRING as UTF-8, anything else as Latin-1.
QString propertyText(xcb_get_property_reply_t *reply, xcb_atom_t utf8String);
// The name of an atom, or empty.
QByteArray atomName(xcb_connection_t *connection, xcb_atom_t atom);

} // namespace zorv
