#include "platform/x11/X11Pixels.h"

#include "common/KeptBuffers.h"
#include "common/Log.h"
#include "common/Trace.h"

#include <QPainter>
#include <QRegion>
#include <QTimer>
#include <xcb/composite.h>

#include <algorithm>
#include <cstring>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace zorv
{

namespace
{
// Reads go through the shared segment in bands of rows, two at a time so
// that the server fills one while the other is converted. A few megabytes of
// fresh shared memory cost far less to set up than a whole 4K screen's
// (shared memory gets no huge pages), and less of it stays reserved.
constexpr size_t segmentBytes = 4 * 1024 * 1024;

QImage::Format formatOf(int depth)
{
    switch (depth) {
    case 32:
        return QImage::Format_ARGB32_Premultiplied;
    case 24:
        return QImage::Format_RGB32;
    default:
        return QImage::Format_Invalid;
    }
}

// `into` when it has that size and format and nobody else holds it. An image
// that someone else still holds would be copied on the first write, only to
// be overwritten: new memory costs less then.
QImage writable(QImage into, QSize size, QImage::Format format)
{
    if (into.size() == size && into.format() == format && into.isDetached())
        return into;
    return QImage(size, format);
}

// Copies `rows` rows of 32-bit X pixels into `image` from row `firstRow` on.
void copyPixels(const uchar *data, int rows, int stride, int depth, QImage &image, int firstRow)
{
    const int width = image.width();
    for (int y = 0; y < rows; ++y) {
        const uchar *in = data + size_t(y) * stride;
        uchar *out = image.scanLine(firstRow + y);
        if (depth == 32) {
            memcpy(out, in, size_t(width) * 4);
            continue;
        }
        // The padding byte of a depth-24 pixel is undefined; Qt wants 0xFF there.
        const auto *from = reinterpret_cast<const uint32_t *>(in);
        auto *to = reinterpret_cast<uint32_t *>(out);
        for (int x = 0; x < width; ++x)
            to[x] = from[x] | 0xFF000000u;
    }
}
} // namespace

QImage imageFromPixels(const uchar *data, int width, int height, int stride, int depth, QImage into)
{
    const QImage::Format format = formatOf(depth);
    if (format == QImage::Format_Invalid)
        return {};
    QImage image = writable(std::move(into), QSize(width, height), format);
    if (!image.isNull())
        copyPixels(data, height, stride, depth, image, 0);
    return image;
}

std::optional<SharedSegment> attachSharedSegment(xcb_connection_t *connection, size_t bytes)
{
    const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    if (id < 0)
        return std::nullopt;
    void *address = shmat(id, nullptr, 0);
    if (address == reinterpret_cast<void *>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return std::nullopt;
    }
    const xcb_shm_seg_t segment = xcb_generate_id(connection);
    XcbReply<xcb_generic_error_t> error(
        xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, id, 0)));
    // Marked for removal now, so the segment goes away with the last detach.
    shmctl(id, IPC_RMID, nullptr);
    if (error) {
        shmdt(address);
        return std::nullopt;
    }
    return SharedSegment{segment, address};
}

X11Pixels::X11Pixels(xcb_connection_t *connection, xcb_screen_t *screen, const X11Atoms &atoms,
                     bool releaseWhenIdle)
    : m_connection(connection), m_root(screen->root), m_atoms(atoms),
      m_releaseWhenIdle(releaseWhenIdle)
{
    // Pixels are read as 32 bits each, least significant byte first (BGRX).
    const xcb_setup_t *setup = xcb_get_setup(connection);
    bool depth24 = false, depth32 = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
        if (it.data->depth == 24)
            depth24 = it.data->bits_per_pixel == 32;
        if (it.data->depth == 32)
            depth32 = it.data->bits_per_pixel == 32;
    }
    const bool littleEndian = QSysInfo::ByteOrder == QSysInfo::LittleEndian;
    m_formatSupported = depth24 && depth32 && screen->root_depth == 24 &&
                        (setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST) == littleEndian;
    if (!m_formatSupported)
        logLine(QStringLiteral("screen capture needs a 24-bit X screen"));

    const xcb_query_extension_reply_t *shm = xcb_get_extension_data(connection, &xcb_shm_id);
    m_shmAvailable = shm && shm->present;
    // The shared memory and the kept images make the next grab fast; after a
    // quiet spell they go back to the system.
    m_idle.setSingleShot(true);
    m_idle.setInterval(keptBuffersMs());
    QObject::connect(&m_idle, &QTimer::timeout, [this] {
        releaseSegment();
        m_images.clear();
    });

    // Redirecting once, for the life of the connection, keeps every top-level's
    // pixmap current even while it is covered and its client cannot repaint.
    const xcb_query_extension_reply_t *composite =
        xcb_get_extension_data(connection, &xcb_composite_id);
    if (composite && composite->present) {
        XcbReply<xcb_composite_query_version_reply_t> version(xcb_composite_query_version_reply(
            connection, xcb_composite_query_version(connection, 0, 4), nullptr));
        if (version && (version->major_version > 0 || version->minor_version >= 2)) {
            XcbReply<xcb_generic_error_t> error(xcb_request_check(
                connection, xcb_composite_redirect_subwindows_checked(
                                connection, m_root, XCB_COMPOSITE_REDIRECT_AUTOMATIC)));
            m_composited = !error;
        }
    }
}

