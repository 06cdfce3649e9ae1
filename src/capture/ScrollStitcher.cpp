#include "capture/ScrollStitcher.h"

#include "capture/StripMatching.h"

#include <QColorSpace>

#include <cstring>
#include <vector>

namespace zorv::ScrollStitcher
{

namespace
{

// A first frame smaller than this holds too little to match against.
constexpr int minimumWidth = 9;
constexpr int minimumHeight = 17;
// The stitched image never grows taller than this.
constexpr int heightCap = 24000;

struct Segment {
    QImage frame;
    int newRows; // taken from the bottom of the frame
};

// The frame in a format whose rows can be copied into the output as they are.
QImage copyable(const QImage &frame)
{
    if (frame.format() == QImage::Format_ARGB32_Premultiplied ||
        frame.format() == QImage::Format_RGB32)
        return frame;
    return frame.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void copyRows(const QImage &from, int firstRow, int rows, QImage &into, int at)
{
    if (from.bytesPerLine() == into.bytesPerLine()) {
        std::memcpy(into.scanLine(at), from.constScanLine(firstRow),
                    size_t(into.bytesPerLine()) * size_t(rows));
        return;
    }
    const size_t rowBytes = size_t(from.width()) * sizeof(uint32_t);
    for (int r = 0; r < rows; ++r)
        std::memcpy(into.scanLine(at + r), from.constScanLine(firstRow + r), rowBytes);
}

} // namespace

QString StitchError::description() const
{
    switch (m_code) {
    case Code::noFrames:
        return QStringLiteral("Nothing was captured. Scroll the content and try again.");
    case Code::tooLarge:
        return QStringLiteral("That page is too long to stitch in one image.");
    }
    return {};
}

Expected<Result, StitchError> stitch(const QList<QImage> &frames)
{
    const StitchError noFrames(StitchError::Code::noFrames);
    if (frames.isEmpty())
        return noFrames;
    const QImage &first = frames.front();
    if (frames.size() == 1) {
        if (first.isNull())
            return noFrames;
        return Result{first, 1, 0, false};
    }
    const int width = first.width();
    const int height = first.height();
    if (width < minimumWidth || height < minimumHeight)
        return noFrames;
    const QImage top = copyable(first);
    std::optional<stripMatching::SampledGrey> reference = stripMatching::sampledGrey(top);
    if (!reference)
        return noFrames;

    const int stripRows = stripMatching::stripHeight(height);
    int total = height;
    std::vector<Segment> segments;
    Result result;
    int lostSinceJoined = 0; // lost only if no later frame joins
    for (qsizetype i = 1; i < frames.size(); ++i) {
        const QImage &frame = frames[i];
        if (frame.size() != first.size()) {
            ++lostSinceJoined;
            continue;
        }
        QImage pixels = copyable(frame);
        std::optional<stripMatching::SampledGrey> grey = stripMatching::sampledGrey(pixels);
        const std::optional<int> offset =
            grey ? stripMatching::findOverlap(*reference, stripRows, *grey) : std::nullopt;
        if (!offset) {
            // Later frames are compared with the last joined one again.
            if (!grey || !stripMatching::barelyMoved(*reference, stripRows, *grey))
                ++lostSinceJoined;
            continue;
        }
        const int newRows = height - (*offset + stripRows);
        if (total + newRows > heightCap) {
            result.reachedHeightCap = true;
            lostSinceJoined = 0; // this frame joins, so those before it lose nothing
            break;
        }
        lostSinceJoined = 0;
        total += newRows;
        segments.push_back({std::move(pixels), newRows});
        reference = std::move(grey);
    }
    result.lostAtEndCount = lostSinceJoined;
    if (segments.empty()) {
        result.image = first;
        result.frameCount = 1;
        return result;
    }

    QImage out(width, total, QImage::Format_ARGB32_Premultiplied);
    if (out.isNull())
        return StitchError(StitchError::Code::tooLarge);
    out.setColorSpace(QColorSpace::SRgb);
    copyRows(top, 0, height, out, 0);
    int y = height;
    for (const Segment &segment : segments) {
        copyRows(segment.frame, height - segment.newRows, segment.newRows, out, y);
        y += segment.newRows;
    }
    result.image = std::move(out);
    result.frameCount = int(segments.size()) + 1;
    return result;
}

} // namespace zorv::ScrollStitcher
