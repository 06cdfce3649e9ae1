#pragma once

#include <QList>
#include <QRect>
#include <QRectF>
#include <QSize>

namespace zorv
{

// One monitor seen twice: in Qt's logical coordinates and in X pixels. With
// per-screen scale factors Qt keeps each screen's device origin, so the logical
// desktop has holes and overlaps; every mapping goes through one screen.
struct ScreenArea {
    QRectF logical;
    QRect device;
    double dpr = 1.0;
};

// The part of a capture that one screen supplies: `source` in X pixels,
// `target` in pixels of the output image.
struct CapturePiece {
    int screen = 0; // index into the screen list
    QRectF source;
    QRectF target;
    // True when the piece is a plain copy: whole pixels, no scaling.
    bool isDirectCopy() const;
};

struct CapturePlan {
    QSize size;
    QList<CapturePiece> pieces;
    bool coversOutput = false; // no pixel of the output is left transparent
};

namespace ScreenMapping
{

// round(scale·w) × round(scale·h), halves away from zero, at least 1 × 1.
QSize pixelSize(const QSizeF &logical, double scale);
// The largest scale factor among the screens the rectangle touches (1 with none).
double largestScale(const QList<ScreenArea> &screens, const QRectF &rect);
// Which X pixels make up a logical rectangle captured at `scale`.
CapturePlan plan(const QList<ScreenArea> &screens, const QRectF &rect, double scale);
// A rectangle in X pixels mapped to logical coordinates through the screen that
// holds its centre (unchanged when no screen does).
QRectF toLogical(const QList<ScreenArea> &screens, const QRect &device);
// A logical rectangle in X pixels through one screen's mapping, also where it
// reaches past that screen (X11 has one pixel space).
QRectF toDevice(const ScreenArea &screen, const QRectF &logical);
// The screen whose X pixels hold the point, or -1.
int screenAtDevicePoint(const QList<ScreenArea> &screens, const QPointF &device);

} // namespace ScreenMapping
} // namespace zorv