X11Pixels::~X11Pixels()
{
    // Only the local mapping is dropped here: the server detaches the segment
    // when the connection closes, and a backend that someone failed to end
    // before the application must not talk to a closed connection.
    if (m_shmAddress)
        shmdt(m_shmAddress);
}

bool X11Pixels::reserveSegment()
{
    if (m_shmAddress)
        return true;
    const std::optional<SharedSegment> segment = attachSharedSegment(m_connection, segmentBytes);
    if (!segment) {
        m_shmAvailable = false;
        return false;
    }
    m_segment = segment->id;
    m_shmAddress = segment->address;
    return true;
}

void X11Pixels::releaseSegment()
{
    if (!m_shmAddress)
        return;
    xcb_shm_detach(m_connection, m_segment);
    xcb_flush(m_connection);
    shmdt(m_shmAddress);
    m_shmAddress = nullptr;
}

void X11Pixels::armIdle()
{
    if (m_releaseWhenIdle)
        m_idle.start();
}

QImage X11Pixels::kept(const QImage &image)
{
    m_images.keep(image);
    if (!m_images.isEmpty())
        armIdle();
    return image;
}

QImage X11Pixels::readShared(xcb_drawable_t drawable, const QRect &rect, QImage into)
{
    const int stride = rect.width() * 4;
    const size_t half = segmentBytes / 2;
    const int bandRows = std::max(1, int(half / size_t(stride)));
    const int bands = (rect.height() + bandRows - 1) / bandRows;
    auto request = [&](int band) {
        const int top = band * bandRows;
        return xcb_shm_get_image(m_connection, drawable, int16_t(rect.x()), int16_t(rect.y() + top),
                                 uint16_t(rect.width()),
                                 uint16_t(std::min(bandRows, rect.height() - top)), ~0u,
                                 XCB_IMAGE_FORMAT_Z_PIXMAP, m_segment, uint32_t((band % 2) * half));
    };
    QImage image;
    xcb_shm_get_image_cookie_t next = request(0);
    for (int band = 0; band < bands; ++band) {
        const xcb_shm_get_image_cookie_t cookie = next;
        if (band + 1 < bands)
            next = request(band + 1);
        xcb_generic_error_t *rawError = nullptr;
        XcbReply<xcb_shm_get_image_reply_t> reply(
            xcb_shm_get_image_reply(m_connection, cookie, &rawError));
        XcbReply<xcb_generic_error_t> error(rawError);
        if (band + 1 == bands)
            Trace::mark("server-copied");
        const QImage::Format format =
            reply && !error ? formatOf(reply->depth) : QImage::Format_Invalid;
        if (band == 0 && format != QImage::Format_Invalid)
            image = writable(std::move(into), rect.size(), format);
        if (format == QImage::Format_Invalid || image.isNull()) {
            // The band already asked for must not write into a segment that
            // the next read reuses: wait for it too.
            if (band + 1 < bands)
                free(xcb_shm_get_image_reply(m_connection, next, nullptr));
            return {};
        }
        const int top = band * bandRows;
        copyPixels(static_cast<const uchar *>(m_shmAddress) + (band % 2) * half,
                   std::min(bandRows, rect.height() - top), stride, reply->depth, image, top);
    }
    return image;
}

QImage X11Pixels::readPlain(xcb_drawable_t drawable, const QRect &rect, QImage into)
{
    xcb_generic_error_t *rawError = nullptr;
    XcbReply<xcb_get_image_reply_t> reply(xcb_get_image_reply(
        m_connection,
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, int16_t(rect.x()),
                      int16_t(rect.y()), uint16_t(rect.width()), uint16_t(rect.height()), ~0u),
        &rawError));
    XcbReply<xcb_generic_error_t> error(rawError);
    if (!reply || error)
        return {};
    const int length = xcb_get_image_data_length(reply.get());
    if (length < rect.width() * rect.height() * 4)
        return {};
    return imageFromPixels(xcb_get_image_data(reply.get()), rect.width(), rect.height(),
                           rect.width() * 4, reply->depth, std::move(into));
}

