#pragma once

#include "common/Expected.h"

#include <QImage>
#include <QList>
#include <QString>

namespace zorv
{

// Joins grabs of one region, taken while its content scrolled down, into one
// tall image. Pure: no state, safe on any thread.
namespace ScrollStitcher
{

class StitchError
{
  public:
    enum class Code { noFrames, tooLarge };
    explicit StitchError(Code code) : m_code(code) {}
    Code code() const { return m_code; }
    QString description() const;
    friend bool operator==(const StitchError &, const StitchError &) = default;

  private:
    Code m_code;
};

struct Result {
    QImage image;
    int frameCount = 0; // frames that contributed, the first included
    // Frames after the last joined one that could not be joined (another
    // size, or no overlap with it) although their content had moved on: the
    // page went on past the image's end. A frame skipped between two joined
    // ones loses nothing, nor does one whose content moved by only a few rows;
    // neither is counted, nor are frames dropped at the height cap.
    int lostAtEndCount = 0;
    bool reachedHeightCap = false;
};

Expected<Result, StitchError> stitch(const QList<QImage> &frames);

} // namespace ScrollStitcher

} // namespace zorv
