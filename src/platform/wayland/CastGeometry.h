#pragma once

#include "platform/portal/ScreenCastSession.h"

#include <QImage>
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
// else, when the portal gave neither for its only stream and there is only one screen
// (`screenCount`), that stream.
std::optional<qsizetype> streamForScreen(const QList<ScreenCastStream> &streams,
                                         const QScreen *screen, qsizetype screenCount);

// One monitor's picture and where it lies in the logical layout.
struct HeldFrame {
    QRectF logical;
    QImage image;
};

// The picture of a global logical rectangle at `scale` pixels per logical unit, made of the
// frames it touches: round(scale·w) × round(scale·h), transparent where no frame lies. Null
// when `rect` is empty.
QImage composeFrames(const QList<HeldFrame> &frames, const QRectF &rect, double scale);
// The largest scale of the frames the rectangle touches (1 with none).
double largestFrameScale(const QList<HeldFrame> &frames, const QRectF &rect);

// Each screen's part of one picture of the whole layout (what the Screenshot portal gives):
// the picture spans the screens' bounding rectangle at one scale. Empty when the picture's
// shape does not fit the layout.
QList<QImage> cropLayoutPicture(const QImage &picture, const QList<QRectF> &screens);

} // namespace zorv
