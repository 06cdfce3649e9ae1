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

QPoint CastCrop::toArea(const QPoint &framePixel) const
{
    const QPoint local = framePixel - source.topLeft();
    if (!scaled() || source.isEmpty())
        return local;
    return QPoint(int(std::lround(local.x() * double(target.width()) / source.width())),
                  int(std::lround(local.y() * double(target.height()) / source.height())));
}

CastCrop cropFor(const CastOutput &output, const QRectF &rect, const QSize &pixelSize)
{
    CastCrop crop{output.pixelsOf(rect), pixelSize};
    // Rounding may leave the area one pixel off its recorded size at the same scale: the
    // exact size is kept, moved back inside the frame, rather than stretched by a pixel.
    const QSize exact = pixelSize;
    if (!crop.source.isEmpty() && qAbs(crop.source.width() - exact.width()) <= 1 &&
        qAbs(crop.source.height() - exact.height()) <= 1 &&
        exact.width() <= output.pixels.width() && exact.height() <= output.pixels.height()) {
        QRect fitted(crop.source.topLeft(), exact);
        fitted.moveRight(qMin(fitted.right(), output.pixels.width() - 1));
        fitted.moveBottom(qMin(fitted.bottom(), output.pixels.height() - 1));
        crop.source = fitted;
    }
    return crop;
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
