#include "app/tray/StatusIcon.h"

#include "theme/Theme.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zorv::StatusIcon
{

namespace
{

constexpr int traySizes[] = {16, 22, 24, 32, 44, 48, 64};

qreal segmentDistance(QPointF p, QPointF a, QPointF b)
{
    const QPointF ab = b - a;
    const qreal t =
        std::clamp(QPointF::dotProduct(p - a, ab) / QPointF::dotProduct(ab, ab), 0.0, 1.0);
    const QPointF d = p - (a + t * ab);
    return std::sqrt(QPointF::dotProduct(d, d));
}

// Coverage of the glyph at each pixel, computed from its geometry rather than
// painted: crisp at every size, and an idle tray icon never loads the
// painter's stroking and antialiasing code.
struct Glyph {
    qreal size;
    QPointF arms[8][2];
    QPointF centre;
    qreal halfStroke;
    qreal dotRadius;

    explicit Glyph(qreal size) : size(size), centre(size / 2, size / 2)
    {
        const qreal unit = size / 18.0;
        const qreal inset = 2.5 * unit;
        const qreal arm = 0.34 * (size - 2 * inset);
        halfStroke = 0.85 * unit;
        dotRadius = 0.11 * size;
        const QPointF corners[] = {{inset, inset},
                                   {size - inset, inset},
                                   {size - inset, size - inset},
                                   {inset, size - inset}};
        int n = 0;
        for (const QPointF &corner : corners) {
            const qreal dx = corner.x() < centre.x() ? arm : -arm;
            const qreal dy = corner.y() < centre.y() ? arm : -arm;
            arms[n][0] = corner;
            arms[n++][1] = corner + QPointF(dx, 0);
            arms[n][0] = corner;
            arms[n++][1] = corner + QPointF(0, dy);
        }
    }

    // Coverage (0 to 1) of the glyph grown by `grow` pixels at point p.
    qreal coverage(QPointF p, qreal grow) const
    {
        qreal best = 0;
        for (const auto &segment : arms) {
            const qreal d = segmentDistance(p, segment[0], segment[1]);
            best = std::max(best, std::clamp(halfStroke + grow + 0.5 - d, 0.0, 1.0));
        }
        const QPointF d = p - centre;
        const qreal dot = dotRadius + grow + 0.5 - std::sqrt(QPointF::dotProduct(d, d));
        return std::max(best, std::clamp(dot, 0.0, 1.0));
    }
};

// The glyph in `color` over an optional halo, at `pixels` device pixels.
QImage glyphImage(int pixels, const QColor &color, const QColor &halo, qreal haloWidth)
{
    QImage image(pixels, pixels, QImage::Format_ARGB32_Premultiplied);
    const Glyph glyph(pixels);
    for (int y = 0; y < pixels; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < pixels; ++x) {
            const QPointF p(x + 0.5, y + 0.5);
            const qreal a = glyph.coverage(p, 0) * color.alphaF();
            const qreal h = haloWidth > 0 ? glyph.coverage(p, haloWidth) * halo.alphaF() : 0;
            // The glyph over its halo, premultiplied.
            const qreal alpha = a + h * (1 - a);
            auto channel = [&](qreal glyphValue, qreal haloValue) {
                return qRound(255 * (glyphValue * a + haloValue * h * (1 - a)));
            };
            line[x] =
                qRgba(channel(color.redF(), halo.redF()), channel(color.greenF(), halo.greenF()),
                      channel(color.blueF(), halo.blueF()), qRound(255 * alpha));
        }
    }
    return image;
}

} // namespace

QPixmap viewfinder(int size, const QColor &color, qreal devicePixelRatio)
{
    QPixmap pixmap =
        QPixmap::fromImage(glyphImage(qRound(size * devicePixelRatio), color, Qt::transparent, 0));
    pixmap.setDevicePixelRatio(devicePixelRatio);
    return pixmap;
}

QIcon trayIcon()
{
    QIcon icon;
    for (int size : traySizes)
        icon.addPixmap(QPixmap::fromImage(glyphImage(
            size, QColor(250, 250, 252), QColor(0, 0, 0, 190), std::max(0.8, size / 28.0))));
    return icon;
}

QIcon recordingIcon()
{
    QIcon icon;
    for (int size : traySizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const QPointF centre(size / 2.0, size / 2.0);
        const qreal outer = size * 0.40;
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::recordingRed());
        painter.drawEllipse(centre, outer, outer);
        painter.setBrush(Qt::white);
        painter.drawEllipse(centre, outer * 0.45, outer * 0.45);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace zorv::StatusIcon
