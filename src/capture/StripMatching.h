#pragma once

#include <QImage>

#include <cstdint>
#include <optional>
#include <vector>

namespace zorv
{

// How the scroll stitcher finds where the bottom strip of one frame reappears
// in the next. Matching looks only at every fourth column, so each frame is
// reduced once to the grey values of those columns, row after row without
// gaps; the same samples later serve as the frame's strip when it becomes the
// reference.
namespace stripMatching
{

constexpr int columnStep = 4;
constexpr int rowStep = 2;

struct SampledGrey {
    int columns = 0; // samples per row: columns 0, 4, 8, … of the frame
    int rows = 0;
    std::vector<uint8_t> samples; // rows × columns

    const uint8_t *row(int y) const { return samples.data() + size_t(y) * size_t(columns); }
};

// The luminance of every fourth column of a frame in ARGB32_Premultiplied or
// RGB32 (a translucent pixel counts as drawn over black). Nothing for an empty
// frame or another format.
std::optional<SampledGrey> sampledGrey(const QImage &frame);

// Σ |a[i] − b[i]| over n bytes.
uint64_t sumOfAbsoluteDifferences(const uint8_t *a, const uint8_t *b, int n);

// The mean absolute difference between a strip of `stripRows` rows and as many
// rows of a frame, over every second row: row r of the strip against
// frameRows + r × columns. Both hold `columns` bytes per row. Nothing when
// there is no sample.
std::optional<double> difference(const uint8_t *strip, const uint8_t *frameRows, int columns,
                                 int stripRows);

// Rows of the bottom strip for frames `height` rows high.
int stripHeight(int height);

// The row of `frame` at which the strip (the bottom `stripRows` rows of a frame
// of the same size) begins, searched at every second offset and then refined
// around the best; nothing when the best is no match or the frame is too low.
// Equal differences resolve to the smaller offset.
std::optional<int> findOverlap(const SampledGrey &reference, int stripRows,
                               const SampledGrey &frame);

// Whether the strip lies in `frame` below every offset findOverlap tries, at
// most where it was: the content moved by fewer rows than a match must reveal,
// so the frame shows next to nothing that the reference lacks.
bool barelyMoved(const SampledGrey &reference, int stripRows, const SampledGrey &frame);

} // namespace stripMatching

} // namespace zorv
