#include "platform/x11/RecordingArea.h"

#include <cmath>
#include <cstdlib>

namespace zorv
{

DeviceArea DeviceArea::of(const ScreenArea &screen, const RecordingArea &area)
{
    const QRectF device = ScreenMapping::toDevice(screen, area.rect);
    DeviceArea result;
    result.output = area.pixelSize.isEmpty()
                        ? ScreenMapping::pixelSize(area.rect.size(), area.scale)
                        : area.pixelSize;
    // The caller may round the size to what the encoder takes (a pixel or two):
    // those pixels are cropped or taken from beside the area, never resampled.
    const bool sameScale = std::abs(device.width() - result.output.width()) <= 2.0 &&
                           std::abs(device.height() - result.output.height()) <= 2.0;
    if (sameScale)
        result.device = QRect(QPoint(int(std::lround(device.x())), int(std::lround(device.y()))),
                              result.output);
    else
        result.device = device.toAlignedRect();
    return result;
}

QPoint DeviceArea::toOutput(QPoint root) const
{
    const QPoint local = root - device.topLeft();
    if (!scaled())
        return local;
    return QPoint(int(std::floor(local.x() * factorX())), int(std::floor(local.y() * factorY())));
}

OwnConnection::OwnConnection()
{
    int number = 0;
    m_connection = xcb_connect(nullptr, &number);
    if (xcb_connection_has_error(m_connection))
        return;
    auto it = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < number && it.rem; ++i)
        xcb_screen_next(&it);
    m_screen = it.rem ? it.data : nullptr;
}

OwnConnection::~OwnConnection()
{
    xcb_disconnect(m_connection);
}

} // namespace zorv
