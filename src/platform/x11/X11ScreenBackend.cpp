#include "platform/x11/X11ScreenBackend.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QWindow>
#include <xcb/randr.h>

#include <unistd.h>

namespace zorv
{

namespace
{
xcb_screen_t *screenOf(xcb_connection_t *connection, int number)
{
    auto it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < number && it.rem; ++i)
        xcb_screen_next(&it);
    return it.data;
}

CaptureError unavailable()
{
    return CaptureError(CaptureError::Code::imageUnavailable);
}
} // namespace

X11ScreenBackend::X11ScreenBackend(xcb_connection_t *connection, int screenNumber)
    : m_connection(connection), m_screen(screenOf(connection, screenNumber)),
      m_atoms(X11Atoms::intern(connection)), m_windowList(connection, m_screen->root, m_atoms),
      m_pixels(connection, m_screen, m_atoms)
{
}

std::unique_ptr<X11ScreenBackend> X11ScreenBackend::forApplication()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return nullptr;
    // Qt uses the screen that $DISPLAY names (".N"), the first one otherwise.
    int screenNumber = 0;
    const QByteArray display = qgetenv("DISPLAY");
    const qsizetype dot = display.lastIndexOf('.');
    if (dot > display.lastIndexOf(':'))
        screenNumber = display.mid(dot + 1).toInt();
    return std::make_unique<X11ScreenBackend>(x11->connection(), screenNumber);
}

QList<X11ScreenBackend::Monitor> X11ScreenBackend::monitors()
{
    QList<Monitor> result;
    XcbReply<xcb_randr_get_monitors_reply_t> reply(xcb_randr_get_monitors_reply(
        m_connection, xcb_randr_get_monitors(m_connection, m_screen->root, 1), nullptr));
    if (!reply) {
        // A server without RandR 1.5 shows one monitor: the whole screen.
        Monitor whole;
        whole.name = "screen";
        XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, 6, "screen"), nullptr));
        whole.id = atom ? atom->atom : 0;
        whole.device = QRect(0, 0, m_screen->width_in_pixels, m_screen->height_in_pixels);
        result.append(whole);
    } else {
        QList<xcb_get_atom_name_cookie_t> names;
        int primary = -1;
        for (auto it = xcb_randr_get_monitors_monitors_iterator(reply.get()); it.rem;
             xcb_randr_monitor_info_next(&it)) {
            Monitor monitor;
            monitor.id = it.data->name;
            monitor.device = QRect(it.data->x, it.data->y, it.data->width, it.data->height);
            if (it.data->primary && primary < 0)
                primary = int(result.size());
            result.append(monitor);
            names.append(xcb_get_atom_name(m_connection, it.data->name));
        }
        for (qsizetype i = 0; i < result.size(); ++i) {
            XcbReply<xcb_get_atom_name_reply_t> name(
                xcb_get_atom_name_reply(m_connection, names[i], nullptr));
            if (name)
                result[i].name = QByteArray(xcb_get_atom_name_name(name.get()),
                                            xcb_get_atom_name_name_length(name.get()));
        }
        // Qt lists the primary screen first; so do we.
        if (primary > 0)
            result.move(primary, 0);
    }

    // Each monitor's QScreen: by name, else by origin (Qt keeps device origins).
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (Monitor &monitor : result) {
        for (QScreen *screen : screens) {
            if (screen->name().toUtf8() == monitor.name)
                monitor.screen = screen;
        }
    }
    for (Monitor &monitor : result) {
        for (QScreen *screen : screens) {
            if (!monitor.screen && screen->geometry().topLeft() == monitor.device.topLeft())
                monitor.screen = screen;
        }
    }
    return result;
}

ScreenArea X11ScreenBackend::areaOf(const Monitor &monitor)
{
    if (!monitor.screen)
        return {QRectF(monitor.device), monitor.device, 1.0};
    return {QRectF(monitor.screen->geometry()), monitor.device, monitor.screen->devicePixelRatio()};
}

QList<ScreenArea> X11ScreenBackend::areas()
{
    QList<ScreenArea> result;
    for (const Monitor &monitor : monitors())
        result.append(areaOf(monitor));
    return result;
}

CaptureExpected<QList<DisplayInfo>> X11ScreenBackend::displays()
{
    QList<DisplayInfo> result;
    for (const Monitor &monitor : monitors())
        result.append({monitor.id, areaOf(monitor).logical});
    return result;
}

