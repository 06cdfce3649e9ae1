#include "recording/RecordingGeometry.h"

#include <QImage>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace zorv::RecordingGeometry
{

std::optional<DisplayInfo> chooseDisplay(const QList<DisplayInfo> &displays, const QRectF &rect)
{
    if (displays.isEmpty())
        return std::nullopt;
    const QPointF centre = rect.center();
    for (const DisplayInfo &display : displays) {
        // Half-open on the far edges, so a centre on a shared border belongs to
        // one display only.
        const QRectF &f = display.frame;
        if (centre.x() >= f.left() && centre.x() < f.left() + f.width() && centre.y() >= f.top() &&
            centre.y() < f.top() + f.height())
            return display;
    }
    return displays.first();
}

// Larger than any encoder takes; only keeps absurd input from allocating gigabytes.
constexpr double largestSide = 16384;

static int side(double logical, double scale)
{
    const double pixels = std::round(logical * scale); // std::round: halves away from zero
    if (!(pixels >= 2))                                // also NaN
        return 2;
    return int(std::min(pixels, largestSide));
}

QSize pixelSize(const QSizeF &size, double scale)
{
    return QSize(side(size.width(), scale), side(size.height(), scale));
}

namespace
{

// One axis of the plan: where the grabbed span starts (logical), how long it is
// (logical and pixels), and the even pixel count encoded.
struct Span {
    double start;
    double length;
    int pixels;
    int encoded;
};

Span evenSpan(double start, double length, int pixels, double displayStart, double displayLength,
              double scale)
{
    if (pixels % 2 == 0)
        return {start, length, pixels, pixels};
    const double onePixel = 1.0 / scale;
    const double slack = 1e-6;
    if (start + length + onePixel <= displayStart + displayLength + slack)
        return {start, length + onePixel, pixels + 1, pixels + 1};
    if (start - onePixel >= displayStart - slack)
        return {start - onePixel, length + onePixel, pixels + 1, pixels + 1};
    return {start, length, pixels, pixels + 1};
}

} // namespace

Plan plan(const DisplayInfo &display, const QRectF &area, double scale)
{
    if (!(scale > 0))
        scale = 1;
    const QRectF rect = area.normalized();
    const QSize pixels = pixelSize(rect.size(), scale);
    const QRectF &f = display.frame;
    const Span x = evenSpan(rect.x(), rect.width(), pixels.width(), f.x(), f.width(), scale);
    const Span y = evenSpan(rect.y(), rect.height(), pixels.height(), f.y(), f.height(), scale);
    Plan result;
    result.area.displayID = display.id;
    result.area.rect = QRectF(x.start, y.start, x.length, y.length);
    result.area.scale = scale;
    result.area.pixelSize = QSize(x.pixels, y.pixels);
    result.frameSize = QSize(x.encoded, y.encoded);
    return result;
}

void padEdges(QImage &frame, const QSize &filled)
{
    const int w = std::min(filled.width(), frame.width());
    const int h = std::min(filled.height(), frame.height());
    if (w <= 0 || h <= 0)
        return;
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<uint32_t *>(frame.scanLine(y));
        std::fill(line + w, line + frame.width(), line[w - 1]);
    }
    for (int y = h; y < frame.height(); ++y)
        std::memcpy(frame.scanLine(y), frame.constScanLine(h - 1), size_t(frame.bytesPerLine()));
}

} // namespace zorv::RecordingGeometry
