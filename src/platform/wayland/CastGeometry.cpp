#include "platform/wayland/CastGeometry.h"

#include "common/WholePixels.h"

#include <QPainter>
#include <QScreen>
#include <algorithm>
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
                                         const QScreen *screen, qsizetype screenCount)
{
    if (!screen)
        return std::nullopt;
    const QRect geometry = screen->geometry();
    for (qsizetype i = 0; i < streams.size(); ++i) {
        if (streams[i].size.isValid() && QRect(streams[i].position, streams[i].size) == geometry)
            return i;
    }
    // Without a geometry the stream could show any of several screens.
    if (streams.size() == 1 && !streams[0].size.isValid() && screenCount == 1)
        return 0;
    return std::nullopt;
}

double largestFrameScale(const QList<HeldFrame> &frames, const QRectF &rect)
{
    double scale = 0;
    for (const HeldFrame &frame : frames) {
        if (frame.logical.intersects(rect) && !frame.image.isNull())
            scale = std::max(scale, CastOutput{frame.logical, frame.image.size()}.scaleX());
    }
    return scale > 0 ? scale : 1.0;
}

QImage composeFrames(const QList<HeldFrame> &frames, const QRectF &rect, double scale)
{
    if (!(rect.width() > 0 && rect.height() > 0))
        return {};
    const QSize size(int(std::max(1L, std::lround(rect.width() * scale))),
                     int(std::max(1L, std::lround(rect.height() * scale))));
    // Output pixels per logical unit; `scale` unless the size was rounded.
    const double sx = size.width() / rect.width();
    const double sy = size.height() / rect.height();

    struct Piece {
        const QImage *image;
        QRectF source;
        QRectF target;
    };
    QList<Piece> pieces;
    double covered = 0;
    for (const HeldFrame &frame : frames) {
        const QRectF part = rect.intersected(frame.logical);
        if (part.isEmpty() || frame.image.isNull())
            continue;
        const CastOutput output{frame.logical, frame.image.size()};
        const QPointF local = part.topLeft() - frame.logical.topLeft();
        pieces.append({&frame.image,
                       QRectF(local.x() * output.scaleX(), local.y() * output.scaleY(),
                              part.width() * output.scaleX(), part.height() * output.scaleY()),
                       QRectF((part.x() - rect.x()) * sx, (part.y() - rect.y()) * sy,
                              part.width() * sx, part.height() * sy)});
        covered += part.width() * part.height();
    }
    const bool coversAll = covered >= rect.width() * rect.height() * (1 - 1e-9);

    // The usual case: one frame, whole pixels, no scaling.
    if (pieces.size() == 1 && coversAll) {
        const Piece &piece = pieces.first();
        if (isWhole(piece.source) && piece.source.size() == QSizeF(size)) {
            const QRect source = piece.source.toRect();
            if (source == piece.image->rect())
                return *piece.image; // shared, not copied
            return piece.image->copy(source);
        }
    }
    QImage image(size, coversAll ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (const Piece &piece : pieces)
        painter.drawImage(piece.target, *piece.image, piece.source);
    painter.end();
    return image;
}

QList<QImage> cropLayoutPicture(const QImage &picture, const QList<QRectF> &screens)
{
    QRectF bounds;
    for (const QRectF &screen : screens)
        bounds = bounds.united(screen);
    if (picture.isNull() || bounds.isEmpty())
        return {};
    const double scale = picture.width() / bounds.width();
    // One scale for both directions, give or take the rounding of the picture's size.
    if (std::abs(bounds.height() * scale - picture.height()) > 1.0)
        return {};
    QList<QImage> parts;
    for (const QRectF &screen : screens) {
        const CastOutput output{bounds, picture.size()};
        parts.append(picture.copy(output.pixelsOf(screen)));
    }
    return parts;
}

} // namespace zorv
