#include "platform/x11/X11PointerSources.h"

#include "common/Log.h"
#include "common/MonotonicClock.h"
#include "platform/x11/X11Atoms.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <xcb/xfixes.h>
#include <xcb/xinput.h>

namespace zorv
{

X11CursorSource::X11CursorSource(const DeviceArea &area) : m_area(area)
{
    if (!m_x.ok())
        return;
    xcb_connection_t *c = m_x.get();
    const xcb_query_extension_reply_t *xfixes = xcb_get_extension_data(c, &xcb_xfixes_id);
    // XFixes answers nothing before its version is agreed.
    XcbReply<xcb_xfixes_query_version_reply_t> version(
        xfixes && xfixes->present
            ? xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 4, 0), nullptr)
            : nullptr);
    if (!version) {
        logLine(QStringLiteral("the X server has no XFixes: recordings go without the pointer"));
        return;
    }
    xcb_xfixes_select_cursor_input(c, m_x.root(), XCB_XFIXES_CURSOR_NOTIFY_MASK_DISPLAY_CURSOR);
    xcb_flush(c);
    m_notifyEvent = xfixes->first_event + XCB_XFIXES_CURSOR_NOTIFY;
}

bool X11CursorSource::readShape()
{
    xcb_connection_t *c = m_x.get();
    XcbReply<xcb_xfixes_get_cursor_image_reply_t> reply(
        xcb_xfixes_get_cursor_image_reply(c, xcb_xfixes_get_cursor_image(c), nullptr));
    if (!reply || reply->width == 0 || reply->height == 0)
        return false;
    // Premultiplied ARGB in native 32-bit words: Qt's own layout.
    QImage shape(reply->width, reply->height, QImage::Format_ARGB32_Premultiplied);
    const uint32_t *pixels = xcb_xfixes_get_cursor_image_cursor_image(reply.get());
    for (int y = 0; y < shape.height(); ++y)
        memcpy(shape.scanLine(y), pixels + size_t(y) * reply->width, size_t(reply->width) * 4);
    m_hotspot = QPoint(reply->xhot, reply->yhot);
    if (m_area.scaled()) {
        const QSize size(qMax(1, qRound(shape.width() * m_area.factorX())),
                         qMax(1, qRound(shape.height() * m_area.factorY())));
        shape = shape.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_hotspot = QPoint(qRound(m_hotspot.x() * m_area.factorX()),
                           qRound(m_hotspot.y() * m_area.factorY()));
    }
    m_image = shape;
    m_shapeStale = false;
    return true;
}

std::optional<CursorSnapshot> X11CursorSource::current()
{
    if (!m_x.ok() || !m_notifyEvent)
        return std::nullopt;
    xcb_connection_t *c = m_x.get();
    while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
        if ((event->response_type & 0x7F) == m_notifyEvent)
            m_shapeStale = true;
        free(event);
    }
    if (m_shapeStale && !readShape())
        return std::nullopt;
    XcbReply<xcb_query_pointer_reply_t> pointer(
        xcb_query_pointer_reply(c, xcb_query_pointer(c, m_x.root()), nullptr));
    if (!pointer)
        return std::nullopt;
    CursorSnapshot snapshot;
    snapshot.position = m_area.toOutput(QPoint(pointer->root_x, pointer->root_y));
    snapshot.hotspot = m_hotspot;
    snapshot.image = m_image;
    // On another X screen, or a shape with no visible pixel (a hidden pointer).
    snapshot.visible = pointer->same_screen;
    if (snapshot.visible) {
        bool any = false;
        for (int y = 0; y < m_image.height() && !any; ++y) {
            const auto *line = reinterpret_cast<const uint32_t *>(m_image.constScanLine(y));
            for (int x = 0; x < m_image.width() && !any; ++x)
                any = (line[x] >> 24) != 0;
        }
        snapshot.visible = any;
    }
    return snapshot;
}

X11ClickSource::X11ClickSource(const DeviceArea &area) : m_area(area)
{
    if (!m_x.ok())
        return;
    xcb_connection_t *c = m_x.get();
    const xcb_query_extension_reply_t *xinput = xcb_get_extension_data(c, &xcb_input_id);
    // Raw events reach the root despite grabs from XInput 2.1 on.
    XcbReply<xcb_input_xi_query_version_reply_t> version(
        xinput && xinput->present
            ? xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr)
            : nullptr);
    if (!version || version->major_version < 2) {
        logLine(QStringLiteral("the X server has no XInput 2: recordings go without click marks"));
        return;
    }
    struct {
        xcb_input_event_mask_t head;
        uint32_t bits;
    } mask{{XCB_INPUT_DEVICE_ALL_MASTER, 1}, XCB_INPUT_XI_EVENT_MASK_RAW_BUTTON_PRESS};
    XcbReply<xcb_generic_error_t> error(
        xcb_request_check(c, xcb_input_xi_select_events_checked(c, m_x.root(), 1, &mask.head)));
    if (error)
        return;
    m_xinputOpcode = xinput->major_opcode;
    m_wake = eventfd(0, EFD_CLOEXEC);
    if (m_wake < 0)
        return;
    m_thread = std::thread([this] { run(); });
}

X11ClickSource::~X11ClickSource()
{
    if (m_thread.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(m_wake, &one, sizeof one);
        m_thread.join();
    }
    if (m_wake >= 0)
        close(m_wake);
}

void X11ClickSource::run()
{
    xcb_connection_t *c = m_x.get();
    pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {m_wake, POLLIN, 0}};
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            const auto *generic = reinterpret_cast<xcb_ge_generic_event_t *>(event);
            if ((event->response_type & 0x7F) == XCB_GE_GENERIC &&
                generic->extension == m_xinputOpcode &&
                generic->event_type == XCB_INPUT_RAW_BUTTON_PRESS) {
                const int64_t when = monotonicNs();
                const int button =
                    int(reinterpret_cast<xcb_input_raw_button_press_event_t *>(event)->detail);
                // 4 to 7 are the wheel's steps, not clicks.
                XcbReply<xcb_query_pointer_reply_t> pointer(
                    button >= 4 && button <= 7
                        ? nullptr
                        : xcb_query_pointer_reply(c, xcb_query_pointer(c, m_x.root()), nullptr));
                if (pointer) {
                    const std::lock_guard lock(m_mutex);
                    // Nobody taking them must not make the list grow without end.
                    if (m_clicks.size() < 4096)
                        m_clicks.append({when,
                                         m_area.toOutput(QPoint(pointer->root_x, pointer->root_y)),
                                         button});
                }
            }
            free(event);
        }
        if (xcb_connection_has_error(c))
            return;
        fds[0].revents = fds[1].revents = 0;
        if (poll(fds, 2, -1) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
    }
}

QList<PointerClick> X11ClickSource::takeClicks()
{
    const std::lock_guard lock(m_mutex);
    return std::exchange(m_clicks, {});
}

} // namespace zorv
