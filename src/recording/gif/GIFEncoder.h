#pragma once

#include "common/Expected.h"

#include <QString>
#include <atomic>
#include <functional>

namespace zorv
{

enum class GIFError {
    noFrames,          // the video is 0.05 s or shorter
    destinationFailed, // the GIF file could not be created or written
    unreadable,        // the video or one of its frames could not be read
    cancelled,         // the caller asked to stop
};

struct GIFFailure {
    GIFError error = GIFError::unreadable;
    // What the user reads after "GIF failed, kept the video: ".
    QString description;
};

// Turns a finished recording into an endlessly looping animated GIF.
namespace GIFEncoder
{

// Called on the converting thread after each frame written: `done` of `total`.
using Progress = std::function<void(int done, int total)>;

// Converts the video at `videoPath` into a new "zorv-<UUID>.gif" in
// `temporaryDirectory` and returns that file's path. Frame i shows the video's
// last frame at or before i/f seconds (f = `fps` clamped to 5…30; past the end
// its last frame), at most 900 of them, turned as players turn the video and
// scaled to fit `maxWidth` × `maxWidth`. When the file does not state its
// length, its frames tell it. Blocks, with a few threads of its own: run it
// off the GUI thread. `cancel` is read between frames. The video is never
// touched; on failure or cancel no GIF file is left behind.
Expected<QString, GIFFailure> makeGIF(const QString &videoPath, int fps, int maxWidth,
                                      const QString &temporaryDirectory,
                                      const Progress &progress = {},
                                      const std::atomic<bool> *cancel = nullptr);

} // namespace GIFEncoder

} // namespace zorv
