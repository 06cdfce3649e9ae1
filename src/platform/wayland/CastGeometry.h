#pragma once

#include "platform/portal/ScreenCastSession.h"

#include <QList>
#include <QRect>
#include <QRectF>
#include <QSize>
#include <optional>

class QScreen;

namespace zorv
{

// Where a monitor's ScreenCast stream lies in Qt's logical layout.
struct CastOutput {
    QRectF logical; // the monitor in global logical coordinates
    QSize pixels;   // the size of the stream's frames

    double scaleX() const { return logical.isEmpty() ? 1.0 : pixels.width() / logical.width(); }
    double scaleY() const { return logical.isEmpty() ? 1.0 : pixels.height() / logical.height(); }
    // The frame pixels a global logical rectangle covers: edges rounded to the nearest pixel,
    // clipped to the frame.
    QRect pixelsOf(const QRectF &rect) const;
};

// How a recorded area is cut from its monitor's stream: the frame pixels it covers, brought to
// the area's own pixel size when the stream's scale differs from the area's.
struct CastCrop {
    QRect source; // in frame pixels; empty when the area is not on the stream
    QSize target; // the area's pixel size

    bool scaled() const { return source.size() != target; }
    // A point in frame pixels as a point in the area's pixels, from its top-left corner.
    QPoint toArea(const QPoint &framePixel) const;
};

// The crop of the global logical rectangle `rect`, recorded at `pixelSize`, from frames of
// `output` (whose `pixels` are the frames' actual size).
CastCrop cropFor(const CastOutput &output, const QRectF &rect, const QSize &pixelSize);

// The stream showing `screen`: the one whose position and size match the screen's geometry,
// else, when the portal gave neither for a single stream, that stream.
std::optional<qsizetype> streamForScreen(const QList<ScreenCastStream> &streams,
                                         const QScreen *screen);

} // namespace zorv
