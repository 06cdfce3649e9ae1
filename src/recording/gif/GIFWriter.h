#pragma once

#include "recording/gif/GIFFrameCoder.h"

#include <QSize>
#include <QString>
#include <memory>

namespace zorv
{

// Writes an endlessly looping animated GIF frame by frame (giflib). A writer
// dropped before a successful finish() removes its file: only whole GIFs stay.
class GIFWriter
{
  public:
    ~GIFWriter();
    // Creates the file (it must not exist); null with `error` set on failure.
    static std::unique_ptr<GIFWriter> create(const QString &path, QSize canvas,
                                             QString *error = nullptr);
    // `delayCs`: how long the frame shows, in hundredths of a second.
    bool add(const GIFFrame &frame, int delayCs);
    // Ends the file; false when it could not be completed (the disk is full).
    bool finish();
    QString error() const;

  private:
    GIFWriter() = default;
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace zorv
