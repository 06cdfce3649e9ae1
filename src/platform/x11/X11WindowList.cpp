#include "platform/x11/X11WindowList.h"

#include <algorithm>

namespace zorv
{

namespace
{
xcb_get_property_cookie_t askProperty(xcb_connection_t *c, xcb_window_t window, xcb_atom_t atom,
                                      uint32_t maxWords = 1024)
{
    return xcb_get_property(c, 0, window, atom, XCB_GET_PROPERTY_TYPE_ANY, 0, maxWords);
}

XcbReply<xcb_get_property_reply_t> property(xcb_connection_t *c, xcb_get_property_cookie_t cookie)
{
    return XcbReply<xcb_get_property_reply_t>(xcb_get_property_reply(c, cookie, nullptr));
}

QMargins marginsFrom(const QList<uint32_t> &values)
{
    // left, right, top, bottom
    if (values.size() < 4)
        return {};
    return QMargins(int(values[0]), int(values[2]), int(values[1]), int(values[3]));
}
} // namespace

X11WindowList::X11WindowList(xcb_connection_t *connection, xcb_window_t root, const X11Atoms &atoms)
    : m_connection(connection), m_root(root), m_atoms(atoms)
{
}

QList<uint32_t> X11WindowList::rootWindows(xcb_atom_t atom) const
{
    auto reply = property(m_connection, askProperty(m_connection, m_root, atom, 1 << 16));
    return propertyValues(reply.get());
}

QList<uint32_t> X11WindowList::stackingOrder() const
{
    // The window manager lists bottom to top.
    QList<uint32_t> order = rootWindows(m_atoms.clientListStacking);
    std::reverse(order.begin(), order.end());
    return order;
}

int X11WindowList::layerFor(const QList<uint32_t> &types) const
{
    // The first type this program knows wins; an unknown or missing type is a
    // normal window.
    for (uint32_t type : types) {
        if (type == m_atoms.typeNormal || type == m_atoms.typeDialog ||
            type == m_atoms.typeUtility || type == m_atoms.typeToolbar)
            return normalLayer;
        if (type == m_atoms.typeDesktop)
            return desktopLayer;
        if (type == m_atoms.typeDock)
            return dockLayer;
        if (type == m_atoms.typeMenu || type == m_atoms.typeDropdownMenu ||
            type == m_atoms.typePopupMenu || type == m_atoms.typeCombo || type == m_atoms.typeDnd)
            return menuLayer;
        if (type == m_atoms.typeNotification)
            return notificationLayer;
        if (type == m_atoms.typeSplash)
            return splashLayer;
        if (type == m_atoms.typeTooltip)
            return tooltipLayer;
    }
    return normalLayer;
}

QList<X11Client> X11WindowList::clients() const
{
    const QList<uint32_t> ids = rootWindows(m_atoms.clientList);
    const QList<uint32_t> current = propertyValues(
        property(m_connection, askProperty(m_connection, m_root, m_atoms.currentDesktop)).get());

    // Every request goes out before the first reply is read: one round trip in all.
    struct Pending {
        xcb_get_property_cookie_t netName, name, wmClass, pid, type, state, desktop, extents,
            gtkExtents;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t origin;
        xcb_get_window_attributes_cookie_t attributes;
    };
    QList<Pending> pending;
    pending.reserve(ids.size());
    for (uint32_t id : ids) {
        pending.append({askProperty(m_connection, id, m_atoms.wmName),
                        askProperty(m_connection, id, XCB_ATOM_WM_NAME),
                        askProperty(m_connection, id, XCB_ATOM_WM_CLASS),
                        askProperty(m_connection, id, m_atoms.wmPid),
                        askProperty(m_connection, id, m_atoms.wmWindowType),
                        askProperty(m_connection, id, m_atoms.wmState),
                        askProperty(m_connection, id, m_atoms.wmDesktop),
                        askProperty(m_connection, id, m_atoms.frameExtents),
                        askProperty(m_connection, id, m_atoms.gtkFrameExtents),
                        xcb_get_geometry(m_connection, id),
                        xcb_translate_coordinates(m_connection, id, m_root, 0, 0),
                        xcb_get_window_attributes(m_connection, id)});
    }

    QList<X11Client> result;
    for (qsizetype i = 0; i < ids.size(); ++i) {
        const Pending &p = pending[i];
        auto netName = property(m_connection, p.netName);
        auto name = property(m_connection, p.name);
        auto wmClass = property(m_connection, p.wmClass);
        auto pid = property(m_connection, p.pid);
        auto type = property(m_connection, p.type);
        auto state = property(m_connection, p.state);
        auto desktop = property(m_connection, p.desktop);
        auto extents = property(m_connection, p.extents);
        auto gtkExtents = property(m_connection, p.gtkExtents);
        XcbReply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(m_connection, p.geometry, nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> origin(
            xcb_translate_coordinates_reply(m_connection, p.origin, nullptr));
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(m_connection, p.attributes, nullptr));
        if (!geometry || !origin || !attributes)
            continue; // destroyed while we asked

        X11Client client;
        client.id = ids[i];
        client.title = propertyText(netName.get(), m_atoms.utf8String);
        if (client.title.isEmpty())
            client.title = propertyText(name.get(), m_atoms.utf8String);
        // WM_CLASS holds "instance\0Class\0"; the class names the application.
        const QStringList classParts =
            propertyText(wmClass.get(), m_atoms.utf8String).split(QChar(0));
        client.appName = classParts.value(1).isEmpty() ? classParts.value(0) : classParts.value(1);
        const QList<uint32_t> pidValues = propertyValues(pid.get());
        client.pid = pidValues.isEmpty() ? 0 : int32_t(pidValues.first());
        client.layer = layerFor(propertyValues(type.get()));

        const QList<uint32_t> states = propertyValues(state.get());
        const QList<uint32_t> desktops = propertyValues(desktop.get());
        const bool otherDesktop = !desktops.isEmpty() && !current.isEmpty() &&
                                  desktops.first() != 0xFFFFFFFF &&
                                  desktops.first() != current.first();
        client.onScreen = attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                          !states.contains(m_atoms.wmStateHidden) && !otherDesktop;

        const QRect inner(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        client.shadow = marginsFrom(propertyValues(gtkExtents.get()));
        client.frame = inner.marginsRemoved(client.shadow)
                           .marginsAdded(marginsFrom(propertyValues(extents.get())));
        result.append(client);
    }
    return result;
}

QMargins X11WindowList::shadowMargins(xcb_window_t window) const
{
    auto reply = property(m_connection, askProperty(m_connection, window, m_atoms.gtkFrameExtents));
    return marginsFrom(propertyValues(reply.get()));
}

xcb_window_t X11WindowList::topLevelOf(xcb_window_t window) const
{
    xcb_window_t current = window;
    for (int depth = 0; depth < 16 && current != XCB_WINDOW_NONE; ++depth) {
        XcbReply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, current), nullptr));
        if (!tree)
            return XCB_WINDOW_NONE;
        if (tree->parent == m_root)
            return current;
        if (tree->parent == XCB_WINDOW_NONE)
            return XCB_WINDOW_NONE; // the root itself
        current = tree->parent;
    }
    return XCB_WINDOW_NONE;
}

QSet<xcb_window_t> X11WindowList::topLevelsOf(const QList<xcb_window_t> &windows, int32_t pid) const
{
    QList<xcb_window_t> wanted = windows;
    if (pid > 0) {
        const QList<uint32_t> managed = rootWindows(m_atoms.clientList);
        QList<xcb_get_property_cookie_t> cookies;
        for (uint32_t id : managed)
            cookies.append(askProperty(m_connection, id, m_atoms.wmPid));
        for (qsizetype i = 0; i < managed.size(); ++i) {
            const QList<uint32_t> value = propertyValues(property(m_connection, cookies[i]).get());
            if (!value.isEmpty() && int32_t(value.first()) == pid && !wanted.contains(managed[i]))
                wanted.append(managed[i]);
        }
    }
    QSet<xcb_window_t> result;
    for (xcb_window_t window : wanted) {
        if (const xcb_window_t top = topLevelOf(window))
            result.insert(top);
    }
    return result;
}

} // namespace zorv
