#pragma once

#include "recording/VideoWriter.h"

#include <QRectF>
#include <QString>

namespace zorv
{

// One recording, fixed when it starts.
struct RecordingConfig {
    QRectF rect;      // global logical coordinates (top-left origin, y down)
    double scale = 1; // pixels per logical unit of the screen holding the centre
    int fps = 30;
    VideoCodec codec = VideoCodec::h264;
    bool showsCursor = true;
    bool showsClicks = false;
    bool systemAudio = false;
    bool captureMicrophone = false;
    QString microphoneDeviceID; // empty: the server's default
    QString outputPath;         // the MPEG-4 file to write
};

} // namespace zorv
