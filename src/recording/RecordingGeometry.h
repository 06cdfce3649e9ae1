#pragma once

#include "common/CaptureTypes.h"
#include "platform/RecordingSources.h"

#include <QList>
#include <QRectF>
#include <QSize>
#include <optional>

namespace zorv::RecordingGeometry
{

// The display whose frame holds the centre of `rect`, else the first one;
// none only when there are no displays.
std::optional<DisplayInfo> chooseDisplay(const QList<DisplayInfo> &displays, const QRectF &rect);

// round(side × scale) with halves away from zero, at least 2 on each side.
QSize pixelSize(const QSizeF &size, double scale);

// What is grabbed and what is encoded. The encoder needs even sides: where the
// display has one more pixel row or column beside the area it is grabbed too
// (right or bottom first, then left or top); otherwise the frame is padded by
// repeating the last grabbed row or column.
struct Plan {
    RecordingArea area; // the grabbed area; area.pixelSize ≤ frameSize
    QSize frameSize;    // even on both sides
};
Plan plan(const DisplayInfo &display, const QRectF &rect, double scale);

// Fills the columns and rows of `frame` beyond `filled` with copies of the
// last filled column and row.
void padEdges(QImage &frame, const QSize &filled);

} // namespace zorv::RecordingGeometry
