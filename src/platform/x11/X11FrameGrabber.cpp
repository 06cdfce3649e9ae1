#include "platform/x11/X11FrameGrabber.h"

#include "common/MonotonicClock.h"

#include <QPainter>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>
#include <xcb/randr.h>

namespace zorv
{

namespace
{
// Own windows are found by process id; events say when to look again, and a
// look every quarter second catches what the events cannot tell (a client
// listed by the window manager after its frame was mapped).
constexpr int64_t ownRefreshNs = 250'000'000;
constexpr int64_t displayCheckNs = 500'000'000;
} // namespace

X11FrameGrabber::X11FrameGrabber(const DeviceArea &area, uint32_t displayID)
    : m_area(area), m_displayID(displayID)
{
}

X11FrameGrabber::~X11FrameGrabber()
{
    if (m_shm)
        shmdt(m_shm); // the server detaches when the connection closes
}

Expected<std::unique_ptr<X11FrameGrabber>, QString> X11FrameGrabber::make(const DeviceArea &area,
                                                                          uint32_t displayID)
{
    std::unique_ptr<X11FrameGrabber> grabber(new X11FrameGrabber(area, displayID));
    QString error;
    if (!grabber->setUp(error))
        return error;
    return grabber;
}

bool X11FrameGrabber::setUp(QString &error)
{
    if (!m_x.ok()) {
        error = QStringLiteral("cannot open a connection to the X server");
        return false;
    }
    xcb_screen_t *screen = m_x.screen();
    if (screen->root_depth != 24) {
        error = QStringLiteral("screen recording needs a 24-bit X screen");
        return false;
    }
    m_readable = m_area.device & QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
    if (m_readable.isEmpty() || m_area.output.isEmpty()) {
        error = QStringLiteral("the area lies outside the screen");
        return false;
    }
    m_atoms = X11Atoms::intern(m_x.get());
    m_windowList = std::make_unique<X11WindowList>(m_x.get(), m_x.root(), m_atoms);
    // Holds the root's automatic redirect for the recording, so the other
    // windows' pixmaps are there to compose from, with or without a
    // compositing manager.
    m_pixels = std::make_unique<X11Pixels>(m_x.get(), screen, m_atoms, false);

    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_x.get(), m_x.root(), XCB_CW_EVENT_MASK, &mask);
    attachSegment(); // without shared memory, plain reads
    refreshOwnWindows();
    return true;
}

bool X11FrameGrabber::attachSegment()
{
    const xcb_query_extension_reply_t *shm = xcb_get_extension_data(m_x.get(), &xcb_shm_id);
    if (!shm || !shm->present)
        return false;
    const std::optional<SharedSegment> segment =
        attachSharedSegment(m_x.get(), size_t(m_readable.width()) * m_readable.height() * 4);
    if (!segment)
        return false;
    m_segment = segment->id;
    m_shm = segment->address;
    return true;
}

void X11FrameGrabber::drainEvents()
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(m_x.get())) {
        switch (event->response_type & 0x7F) {
        case XCB_MAP_NOTIFY:
        case XCB_REPARENT_NOTIFY:
            m_ownDirty = true;
            break;
        case XCB_UNMAP_NOTIFY:
            m_own.remove(reinterpret_cast<xcb_unmap_notify_event_t *>(event)->window);
            break;
        case XCB_DESTROY_NOTIFY:
            m_own.remove(reinterpret_cast<xcb_destroy_notify_event_t *>(event)->window);
            break;
        case XCB_CONFIGURE_NOTIFY: {
            const auto *e = reinterpret_cast<xcb_configure_notify_event_t *>(event);
            if (e->event == m_x.root() && m_own.contains(e->window))
                m_own[e->window] = QRect(e->x, e->y, e->width + 2 * e->border_width,
                                         e->height + 2 * e->border_width);
            break;
        }
        case XCB_PROPERTY_NOTIFY:
            if (reinterpret_cast<xcb_property_notify_event_t *>(event)->atom == m_atoms.clientList)
                m_ownDirty = true;
            break;
        default:
            break;
        }
        free(event);
    }
}

void X11FrameGrabber::refreshOwnWindows()
{
    m_ownDirty = false;
    m_nextRefreshNs = monotonicNs() + ownRefreshNs;
    m_own.clear();
    const int32_t pid = int32_t(getpid());
    // Managed windows by the client list; override-redirect ones (toasts,
    // pop-ups) are root children that carry the process id themselves.
    const QSet<xcb_window_t> managed = m_windowList->topLevelsOf({}, pid);
    xcb_connection_t *c = m_x.get();
    XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(c, xcb_query_tree(c, m_x.root()), nullptr));
    if (!tree)
        return;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    struct Asked {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_get_property_cookie_t pid;
    };
    QList<Asked> asked;
    for (int i = 0; i < count; ++i)
        asked.append({xcb_get_window_attributes(c, children[i]), xcb_get_geometry(c, children[i]),
                      xcb_get_property(c, 0, children[i], m_atoms.wmPid, XCB_ATOM_CARDINAL, 0, 1)});
    for (int i = 0; i < count; ++i) {
        XcbReply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(c, asked[i].attributes, nullptr));
        XcbReply<xcb_get_geometry_reply_t> g(xcb_get_geometry_reply(c, asked[i].geometry, nullptr));
        XcbReply<xcb_get_property_reply_t> p(xcb_get_property_reply(c, asked[i].pid, nullptr));
        if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;
        const QList<uint32_t> owner = propertyValues(p.get());
        if (managed.contains(children[i]) || (!owner.isEmpty() && int32_t(owner[0]) == pid))
            m_own.insert(children[i], QRect(g->x, g->y, g->width + 2 * g->border_width,
                                            g->height + 2 * g->border_width));
    }
}

