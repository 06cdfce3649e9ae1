#include "platform/x11/X11WindowSystem.h"

#include "platform/x11/X11Connection.h"

#include <xcb/xfixes.h>

#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QRegion>
#include <QScreen>
#include <QWindow>
#include <cstdlib>
#include <memory>
#include <vector>

namespace zorv
{

namespace
{

template <typename T> using Reply = std::unique_ptr<T, decltype(&std::free)>;
template <typename T> Reply<T> reply(T *raw)
{
    return Reply<T>(raw, &std::free);
}

xcb_atom_t atom(xcb_connection_t *c, const QByteArray &name)
{
    auto r = reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, uint16_t(name.size()), name.constData()), nullptr));
    return r ? r->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// A message to the window manager about `window`, as a pager would send it.
void sendToWindowManager(xcb_connection_t *c, xcb_window_t window, xcb_atom_t type,
                         std::initializer_list<uint32_t> data)
{
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = type;
    int i = 0;
    for (uint32_t value : data)
        event.data.data32[i++] = value;
    xcb_send_event(c, 0, x11::rootWindow(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(c);
}

constexpr uint32_t sourcePager = 2;
constexpr uint32_t allDesktops = 0xFFFFFFFF;
constexpr uint32_t stateAdd = 1;

} // namespace

// Tells when the tray's manager selection changes owner (a tray starts or
// ends), from XFixes events on Qt's own connection: no polling.
class TrayWatcher : public QObject, public QAbstractNativeEventFilter
{
  public:
    TrayWatcher(QObject *context, xcb_atom_t selection, uint8_t eventBase,
                std::function<void()> changed)
        : QObject(context), m_selection(selection), m_eventBase(eventBase),
          m_changed(std::move(changed))
    {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~TrayWatcher() override
    {
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeNativeEventFilter(this);
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t")
            return false;
        auto *event = static_cast<xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != m_eventBase + XCB_XFIXES_SELECTION_NOTIFY)
            return false;
        auto *notify = reinterpret_cast<xcb_xfixes_selection_notify_event_t *>(event);
        if (notify->selection == m_selection) {
            // Outside the event dispatch, so the callback may talk to the server.
            QMetaObject::invokeMethod(
                this, [this] { m_changed(); }, Qt::QueuedConnection);
        }
        return false;
    }

  private:
    xcb_atom_t m_selection;
    uint8_t m_eventBase;
    std::function<void()> m_changed;
};

bool X11WindowSystem::compositingActive()
{
    xcb_connection_t *c = x11::connection();
    if (!c)
        return true;
    const xcb_atom_t selection = atom(c, "_NET_WM_CM_S" + QByteArray::number(x11::screenNumber()));
    if (selection == XCB_ATOM_NONE)
        return false;
    auto r =
        reply(xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr));
    return r && r->owner != XCB_WINDOW_NONE;
}

uint32_t X11WindowSystem::activeWindow()
{
    xcb_connection_t *c = x11::connection();
    if (!c)
        return 0;
    const xcb_atom_t active = atom(c, "_NET_ACTIVE_WINDOW");
    auto r = reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, x11::rootWindow(), active, XCB_ATOM_WINDOW, 0, 1), nullptr));
    if (!r || r->type != XCB_ATOM_WINDOW || xcb_get_property_value_length(r.get()) < 4)
        return 0;
    return *static_cast<const uint32_t *>(xcb_get_property_value(r.get()));
}

void X11WindowSystem::activateWindow(uint32_t id)
{
    xcb_connection_t *c = x11::connection();
    if (!c || !id)
        return;
    // Only windows that still exist; the window manager would ignore the rest
    // anyway, but the check keeps a stale id from reaching it.
    auto attributes =
        reply(xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, id), nullptr));
    if (!attributes)
        return;
    sendToWindowManager(c, id, atom(c, "_NET_ACTIVE_WINDOW"),
                        {sourcePager, XCB_CURRENT_TIME, 0, 0, 0});
}

void X11WindowSystem::setOnAllWorkspaces(QWindow *window)
{
    xcb_connection_t *c = x11::connection();
    if (!c || !window)
        return;
    const auto id = xcb_window_t(window->winId());
    const uint32_t desktop = allDesktops;
    // The property covers a window not yet mapped; the messages one that is.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, atom(c, "_NET_WM_DESKTOP"), XCB_ATOM_CARDINAL,
                        32, 1, &desktop);
    sendToWindowManager(c, id, atom(c, "_NET_WM_DESKTOP"), {allDesktops, sourcePager, 0, 0, 0});
    sendToWindowManager(c, id, atom(c, "_NET_WM_STATE"),
                        {stateAdd, atom(c, "_NET_WM_STATE_STICKY"), 0, sourcePager, 0});
}

void X11WindowSystem::setBlurBehind(QWindow *window, const QRegion &region)
{
    xcb_connection_t *c = x11::connection();
    if (!c || !window)
        return;
    // KWin reads this property; other window managers ignore it. Its
    // rectangles are in device pixels.
    const xcb_atom_t property = atom(c, "_KDE_NET_WM_BLUR_BEHIND_REGION");
    const auto id = xcb_window_t(window->winId());
    if (region.isEmpty()) {
        xcb_delete_property(c, id, property);
        xcb_flush(c);
        return;
    }
    const qreal scale = window->devicePixelRatio();
    std::vector<uint32_t> rects;
    for (const QRect &r : region) {
        rects.push_back(uint32_t(qRound(r.x() * scale)));
        rects.push_back(uint32_t(qRound(r.y() * scale)));
        rects.push_back(uint32_t(qRound(r.width() * scale)));
        rects.push_back(uint32_t(qRound(r.height() * scale)));
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, property, XCB_ATOM_CARDINAL, 32,
                        uint32_t(rects.size()), rects.data());
    xcb_flush(c);
}

void X11WindowSystem::watchTray(QObject *context, std::function<void()> changed)
{
    xcb_connection_t *c = x11::connection();
    if (!c || !context)
        return;
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (!xfixes || !xfixes->present)
        return;
    // Qt has negotiated the XFixes version on this connection already.
    const xcb_atom_t selection =
        atom(c, "_NET_SYSTEM_TRAY_S" + QByteArray::number(x11::screenNumber()));
    if (selection == XCB_ATOM_NONE)
        return;
    new TrayWatcher(context, selection, xfixes->first_event, std::move(changed));
    xcb_xfixes_select_selection_input(c, x11::rootWindow(), selection,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
    xcb_flush(c);
}

} // namespace zorv
