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

// The stream showing `screen`: the one whose position and size match the screen's geometry,
// else, when the portal gave neither for a single stream, that stream.
std::optional<qsizetype> streamForScreen(const QList<ScreenCastStream> &streams,
                                         const QScreen *screen);

} // namespace zorv
