#include "platform/x11/X11Atoms.h"

#include <cstring>
#include <utility>

namespace zorv
{

X11Atoms X11Atoms::intern(xcb_connection_t *connection)
{
    X11Atoms atoms;
    const std::pair<const char *, xcb_atom_t *> table[] = {
        {"UTF8_STRING", &atoms.utf8String},
        {"_NET_CLIENT_LIST", &atoms.clientList},
        {"_NET_CLIENT_LIST_STACKING", &atoms.clientListStacking},
        {"_NET_CURRENT_DESKTOP", &atoms.currentDesktop},
        {"_NET_WM_NAME", &atoms.wmName},
        {"_NET_WM_PID", &atoms.wmPid},
        {"_NET_WM_DESKTOP", &atoms.wmDesktop},
        {"_NET_WM_STATE", &atoms.wmState},
        {"_NET_WM_STATE_HIDDEN", &atoms.wmStateHidden},
        {"_NET_WM_WINDOW_TYPE", &atoms.wmWindowType},
        {"_NET_WM_WINDOW_TYPE_NORMAL", &atoms.typeNormal},
        {"_NET_WM_WINDOW_TYPE_DIALOG", &atoms.typeDialog},
        {"_NET_WM_WINDOW_TYPE_UTILITY", &atoms.typeUtility},
        {"_NET_WM_WINDOW_TYPE_TOOLBAR", &atoms.typeToolbar},
        {"_NET_WM_WINDOW_TYPE_DESKTOP", &atoms.typeDesktop},
        {"_NET_WM_WINDOW_TYPE_DOCK", &atoms.typeDock},
        {"_NET_WM_WINDOW_TYPE_MENU", &atoms.typeMenu},
        {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", &atoms.typeDropdownMenu},
        {"_NET_WM_WINDOW_TYPE_POPUP_MENU", &atoms.typePopupMenu},
        {"_NET_WM_WINDOW_TYPE_COMBO", &atoms.typeCombo},
        {"_NET_WM_WINDOW_TYPE_TOOLTIP", &atoms.typeTooltip},
        {"_NET_WM_WINDOW_TYPE_NOTIFICATION", &atoms.typeNotification},
        {"_NET_WM_WINDOW_TYPE_SPLASH", &atoms.typeSplash},
        {"_NET_WM_WINDOW_TYPE_DND", &atoms.typeDnd},
        {"_NET_FRAME_EXTENTS", &atoms.frameExtents},
        {"_GTK_FRAME_EXTENTS", &atoms.gtkFrameExtents},
        {"_XROOTPMAP_ID", &atoms.rootPixmap},
    };
    QList<xcb_intern_atom_cookie_t> cookies;
    for (const auto &[name, slot] : table)
        cookies.append(xcb_intern_atom(connection, 0, uint16_t(strlen(name)), name));
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        XcbReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(connection, cookies[i], nullptr));
        if (reply)
            *table[i].second = reply->atom;
    }
    return atoms;
}

QList<uint32_t> propertyValues(xcb_get_property_reply_t *reply)
{
    QList<uint32_t> values;
    if (!reply || reply->format != 32)
        return values;
    const auto *data = static_cast<const uint32_t *>(xcb_get_property_value(reply));
    const int count = xcb_get_property_value_length(reply) / 4;
    values.reserve(count);
    for (int i = 0; i < count; ++i)
        values.append(data[i]);
    return values;
}

QString propertyText(xcb_get_property_reply_t *reply, xcb_atom_t utf8String)
{
    if (!reply || reply->format != 8)
        return {};
    const auto *data = static_cast<const char *>(xcb_get_property_value(reply));
    int length = xcb_get_property_value_length(reply);
    while (length > 0 && data[length - 1] == '\0')
        --length;
    if (reply->type == utf8String)
        return QString::fromUtf8(data, length);
    return QString::fromLatin1(data, length);
}

QByteArray atomName(xcb_connection_t *connection, xcb_atom_t atom)
{
    XcbReply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(connection, xcb_get_atom_name(connection, atom), nullptr));
    if (!reply)
        return {};
    return QByteArray(xcb_get_atom_name_name(reply.get()),
                      xcb_get_atom_name_name_length(reply.get()));
}

} // namespace zorv