bool X11FrameGrabber::ownWindowOverlaps() const
{
    for (const QRect &rect : m_own) {
        if (rect.intersects(m_readable))
            return true;
    }
    return false;
}

bool X11FrameGrabber::displayPresent()
{
    xcb_connection_t *c = m_x.get();
    XcbReply<xcb_randr_get_monitors_reply_t> reply(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, m_x.root(), 1), nullptr));
    if (!reply) // no RandR 1.5: the one screen stays as long as the server
        return true;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
         xcb_randr_monitor_info_next(&it)) {
        if (it.data->name == m_displayID)
            return true;
    }
    return false;
}

void X11FrameGrabber::place(const uchar *pixels, int stride, int depth, QImage &frame)
{
    const QPoint at = m_readable.topLeft() - m_area.device.topLeft();
    QImage *target = m_area.scaled() ? &m_scratch : &frame;
    const int width = m_readable.width();
    for (int y = 0; y < m_readable.height(); ++y) {
        const auto *in = reinterpret_cast<const uint32_t *>(pixels + size_t(y) * stride);
        auto *out = reinterpret_cast<uint32_t *>(target->scanLine(at.y() + y)) + at.x();
        if (depth == 32) {
            memcpy(out, in, size_t(width) * 4);
            continue;
        }
        // The padding byte of a depth-24 pixel is undefined; an opaque image wants 0xFF.
        for (int x = 0; x < width; ++x)
            out[x] = in[x] | 0xFF000000u;
    }
    if (m_area.scaled()) {
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setCompositionMode(QPainter::CompositionMode_Source);
        painter.drawImage(QRect(QPoint(0, 0), m_area.output), m_scratch);
    }
}

bool X11FrameGrabber::readRoot(QImage &frame)
{
    xcb_connection_t *c = m_x.get();
    const QRect &r = m_readable;
    if (m_shm) {
        XcbReply<xcb_shm_get_image_reply_t> reply(xcb_shm_get_image_reply(
            c,
            xcb_shm_get_image(c, m_x.root(), int16_t(r.x()), int16_t(r.y()), uint16_t(r.width()),
                              uint16_t(r.height()), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment, 0),
            nullptr));
        if (!reply)
            return false;
        place(static_cast<const uchar *>(m_shm), r.width() * 4, reply->depth, frame);
        return true;
    }
    XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        c,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, m_x.root(), int16_t(r.x()), int16_t(r.y()),
                      uint16_t(r.width()), uint16_t(r.height()), ~0u),
        nullptr));
    if (!reply || xcb_get_image_data_length(reply.get()) < r.width() * r.height() * 4)
        return false;
    place(xcb_get_image_data(reply.get()), r.width() * 4, reply->depth, frame);
    return true;
}

bool X11FrameGrabber::composeInto(QImage &frame)
{
    QSet<xcb_window_t> excluded;
    for (auto it = m_own.cbegin(); it != m_own.cend(); ++it)
        excluded.insert(it.key());
    const QImage composed = m_pixels->compose(m_readable, excluded);
    if (composed.isNull() || composed.size() != m_readable.size())
        return false;
    place(composed.constBits(), int(composed.bytesPerLine()), 32, frame);
    return true;
}

bool X11FrameGrabber::grab(QImage &frame, QString &error)
{
    if (!m_x.ok()) {
        error = QStringLiteral("the connection to the X server was lost");
        return false;
    }
    const int64_t now = monotonicNs();
    if (now >= m_nextDisplayCheckNs) {
        m_nextDisplayCheckNs = now + displayCheckNs;
        if (!displayPresent()) {
            error = QStringLiteral("the recorded display was disconnected");
            return false;
        }
    }
    if (frame.size() != m_area.output || frame.format() != QImage::Format_RGB32)
        frame = QImage(m_area.output, QImage::Format_RGB32);
    if (m_area.scaled() && m_scratch.size() != m_area.device.size())
        m_scratch = QImage(m_area.device.size(), QImage::Format_RGB32);
    if (m_readable != m_area.device) // what lies past the screen's edge is black
        (m_area.scaled() ? m_scratch : frame).fill(Qt::black);

    drainEvents();
    if (m_ownDirty || now >= m_nextRefreshNs)
        refreshOwnWindows();
    m_lastComposed = false;
    if (!ownWindowOverlaps()) {
        if (!readRoot(frame)) {
            error = m_x.ok() ? QStringLiteral("the X server did not return the screen's pixels")
                             : QStringLiteral("the connection to the X server was lost");
            return false;
        }
        // An own window mapped while the pixels were read is told by an event
        // queued before the reply: then this frame is composed after all.
        drainEvents();
        if (m_ownDirty)
            refreshOwnWindows();
        if (!ownWindowOverlaps())
            return true;
    }
    m_lastComposed = true;
    if (!composeInto(frame)) {
        error = QStringLiteral("the X server did not return the screen's pixels");
        return false;
    }
    return true;
}

} // namespace zorv