std::optional<uint32_t> X11ScreenBackend::displayID(const QScreen *screen)
{
    for (const Monitor &monitor : monitors()) {
        if (monitor.screen == screen)
            return monitor.id;
    }
    return std::nullopt;
}

std::optional<ScreenArea> X11ScreenBackend::displayArea(uint32_t displayID)
{
    for (const Monitor &monitor : monitors()) {
        if (monitor.id == displayID)
            return areaOf(monitor);
    }
    return std::nullopt;
}

CaptureExpected<QList<PlatformWindow>> X11ScreenBackend::windows()
{
    const QList<ScreenArea> screens = areas();
    QList<PlatformWindow> result;
    for (const X11Client &client : m_windowList.clients()) {
        result.append({client.id, ScreenMapping::toLogical(screens, client.frame), client.title,
                       client.appName, client.pid, client.layer, client.onScreen});
    }
    return result;
}

QList<uint32_t> X11ScreenBackend::stackingOrder()
{
    return m_windowList.stackingOrder();
}

QSet<xcb_window_t> X11ScreenBackend::ownTopLevels()
{
    QList<xcb_window_t> own;
    for (QWindow *window : QGuiApplication::topLevelWindows()) {
        if (window->handle() && window->isVisible())
            own.append(xcb_window_t(window->winId()));
    }
    // With none of our windows showing, the screen is already what we want.
    if (own.isEmpty())
        return {};
    return m_windowList.topLevelsOf(own, int32_t(getpid()));
}

QImage X11ScreenBackend::grabDevice(const QRect &rect)
{
    return m_pixels.compose(rect, ownTopLevels());
}

CaptureResult X11ScreenBackend::render(const CapturePlan &plan)
{
    // The usual case: one screen, whole pixels, no scaling; the grab is the result.
    if (plan.pieces.size() == 1 && plan.coversOutput && plan.pieces.first().isDirectCopy()) {
        QImage image = grabDevice(plan.pieces.first().source.toRect());
        if (image.isNull() || image.size() != plan.size)
            return unavailable();
        return image;
    }
    QImage image(plan.size,
                 plan.coversOutput ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const CapturePiece &piece : plan.pieces) {
        const QRect source = piece.source.toAlignedRect();
        const QImage pixels = grabDevice(source);
        if (pixels.isNull())
            return unavailable();
        painter.drawImage(piece.target, pixels, piece.source.translated(-source.topLeft()));
    }
    painter.end();
    return image;
}

CaptureResult X11ScreenBackend::grabDisplayRegion(uint32_t displayID, const QRectF &rect,
                                                  double scale)
{
    for (const Monitor &monitor : monitors()) {
        if (monitor.id == displayID)
            return render(ScreenMapping::plan({areaOf(monitor)}, rect, scale));
    }
    return CaptureError(CaptureError::Code::noDisplay);
}

CaptureResult X11ScreenBackend::grabArea(const QRectF &rect)
{
    const QList<ScreenArea> screens = areas();
    const double scale = ScreenMapping::largestScale(screens, rect);
    return render(ScreenMapping::plan(screens, rect, scale));
}

CaptureResult X11ScreenBackend::grabWindow(uint32_t windowID, double scale, bool includeShadow)
{
    const xcb_window_t top = m_windowList.topLevelOf(windowID);
    if (!top)
        return CaptureError(CaptureError::Code::noWindow);
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, top), nullptr));
    XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(
        m_connection, xcb_get_window_attributes(m_connection, top), nullptr));
    if (!geometry || !attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
        return CaptureError(CaptureError::Code::noWindow);

    const int border = geometry->border_width;
    const QRect frame(geometry->x, geometry->y, geometry->width + 2 * border,
                      geometry->height + 2 * border);
    QRect crop(QPoint(0, 0), frame.size());
    if (!includeShadow)
        crop = crop.marginsRemoved(m_windowList.shadowMargins(windowID));
    if (crop.isEmpty())
        return unavailable();

    QImage pixels = m_pixels.readTopLevel(top, crop);
    if (pixels.isNull()) // no Composite: the window as it shows on screen
        pixels = m_pixels.read(
            m_screen->root, crop.translated(frame.topLeft()) &
                                QRect(0, 0, m_screen->width_in_pixels, m_screen->height_in_pixels));
    if (pixels.isNull())
        return unavailable();

    const QRectF logical = ScreenMapping::toLogical(areas(), crop.translated(frame.topLeft()));
    const QSize size = ScreenMapping::pixelSize(logical.size(), scale);
    if (pixels.size() == size)
        return pixels;
    return pixels.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

} // namespace zorv