QImage X11Pixels::read(xcb_drawable_t drawable, const QRect &rect, QImage into)
{
    if (!m_formatSupported || rect.isEmpty() || rect.width() > 0x7FFF || rect.height() > 0x7FFF)
        return {};
    if (m_shmAvailable && reserveSegment()) {
        armIdle();
        return readShared(drawable, rect, std::move(into));
    }
    return readPlain(drawable, rect, std::move(into));
}

QList<X11Pixels::TopLevel> X11Pixels::viewableTopLevels()
{
    QList<TopLevel> result;
    XcbReply<xcb_query_tree_reply_t> tree(
        xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, m_root), nullptr));
    if (!tree)
        return result;
    const xcb_window_t *children = xcb_query_tree_children(tree.get());
    const int count = xcb_query_tree_children_length(tree.get());
    QList<xcb_get_window_attributes_cookie_t> attributes;
    QList<xcb_get_geometry_cookie_t> geometries;
    for (int i = 0; i < count; ++i) {
        attributes.append(xcb_get_window_attributes(m_connection, children[i]));
        geometries.append(xcb_get_geometry(m_connection, children[i]));
    }
    // Children come bottom to top.
    for (int i = 0; i < count; ++i) {
        XcbReply<xcb_get_window_attributes_reply_t> a(
            xcb_get_window_attributes_reply(m_connection, attributes[i], nullptr));
        XcbReply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(m_connection, geometries[i], nullptr));
        if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE ||
            a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT)
            continue;
        const int border = g->border_width;
        result.append(
            {children[i], QRect(g->x, g->y, g->width + 2 * border, g->height + 2 * border)});
    }
    return result;
}

QImage X11Pixels::readTopLevel(xcb_window_t topLevel, const QRect &crop)
{
    if (!m_composited)
        return {};
    const xcb_pixmap_t pixmap = xcb_generate_id(m_connection);
    const xcb_void_cookie_t named =
        xcb_composite_name_window_pixmap_checked(m_connection, topLevel, pixmap);
    QImage image = read(pixmap, crop);
    XcbReply<xcb_generic_error_t> error(xcb_request_check(m_connection, named));
    if (!error)
        xcb_free_pixmap(m_connection, pixmap);
    return error ? QImage() : image;
}

QImage X11Pixels::background(const QRect &rect)
{
    // The root's own background lives in no window pixmap; desktops that set a
    // wallpaper publish it as _XROOTPMAP_ID.
    XcbReply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        m_connection,
        xcb_get_property(m_connection, 0, m_root, m_atoms.rootPixmap, XCB_ATOM_PIXMAP, 0, 1),
        nullptr));
    const QList<uint32_t> values = propertyValues(reply.get());
    if (!values.isEmpty() && values.first() != XCB_PIXMAP_NONE) {
        QImage image = read(values.first(), rect);
        if (!image.isNull())
            return image;
    }
    QImage black(rect.size(), QImage::Format_RGB32);
    black.fill(Qt::black);
    return black;
}

QImage X11Pixels::compose(const QRect &rect, const QSet<xcb_window_t> &excluded)
{
    QImage canvas = read(m_root, rect, m_images.take(rect.size()));
    if (canvas.isNull() || excluded.isEmpty() || !m_composited)
        return kept(canvas);
    const QList<TopLevel> topLevels = viewableTopLevels();
    QRegion hidden;
    for (const TopLevel &top : topLevels) {
        if (excluded.contains(top.id))
            hidden += top.rect;
    }
    hidden &= rect;
    if (hidden.isEmpty())
        return kept(canvas);

    // Only what the excluded windows cover is rebuilt: the background, then every
    // other top-level from the bottom up.
    const QRect dirty = hidden.boundingRect();
    QPainter painter(&canvas);
    painter.translate(-rect.topLeft());
    painter.setClipRegion(hidden);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(dirty.topLeft(), background(dirty));
    for (const TopLevel &top : topLevels) {
        const QRect part = top.rect & dirty;
        if (excluded.contains(top.id) || part.isEmpty())
            continue;
        const QImage pixels = readTopLevel(top.id, part.translated(-top.rect.topLeft()));
        if (pixels.isNull())
            continue;
        painter.setCompositionMode(pixels.hasAlphaChannel() ? QPainter::CompositionMode_SourceOver
                                                            : QPainter::CompositionMode_Source);
        painter.drawImage(part.topLeft(), pixels);
    }
    painter.end();
    return kept(canvas);
}

} // namespace zorv
