#include "platform/wayland/CastGeometry.h"

#include <QScreen>
#include <cmath>

namespace zorv
{

QRect CastOutput::pixelsOf(const QRectF &rect) const
{
    const QRectF local = rect.translated(-logical.topLeft());
    const int left = int(std::lround(local.left() * scaleX()));
    const int top = int(std::lround(local.top() * scaleY()));
    const int right = int(std::lround(local.right() * scaleX()));
    const int bottom = int(std::lround(local.bottom() * scaleY()));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1)) & QRect(QPoint(), pixels);
}

std::optional<qsizetype> streamForScreen(const QList<ScreenCastStream> &streams,
                                         const QScreen *screen)
{
    if (!screen)
        return std::nullopt;
    const QRect geometry = screen->geometry();
    for (qsizetype i = 0; i < streams.size(); ++i) {
        if (streams[i].size.isValid() && QRect(streams[i].position, streams[i].size) == geometry)
            return i;
    }
    if (streams.size() == 1 && !streams[0].size.isValid())
        return 0;
    return std::nullopt;
}

} // namespace zorv
